#include "gesture/gesture_context.h"
#include "platform/stand_in/stand_in.h"
#include "shell_common/program_path.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

struct token_case {
    const char *name;
    std::string command_line;
    const char *token;     // null: no token
    std::size_t offset;    // where the token starts in the command line
    const char *conf_path; // built from the token
};

const token_case token_cases[] = {
    {"quoted_path_with_arguments", "\"C:\\Tools\\app.exe\" -x y", "C:\\Tools\\app.exe", 1,
     "C:\\Tools\\conf.txt"},
    {"unquoted_runs_past_blanks", "C:\\Tools\\app.exe /x", "C:\\Tools\\app.exe /x", 0,
     "C:\\Tools\\app.exe /conf.txt"},
    {"blank_inside_quoted_path", "\"C:\\My Tools\\app.exe\"", "C:\\My Tools\\app.exe", 1,
     "C:\\My Tools\\conf.txt"},
    {"comma_ends_token", "app.exe,C:\\other\\", "app.exe", 0, "conf.txt"},
    {"tab_ends_token", "\t\tD:\\x\\y.exe\targ", "D:\\x\\y.exe", 2, "D:\\x\\conf.txt"},
    {"quote_inside_unquoted", "C:\\a\\b.exe\"tail\"", "C:\\a\\b.exe", 0, "C:\\a\\conf.txt"},
    {"mixed_leading_delimiters", ",\t\"\"E:\\p.exe", "E:\\p.exe", 4, "E:\\conf.txt"},
    {"only_delimiters", "\t\",,\"\t", nullptr, 0, nullptr},
    {"empty", "", nullptr, 0, nullptr},
};

class first_token_table : public testing::TestWithParam<token_case>
{
};

TEST_P(first_token_table, splits_in_place_and_gives_conf_path)
{
    const token_case &c = GetParam();
    std::string buffer = c.command_line;
    char *token = first_token(&buffer[0]);
    if (c.token == nullptr) {
        EXPECT_EQ(token, nullptr);
        EXPECT_EQ(buffer, c.command_line) << "nothing is cut when there is no token";
        return;
    }
    ASSERT_NE(token, nullptr);
    EXPECT_EQ(token - buffer.data(), static_cast<std::ptrdiff_t>(c.offset));
    EXPECT_STREQ(token, c.token);
    // Only the delimiter that ends the token is overwritten.
    std::size_t end = c.offset + std::strlen(c.token);
    std::string expected = c.command_line;
    if (end < expected.size())
        expected[end] = '\0';
    EXPECT_EQ(buffer, expected);

    char *conf_path = make_conf_path(token, "conf.txt");
    ASSERT_NE(conf_path, nullptr);
    EXPECT_STREQ(conf_path, c.conf_path);
    std::free(conf_path);
}

INSTANTIATE_TEST_SUITE_P(command_lines, first_token_table, testing::ValuesIn(token_cases),
                         [](const testing::TestParamInfo<token_case> &param_info) {
                             return std::string(param_info.param.name);
                         });

TEST(first_token, null_command_line_has_no_token)
{
    EXPECT_EQ(first_token(nullptr), nullptr);
}

// The system's path wins whatever the command line holds; the first token
// is only the fall-back.
TEST(find_program_path, prefers_the_system_path_and_falls_back_on_the_first_token)
{
    struct {
        const char *executable; // null: the system cannot tell
        const char *command_line;
        const char *conf_path; // null: no path at all
    } const cases[] = {
        {"C:\\Users\\Smith, John\\Tools\\sorvak.exe",
         "\"C:\\Users\\Smith, John\\Tools\\sorvak.exe\"",
         "C:\\Users\\Smith, John\\Tools\\conf.txt"},
        {"C:\\Tools\\sorvak.exe", "C:\\Tools\\sorvak.exe /x", "C:\\Tools\\conf.txt"},
        {"C:\\Tools\\sorvak.exe", nullptr, "C:\\Tools\\conf.txt"},
        {nullptr, "C:\\Tools\\sorvak.exe /x", "C:\\Tools\\sorvak.exe /conf.txt"},
        {nullptr, "\"C:\\Users\\Smith, John\\sorvak.exe\"", "C:\\Users\\conf.txt"},
        {nullptr, "\t\"", nullptr},
        {nullptr, nullptr, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command_line != nullptr ? c.command_line : "(no command line)");
        stand_in_set_executable_path(c.executable);
        std::string line = c.command_line != nullptr ? c.command_line : "";
        char *path = find_program_path(c.command_line != nullptr ? &line[0] : nullptr);
        if (c.conf_path == nullptr) {
            EXPECT_EQ(path, nullptr);
            continue;
        }
        ASSERT_NE(path, nullptr);
        const bool owned = c.executable != nullptr;
        char *conf_path = make_conf_path(path, "conf.txt");
        EXPECT_STREQ(conf_path, c.conf_path);
        std::free(conf_path);
        if (owned)
            std::free(path);
    }
    stand_in_reset();
}

} // namespace
