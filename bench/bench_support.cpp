#include "bench_support.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

namespace
{

std::atomic<long> allocations{0};

} // namespace

// Linked with --wrap, so calls from the project's objects land here.
extern "C" {
void *__real_malloc(std::size_t size);
void *__real_calloc(std::size_t count, std::size_t size);
void *__real_realloc(void *block, std::size_t size);

void *__wrap_malloc(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __real_malloc(size);
}

void *__wrap_calloc(std::size_t count, std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __real_calloc(count, size);
}

void *__wrap_realloc(void *block, std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __real_realloc(block, size);
}
}

// The stand-in keeps its state in standard containers: count those too.
void *operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    void *block = __real_malloc(size == 0 ? 1 : size);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

void operator delete(void *block) noexcept
{
    std::free(block);
}

void operator delete(void *block, std::size_t) noexcept
{
    std::free(block);
}

long allocation_count()
{
    return allocations.load(std::memory_order_relaxed);
}

stream_silencer::stream_silencer(int fd) : fd_(fd), saved_(dup(fd))
{
    std::fflush(nullptr);
    int null_fd = open("/dev/null", O_WRONLY);
    if (saved_ < 0 || null_fd < 0)
        throw std::runtime_error("cannot redirect a standard stream to /dev/null");
    dup2(null_fd, fd_);
    close(null_fd);
}

stream_silencer::~stream_silencer()
{
    std::fflush(nullptr);
    dup2(saved_, fd_);
    close(saved_);
}

namespace
{

struct scratch {
    std::string path;
    scratch()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "sorvak_bench_XXXXXX");
        if (mkdtemp(&pattern[0]) == nullptr)
            throw std::runtime_error("cannot create a scratch directory");
        path = pattern;
    }
    ~scratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

} // namespace

const std::string &scratch_dir()
{
    static scratch dir;
    return dir.path;
}

std::string write_scratch_file(const std::string &name, const std::string &content)
{
    std::string path = scratch_dir() + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + path);
    return path;
}
