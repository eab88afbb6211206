// The shell call of the Linux program: an executable is started with its
// parameters as words, anything else goes to xdg-open. Apart from the rest
// of the X11 platform so that sorvak-check can link the dry one instead.
#include "platform/platform.h"
#include "platform/x11/launch_command.h"

#include <glib.h>

#include <csignal>
#include <string>
#include <vector>

namespace
{

// The child is a fresh program: none of the capture thread's blocked signals,
// and the default broken-pipe action that the libraries may have set aside.
// Recent GLib resets both as well, but does not promise to.
void reset_child_signals(gpointer)
{
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
}

} // namespace

void plat_shell_open(const char *file, const char *parameters)
{
    std::vector<std::string> command = resolve_launch_command(file, parameters);
    if (command.empty())
        return;
    std::vector<char *> argv;
    for (std::string &word : command)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    // Without G_SPAWN_DO_NOT_REAP_CHILD GLib starts the program through an
    // intermediate child that exits at once, so nothing is left to reap.
    g_spawn_async(nullptr, argv.data(), nullptr, G_SPAWN_STDIN_FROM_DEV_NULL, reset_child_signals,
                  nullptr, nullptr, nullptr);
}
