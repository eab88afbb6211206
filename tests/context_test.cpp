#include "gesture/gesture_context.h"
#include "support/capture_output.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace
{

struct path_case {
    const char *program_path;
    const char *conf_path;
    const char *directory_left;
};

class conf_path : public testing::TestWithParam<path_case>
{
};

TEST_P(conf_path, is_built_beside_the_program)
{
    std::string buffer = GetParam().program_path;
    char *path = make_conf_path(&buffer[0], "conf.txt");
    ASSERT_NE(path, nullptr);
    EXPECT_STREQ(path, GetParam().conf_path);
    EXPECT_STREQ(buffer.c_str(), GetParam().directory_left);
    std::free(path);
}

INSTANTIATE_TEST_SUITE_P(
    paths, conf_path,
    testing::Values(path_case{"C:\\Tools\\app.exe", "C:\\Tools\\conf.txt", "C:\\Tools\\"},
                    path_case{"C:/Tools/app.exe", "C:/Tools/conf.txt", "C:/Tools/"},
                    path_case{"C:\\a/b\\app.exe", "C:\\a/b\\conf.txt", "C:\\a/b\\"},
                    path_case{"C:\\Tools\\app.exe /x", "C:\\Tools\\app.exe /conf.txt",
                              "C:\\Tools\\app.exe /"},
                    path_case{"app.exe", "conf.txt", ""}, path_case{"", "conf.txt", ""},
                    path_case{"C:\\", "C:\\conf.txt", "C:\\"}));

TEST(conf_path_limits, null_path_gives_the_file_name_alone)
{
    char *path = make_conf_path(nullptr, "conf.txt");
    ASSERT_NE(path, nullptr);
    EXPECT_STREQ(path, "conf.txt");
    std::free(path);
}

TEST(conf_path_limits, long_directories_are_kept_whole)
{
    // Far past 511 characters: neither truncated nor written past a buffer.
    std::string dir = "C:\\" + std::string(4000, 'd') + "\\";
    std::string buffer = dir + "app.exe";
    char *path = make_conf_path(&buffer[0], "conf.txt");
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(std::string(path), dir + "conf.txt");
    std::free(path);
}

TEST(context_defaults, init_context_fills_every_field)
{
    test_context context("C:\\Tools\\app.exe");
    EXPECT_STREQ(context->conf_path, "C:\\Tools\\conf.txt");
    EXPECT_STREQ(context->program_path, "C:\\Tools\\");
    EXPECT_EQ(context->precision.load(), 50);
    EXPECT_EQ(context->key_code.load(), 17);
    EXPECT_EQ(context->last_x, 0);
    EXPECT_EQ(context->sum_right + context->sum_up + context->sum_down + context->sum_left, 0);
    for (const action_slot &slot : context->slots) {
        EXPECT_EQ(slot.program, nullptr);
        EXPECT_EQ(slot.parameters, nullptr);
    }
}

} // namespace
