// Shared pieces of the benchmarks: an allocation counter, silencing of the
// standard streams, scratch files.
#pragma once

#include <cstddef>
#include <string>

// Heap allocations made so far by the project's code (malloc, calloc, realloc
// and operator new).
long allocation_count();

// Sends a standard stream's descriptor to /dev/null for the life of the
// object, flushing what was pending before and after.
class stream_silencer
{
  public:
    explicit stream_silencer(int fd);
    ~stream_silencer();
    stream_silencer(const stream_silencer &) = delete;
    stream_silencer &operator=(const stream_silencer &) = delete;

  private:
    int fd_;
    int saved_;
};

// A directory of its own under the system's temporary directory, removed with
// its files at exit.
const std::string &scratch_dir();

// Writes `content` to scratch_dir()/name and returns the full path.
std::string write_scratch_file(const std::string &name, const std::string &content);
