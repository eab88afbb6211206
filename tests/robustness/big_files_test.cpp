// Tens of megabytes of conf.txt: the load must take time linear in the size
// and memory bounded by the longest line, not by the file.
#include "conf/conf_file.h"
#include "support/capture_output.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SORVAK_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SORVAK_SANITIZED 1
#endif
#endif

namespace
{

// A field of /proc/self/status in kilobytes.
long status_kb(const char *field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, std::strlen(field), field) == 0)
            return std::stol(line.substr(std::strlen(field) + 1));
    return -1;
}

// Peak resident memory grown by `body`, in megabytes; the peak is reset
// first where the kernel allows it.
double peak_growth_mb(const std::function<void()> &body)
{
    std::ofstream("/proc/self/clear_refs") << "5";
    long before = status_kb("VmRSS:");
    body();
    return static_cast<double>(status_kb("VmHWM:") - before) / 1024.0;
}

// Writes `lines` copies of the block of short lines, then `tail`, without
// holding the file in memory. Returns the number of lines written.
long write_repeated(const std::string &path, const std::string &block, long blocks,
                    const std::string &tail)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr);
    for (long i = 0; i < blocks; ++i)
        std::fwrite(block.data(), 1, block.size(), file);
    std::fwrite(tail.data(), 1, tail.size(), file);
    std::fclose(file);
    long per_block = 0;
    for (char c : block)
        per_block += c == '\n';
    return per_block * blocks + 1;
}

struct load_result {
    std::string err;
    double seconds;
    double peak_mb;
};

load_result timed_load(test_context &context)
{
    load_result result;
    result.peak_mb = peak_growth_mb([&] {
        auto start = std::chrono::steady_clock::now();
        result.err = capture_output([&] { load_conf(context.get()); }).err;
        result.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    });
    return result;
}

class big_file : public testing::Test
{
  protected:
    void SetUp() override { dir = make_temp_dir(); }
    void TearDown() override
    {
        std::remove((dir + "/conf.txt").c_str());
        std::remove(dir.c_str());
    }
    std::string dir;
};

// Comments, blanks and settings in the proportions of a real file.
const std::string short_lines = "// c\n"
                                "\n"
                                "up = a.exe | b\n"
                                "prec = 30\n"
                                "  \t\r\n"
                                "// another comment line\n"
                                "left = c\n"
                                "\n";

TEST_F(big_file, sixty_four_megabytes_of_short_lines)
{
    test_context context(dir + "/sorvak.exe");
    const long mb = 1024 * 1024;
    const long small_blocks = 8 * mb / static_cast<long>(short_lines.size());
    long lines = write_repeated(dir + "/conf.txt", short_lines, small_blocks, "foo");
    load_result small = timed_load(context);
    EXPECT_EQ(small.err, "error in conf file, line " + std::to_string(lines) +
                             "\n   missing value, line skipped\n");

    lines = write_repeated(dir + "/conf.txt", short_lines, small_blocks * 8, "foo");
    load_result big = timed_load(context);
    EXPECT_EQ(big.err, "error in conf file, line " + std::to_string(lines) +
                           "\n   missing value, line skipped\n");
    EXPECT_STREQ(context->slots[left].program, "c");
    EXPECT_EQ(context->precision.load(), 30);

    // Eight times the bytes: about eight times the time, with room for a busy
    // machine.
    EXPECT_LT(big.seconds, 8 * 2.5 * small.seconds + 0.5)
        << "8 MB: " << small.seconds << " s, 64 MB: " << big.seconds << " s";
#ifndef SORVAK_SANITIZED
    EXPECT_LT(big.seconds, 15.0);
    EXPECT_LT(big.peak_mb, 8.0) << "peak grew by " << big.peak_mb << " MB";
#endif
}

TEST_F(big_file, a_single_sixteen_megabyte_line)
{
    test_context context(dir + "/sorvak.exe");
    const std::size_t size = 16u * 1024 * 1024;
    const std::string program(size, 'p');
    load_result results[2];
    const std::size_t sizes[2] = {size / 8, size};
    for (int i = 0; i < 2; ++i) {
        write_file(dir + "/conf.txt",
                   "up = " + program.substr(0, sizes[i]) + " | " + program.substr(0, 10) + "\n");
        results[i] = timed_load(context);
        EXPECT_EQ(results[i].err, "");
        ASSERT_NE(context->slots[up].program, nullptr);
        EXPECT_EQ(std::strlen(context->slots[up].program), sizes[i]);
        EXPECT_STREQ(context->slots[up].parameters, "pppppppppp");
    }
    EXPECT_LT(results[1].seconds, 8 * 2.5 * results[0].seconds + 0.5)
        << "2 MB: " << results[0].seconds << " s, 16 MB: " << results[1].seconds << " s";
#ifndef SORVAK_SANITIZED
    // The line, its split pieces and the stored copy: a few times its size.
    EXPECT_LT(results[1].peak_mb, 6 * 16.0) << "peak grew by " << results[1].peak_mb << " MB";
#endif
}

} // namespace
