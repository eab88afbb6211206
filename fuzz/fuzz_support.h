// Pieces the fuzz targets share: a scratch file and writing an input to it.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

// A path named `name` in a new directory of its own under /tmp.
inline std::string make_scratch_path(const char *name)
{
    char dir[] = "/tmp/sorvak-fuzz-XXXXXX";
    if (mkdtemp(dir) == nullptr)
        std::abort();
    return std::string(dir) + "/" + name;
}

// Replaces the file at `path` with the `size` bytes at `data`.
inline void write_bytes(const std::string &path, const void *data, std::size_t size)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);
}
