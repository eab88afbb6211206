// The Linux program's process: its exit and its own file.
#include "platform/platform.h"

#include <unistd.h>

#include <cstdlib>

void plat_exit(int status)
{
    std::exit(status);
}

char *plat_executable_path()
{
    // readlink does not say whether the path was cut: grow until it fits.
    for (std::size_t size = 256; size <= 65536; size *= 2) {
        char *path = static_cast<char *>(plat_malloc(size));
        if (path == nullptr)
            return nullptr;
        ssize_t length = readlink("/proc/self/exe", path, size);
        if (length >= 0 && static_cast<std::size_t>(length) < size) {
            path[length] = '\0';
            return path;
        }
        std::free(path);
        if (length < 0)
            return nullptr;
    }
    return nullptr;
}
