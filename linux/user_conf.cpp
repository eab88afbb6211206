#include "linux/user_conf.h"

#include "platform/linux/input_platform.h"
#include "platform/linux/unmapped_key.h"
#include "platform/linux/window_query.h"

#include <glib.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace
{

bool absolute(const char *path)
{
    return path != nullptr && path[0] == '/';
}

// Writes the sample to a new file; an existing file (another copy starting
// at the same moment made it) is kept. Returns 0 or an errno value.
int write_sample(const std::string &path, bool *created)
{
    *created = false;
    // Missing folders are made 0700, as the XDG rules ask.
    if (g_mkdir_with_parents(path.substr(0, path.rfind('/')).c_str(), 0700) != 0)
        return errno;
    // Written under a name of its own, then linked into place whole: a copy
    // starting meanwhile never reads half a file, and link, unlike rename,
    // keeps a file another copy put there first.
    std::string temporary = path + ".XXXXXX";
    int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    std::size_t size = std::strlen(CONF_SAMPLE);
    for (std::size_t done = 0; done < size && error == 0;) {
        ssize_t written = write(fd, CONF_SAMPLE + done, size - done);
        if (written > 0)
            done += static_cast<std::size_t>(written);
        else if (written == 0 || errno != EINTR)
            error = written < 0 ? errno : EIO;
    }
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && link(temporary.c_str(), path.c_str()) == 0)
        *created = true;
    else if (error == 0 && errno != EEXIST)
        error = errno;
    unlink(temporary.c_str());
    return error;
}

// Whether `group` is the user's own: their primary group, named after them,
// with no one else listed in it (a user private group, as Debian makes for
// each account). Others whose primary group it is could only be found by
// reading every account; systems of private groups make none.
bool group_is_private(gid_t group, uid_t user)
{
    const passwd *account = getpwuid(user);
    if (account == nullptr || account->pw_gid != group)
        return false;
    std::string name = account->pw_name;
    const ::group *entry = getgrgid(group);
    if (entry == nullptr || name != entry->gr_name)
        return false;
    for (char **member = entry->gr_mem; *member != nullptr; ++member)
        if (name != *member)
            return false;
    return true;
}

} // namespace

std::string conf_permission_problem(mode_t mode, uid_t owner, uid_t user, bool private_group)
{
    std::string problem;
    // root can change any file whoever owns it.
    if (owner != user && owner != 0)
        problem = "owned by uid " + std::to_string(owner);
    bool by_group = (mode & S_IWGRP) != 0 && !private_group;
    bool by_others = (mode & S_IWOTH) != 0;
    const char *writers = by_group && by_others ? "group and others"
                          : by_group            ? "group"
                          : by_others           ? "others"
                                                : nullptr;
    if (writers != nullptr)
        problem += (problem.empty() ? "writable by " : " and writable by ") + std::string(writers);
    return problem;
}

std::string user_conf_path(const char *config_home, const char *home)
{
    if (absolute(config_home))
        return std::string(config_home) + "/sorvak/conf.txt";
    if (absolute(home))
        return std::string(home) + "/.config/sorvak/conf.txt";
    return "";
}

void use_linux_conf_path(gesture_context *context, std::FILE *err)
{
    struct stat info;
    if (context->conf_path != nullptr && stat(context->conf_path, &info) == 0)
        return;
    const char *home = std::getenv("HOME");
    if (!absolute(home)) {
        const passwd *user = getpwuid(geteuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    std::string path = user_conf_path(std::getenv("XDG_CONFIG_HOME"), home);
    if (path.empty())
        return;
    if (err != nullptr && stat(path.c_str(), &info) != 0) {
        bool created = false;
        if (int error = write_sample(path, &created))
            std::fprintf(err, "unable to create %s: %s\n", path.c_str(), std::strerror(error));
        else if (created)
            std::fprintf(err, "created %s from the commented sample\n", path.c_str());
    }
    char *chosen = copy_text(path.c_str());
    if (chosen == nullptr)
        return;
    std::free(context->conf_path);
    context->conf_path = chosen;
}

int report_linux_conf_words(const gesture_context *context, std::FILE *err)
{
    int lines = 0;
    struct stat info;
    if (context->conf_path != nullptr && stat(context->conf_path, &info) == 0) {
        uid_t user = geteuid();
        std::string problem = conf_permission_problem(info.st_mode, info.st_uid, user,
                                                      group_is_private(info.st_gid, user));
        if (!problem.empty()) {
            std::fprintf(err, "warning : %s is %s: whoever can change it chooses what runs\n",
                         context->conf_path, problem.c_str());
            ++lines;
        }
    }
    if (report_unmapped_capture_key(context->key_code.load(), err))
        ++lines;
    // Not a problem of the file: the same file works on another desktop.
    // Only some Wayland desktops tell which program is in front.
    const char *why = nullptr;
    if ((context->excluded_count != 0 || context->block_count != 0) &&
        window_query_in_use().way(&why) == nullptr) {
        if (context->excluded_count != 0)
            std::fputs("note : the foreground program cannot be known in a Wayland session: "
                       "exclude lines are ignored and gestures work everywhere\n",
                       err);
        if (context->block_count != 0)
            std::fputs("note : the foreground program cannot be known in a Wayland session: "
                       "program blocks are ignored and the bindings for every program apply\n",
                       err);
    }
    return lines;
}
