#include "platform/platform.h"

#include <cstdlib>

void *plat_malloc(std::size_t size)
{
    return std::malloc(size);
}

void *plat_realloc(void *block, std::size_t size)
{
    return std::realloc(block, size);
}
