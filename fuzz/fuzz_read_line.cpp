// Arbitrary files read one after another through the one line reader, some
// of them abandoned half way: every line must come back exactly as the bytes
// between two line feeds.
#include "conf/line_reader.h"
#include "fuzz/fuzz_support.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

std::string path;

// The lines of `bytes` as the reader must return them: no line feed, the
// text ending at the first zero byte, no empty last line after a final feed.
void check_file(const std::string &bytes, std::size_t stop_after)
{
    write_bytes(path, bytes.data(), bytes.size());
    std::FILE *file = std::fopen(path.c_str(), "rb");

    std::size_t start = 0;
    std::size_t lines = 0;
    while (start < bytes.size()) {
        if (lines++ == stop_after) {
            reset_line_reader();
            std::fclose(file);
            return;
        }
        std::size_t feed = bytes.find('\n', start);
        std::size_t end = feed == std::string::npos ? bytes.size() : feed;
        std::string want = bytes.substr(start, end - start);
        want = want.substr(0, std::strlen(want.c_str()));
        char *line = read_line(file);
        if (line == nullptr || want != line)
            std::abort();
        std::free(line);
        start = end + 1;
    }
    if (read_line(file) != nullptr)
        std::abort();
    std::fclose(file);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    path = make_scratch_path("lines.txt");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    int files = input.ConsumeIntegralInRange(1, 4);
    for (int i = 0; i < files && input.remaining_bytes() > 0; ++i) {
        bool abandon = input.ConsumeBool();
        std::size_t stop_after = abandon ? input.ConsumeIntegralInRange<std::size_t>(0, 8)
                                         : static_cast<std::size_t>(-1);
        // Short files are common; stretch some past the 1024-byte buffer.
        std::string bytes = input.ConsumeRandomLengthString(8192);
        int repeat = input.ConsumeIntegralInRange(1, 600);
        if (bytes.size() * static_cast<std::size_t>(repeat) > 20000)
            repeat = 1;
        std::string file;
        for (int r = 0; r < repeat; ++r)
            file += bytes;
        check_file(file, stop_after);
    }
    return 0;
}
