// The program's one object on the heap (the tray icon) is made with a
// non-throwing new. The library's version of it wraps the throwing one and
// so drags in the whole exception machinery; these go straight to the C
// runtime, as the program is built without exceptions.
#include <cstdlib>
#include <new>

void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    return std::malloc(size != 0 ? size : 1);
}

void operator delete(void *block) noexcept
{
    std::free(block);
}

void operator delete(void *block, std::size_t) noexcept
{
    std::free(block);
}
