#include "platform/linux/program_names.h"

#include <unistd.h>

#include <cstdio>

std::string executable_name(unsigned long pid)
{
    if (pid == 0)
        return {};
    char link[64];
    std::snprintf(link, sizeof link, "/proc/%lu/exe", pid);
    char target[4096];
    ssize_t length = readlink(link, target, sizeof target - 1);
    if (length <= 0)
        return {};
    std::string path(target, static_cast<std::size_t>(length));
    // A program replaced on disk since it started.
    const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() &&
        path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
        path.resize(path.size() - deleted.size());
    return path.substr(path.rfind('/') + 1);
}

void add_program_name(foreground_program *program, const std::string &name)
{
    if (name.empty() || program->count == FOREGROUND_NAME_COUNT)
        return;
    char *out = program->names[program->count++];
    std::size_t length = name.copy(out, FOREGROUND_NAME_SIZE - 1);
    out[length] = '\0';
}
