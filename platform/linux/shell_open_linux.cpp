// The shell call of the Linux program: an executable the kernel runs is
// started with its parameters as words, anything else goes to xdg-open; a
// launch that fails says why on the standard error. Apart from the rest of
// the platform so that sorvak-check can link the dry one instead.
#include "platform/linux/shell_open_linux.h"

#include "platform/linux/launch_command.h"
#include "platform/platform.h"

#include <glib.h>

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace
{

void reap(GPid pid, gint, gpointer)
{
    g_spawn_close_pid(pid);
}

// Starts `command` as a fresh program: a session of its own, so the
// terminal sorvak was started from (Ctrl+C, its closing) leaves it alone;
// every signal unblocked and at its default action; /dev/null as input and
// no other descriptor of sorvak's but the output and error. posix_spawn,
// unlike GLib's spawn, never hands a file the kernel refuses to /bin/sh.
// Returns 0 or an errno value; the main loop reaps the child.
int start_program(std::vector<std::string> &command)
{
    std::vector<char *> argv;
    for (std::string &word : command)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    pid_t child = 0;
    int error = posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error == 0)
        g_child_watch_add(child, reap, nullptr);
    return error;
}

// Carries `plan` out, or says on the standard error why it cannot: "unable
// to start prog: program not found".
void carry_out(launch_plan plan, const char *verb, const char *file)
{
    const char *problem = plan.problem;
    if (problem == nullptr) {
        int error = start_program(plan.command);
        if (error == 0)
            return;
        problem = g_strerror(error);
    }
    std::fprintf(stderr, "unable to %s %s: %s\n", verb, file, problem);
}

} // namespace

void plat_shell_open(const char *file, const char *parameters)
{
    carry_out(resolve_launch_command(file, parameters), "start", file);
}

void open_document(const char *file)
{
    carry_out(open_command(file), "open", file);
}
