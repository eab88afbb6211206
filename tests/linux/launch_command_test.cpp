#include "platform/x11/launch_command.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace
{

using words = std::vector<std::string>;

struct split_case {
    const char *parameters;
    bool ok;
    words expected;
};

class split : public testing::TestWithParam<split_case>
{
};

TEST_P(split, follows_posix_word_splitting_without_expansion)
{
    words found{"left over"};
    EXPECT_EQ(split_parameters(GetParam().parameters, &found), GetParam().ok);
    EXPECT_EQ(found, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    texts, split,
    testing::Values(split_case{"", true, {}}, split_case{" \t  ", true, {}},
                    split_case{"a b\t c", true, {"a", "b", "c"}},
                    split_case{"\"two words\" x", true, {"two words", "x"}},
                    split_case{"'it''s' \"say \\\"hi\\\"\"", true, {"its", "say \"hi\""}},
                    split_case{"a\\ b c\\\\d", true, {"a b", "c\\d"}},
                    // A Windows-style path loses its backslashes, as in a shell.
                    split_case{"C:\\dir", true, {"C:dir"}},
                    split_case{
                        "'single $HOME' \"double $HOME\"", true, {"single $HOME", "double $HOME"}},
                    split_case{"*.txt ~ $(id)", true, {"*.txt", "~", "$(id)"}},
                    split_case{"one 'two three'four", true, {"one", "two threefour"}},
                    split_case{"a #comment", true, {"a"}}, split_case{"\"unclosed", false, {}},
                    split_case{"'unclosed too", false, {}}, split_case{"trailing\\", false, {}}));

struct command_case {
    const char *program;
    const char *parameters;
    const char *executable;
    const char *opener;
    words expected;
};

class command : public testing::TestWithParam<command_case>
{
};

TEST_P(command, runs_executables_and_opens_the_rest)
{
    const command_case &c = GetParam();
    EXPECT_EQ(build_launch_command(c.program, c.parameters, c.executable, c.opener), c.expected);
}

constexpr const char *OPENER = "/usr/bin/xdg-open";

INSTANTIATE_TEST_SUITE_P(
    cases, command,
    testing::Values(
        command_case{"prog", "a 'b c'", "/usr/bin/prog", OPENER, {"/usr/bin/prog", "a", "b c"}},
        command_case{"/opt/p q/run", "", "/opt/p q/run", nullptr, {"/opt/p q/run"}},
        command_case{"notes.txt", "", nullptr, OPENER, {OPENER, "notes.txt"}},
        command_case{"notes.txt", "  ", nullptr, OPENER, {OPENER, "notes.txt"}},
        command_case{"https://example.org/a b",
                     "--new \"x y\"",
                     nullptr,
                     OPENER,
                     {OPENER, "https://example.org/a b", "--new", "x y"}},
        // Parameters that cannot be split start nothing.
        command_case{"prog", "\"bad", "/usr/bin/prog", OPENER, {}},
        command_case{"notes.txt", "'bad", nullptr, OPENER, {}},
        // Nothing to open with, or nothing to open.
        command_case{"notes.txt", "", nullptr, nullptr, {}},
        command_case{"", "", nullptr, OPENER, {}}));

// A folder standing for PATH, holding an executable, a plain file, a folder
// and, unless told otherwise, an xdg-open.
class resolve : public testing::Test
{
  protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/sorvak-launch-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        make_file("tool", 0755);
        make_file("notes.txt", 0644);
        make_file("xdg-open", 0755);
        ASSERT_EQ(mkdir((dir + "/folder").c_str(), 0755), 0);
        const char *path = std::getenv("PATH");
        saved_path = path != nullptr ? path : "";
        setenv("PATH", (dir + ":/nonexistent").c_str(), 1);
    }
    void TearDown() override
    {
        setenv("PATH", saved_path.c_str(), 1);
        for (const char *name : {"tool", "notes.txt", "xdg-open"})
            std::remove((dir + "/" + name).c_str());
        rmdir((dir + "/folder").c_str());
        rmdir(dir.c_str());
    }
    void make_file(const char *name, mode_t mode)
    {
        std::string path = dir + "/" + name;
        std::ofstream(path) << "#!/bin/sh\n";
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
    }

    std::string dir;
    std::string saved_path;
};

TEST_F(resolve, finds_programs_by_name_or_path_and_hands_the_rest_to_xdg_open)
{
    std::string opener = dir + "/xdg-open";
    struct resolve_case {
        std::string program;
        const char *parameters;
        words expected;
    };
    const resolve_case cases[] = {
        {"tool", "-x 'y z'", {dir + "/tool", "-x", "y z"}},
        {dir + "/tool", "", {dir + "/tool"}},
        {dir + "/notes.txt", "", {opener, dir + "/notes.txt"}},
        {dir + "/folder", "--a", {opener, dir + "/folder", "--a"}},
        // Not on PATH: xdg-open is asked, and fails there as the shell would.
        {"absent-program", "", {opener, "absent-program"}},
        {"notes.txt", "", {opener, "notes.txt"}},
    };
    for (const resolve_case &c : cases)
        EXPECT_EQ(resolve_launch_command(c.program.c_str(), c.parameters), c.expected) << c.program;
}

TEST_F(resolve, without_xdg_open_only_executables_start)
{
    std::remove((dir + "/xdg-open").c_str());
    EXPECT_EQ(resolve_launch_command("tool", "a"), (words{dir + "/tool", "a"}));
    EXPECT_EQ(resolve_launch_command((dir + "/notes.txt").c_str(), ""), words{});
}

} // namespace
