#include "shell/capture_key_linux.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

namespace
{

struct notice_case {
    std::int32_t key_code;
    bool reported;
};

class capture_key_notice : public testing::TestWithParam<notice_case>
{
};

TEST_P(capture_key_notice, is_one_line_for_codes_without_an_x11_key)
{
    std::FILE *stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    bool reported = report_unmapped_capture_key(GetParam().key_code, stream);
    std::rewind(stream);
    std::string text;
    for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream))
        text += static_cast<char>(c);
    std::fclose(stream);

    EXPECT_EQ(reported, GetParam().reported);
    if (!GetParam().reported) {
        EXPECT_EQ(text, "");
        return;
    }
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_NE(text.find(" " + std::to_string(GetParam().key_code) + " "), std::string::npos)
        << text;
}

// 0 switches capture off and is no mistake; the rest are as the table says.
INSTANTIATE_TEST_SUITE_P(codes, capture_key_notice,
                         testing::Values(notice_case{0, false}, notice_case{17, false},
                                         notice_case{0x10, false}, notice_case{4, false},
                                         notice_case{0xA5, false}, notice_case{3, true},
                                         notice_case{0xFF, true}, notice_case{0x10011, true},
                                         notice_case{-17, true}));

} // namespace
