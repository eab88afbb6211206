// Files opened by their byte paths and text in UTF-8, for the platforms whose
// paths are that: the stand-in and Linux.
#include "platform/platform.h"
#include "platform/utf8.h"

std::FILE *plat_open_file(const char *path)
{
    return std::fopen(path, "rb");
}

unsigned plat_char_size(unsigned char first)
{
    return utf8_char_size(first);
}
