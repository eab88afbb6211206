#include "linux/user_conf.h"

#include "platform/linux/unmapped_key.h"

#include <glib.h>

#include <fcntl.h>
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
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno == EEXIST ? 0 : errno;
    std::size_t size = std::strlen(CONF_SAMPLE);
    for (std::size_t done = 0; done < size;) {
        ssize_t written = write(fd, CONF_SAMPLE + done, size - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            int error = written < 0 ? errno : EIO;
            close(fd);
            unlink(path.c_str());
            return error;
        }
        done += static_cast<std::size_t>(written);
    }
    if (close(fd) != 0)
        return errno;
    *created = true;
    return 0;
}

// What is wrong with a conf.txt of mode `mode` owned by `owner`, for the
// user `user` who reads it; empty when nothing is.
std::string conf_permission_problem(mode_t mode, uid_t owner, uid_t user)
{
    std::string problem;
    if (owner != user)
        problem = "owned by uid " + std::to_string(owner);
    const char *writers = (mode & S_IWGRP) && (mode & S_IWOTH) ? "group and others"
                          : (mode & S_IWGRP)                   ? "group"
                          : (mode & S_IWOTH)                   ? "others"
                                                               : nullptr;
    if (writers != nullptr)
        problem += (problem.empty() ? "writable by " : " and writable by ") + std::string(writers);
    return problem;
}

} // namespace

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
    if (stat(path.c_str(), &info) != 0) {
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
        std::string problem = conf_permission_problem(info.st_mode, info.st_uid, geteuid());
        if (!problem.empty()) {
            std::fprintf(err, "warning : %s is %s: whoever can change it chooses what runs\n",
                         context->conf_path, problem.c_str());
            ++lines;
        }
    }
    if (report_unmapped_capture_key(context->key_code.load(), err))
        ++lines;
    return lines;
}
