#include "conf/line_reader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

std::FILE *memory_file(const std::string &bytes)
{
    std::FILE *file = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    return file;
}

// Every line of the file, read to its end; each line keeps its embedded
// bytes up to the terminator.
std::vector<std::string> read_all(const std::string &bytes)
{
    std::FILE *file = memory_file(bytes);
    std::vector<std::string> lines;
    for (char *line = read_line(file); line != nullptr; line = read_line(file)) {
        lines.emplace_back(line);
        std::free(line);
    }
    std::fclose(file);
    return lines;
}

struct reader_case {
    const char *name;
    std::string bytes;
    std::vector<std::string> lines;
};

class reader : public testing::TestWithParam<reader_case>
{
};

TEST_P(reader, returns_each_line_without_its_feed)
{
    EXPECT_EQ(read_all(GetParam().bytes), GetParam().lines) << GetParam().name;
}

const std::string chunk_minus_one(1023, 'a');

INSTANTIATE_TEST_SUITE_P(
    files, reader,
    testing::Values(
        reader_case{"empty file", "", {}}, reader_case{"no final feed", "a\nb", {"a", "b"}},
        reader_case{"final feed", "a\n", {"a"}}, reader_case{"two empty lines", "\n\n", {"", ""}},
        reader_case{"carriage return stays", "x\r\n", {"x\r"}},
        reader_case{
            "3000-byte line", std::string(3000, 'q') + "\nz", {std::string(3000, 'q'), "z"}},
        reader_case{"feed as the last byte of a chunk",
                    chunk_minus_one + "\nnext\n",
                    {chunk_minus_one, "next"}},
        reader_case{"feed as the first byte of a chunk",
                    std::string(1024, 'b') + "\nc",
                    {std::string(1024, 'b'), "c"}},
        reader_case{"zero byte ends the text", std::string("ab\0cd\nx", 7), {"ab", "x"}}));

TEST(reader_state, consecutive_files_start_fresh)
{
    EXPECT_EQ(read_all("one\ntwo"), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(read_all("three\n"), (std::vector<std::string>{"three"}));
}

TEST(reader_state, reset_discards_an_unfinished_file)
{
    std::FILE *first = memory_file("a\nb\nc\n");
    char *line = read_line(first);
    std::free(line);
    std::fclose(first);
    reset_line_reader();
    EXPECT_EQ(read_all("fresh\n"), (std::vector<std::string>{"fresh"}));
}

double seconds_to_read_line_of(std::size_t size)
{
    std::FILE *file = memory_file(std::string(size, 'x') + "\n");
    auto start = std::chrono::steady_clock::now();
    char *line = read_line(file);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_NE(line, nullptr);
    EXPECT_EQ(std::string(line).size(), size);
    std::free(line);
    EXPECT_EQ(read_line(file), nullptr);
    std::fclose(file);
    return std::chrono::duration<double>(elapsed).count();
}

TEST(reader_cost, long_lines_load_in_linear_time)
{
    // A quadratic reader copies the pending line once per 1024-byte chunk:
    // 8 MB would then cost thousands of times more than 512 KB, not 16.
    double small = seconds_to_read_line_of(512 * 1024);
    double big = seconds_to_read_line_of(8 * 1024 * 1024);
    EXPECT_LT(big, 0.5);
    EXPECT_LT(big, 64 * small + 0.05);
}

} // namespace
