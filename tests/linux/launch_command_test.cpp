#include "platform/linux/launch_command.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
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

TEST(kernel_runs, only_elf_files_and_interpreter_scripts)
{
    const std::pair<const char *, bool> heads[] = {
        {"\177ELF\2", true},
        {"#!/bin/sh", true},
        {"#!", true},
        // A conf.txt, a Windows program, near misses: documents.
        {"prec = 50", false},
        {"MZ\x90", false},
        {" #!/bin/sh", false},
        {"\177EL", false},
        {"#", false},
        {"", false}};
    for (const auto &[head, runs] : heads)
        EXPECT_EQ(kernel_runs(head, std::strlen(head)), runs) << head;
}

// What a plan comes to: its command, or its problem alone.
using outcome = std::pair<words, std::string>;

outcome outcome_of(const launch_plan &plan)
{
    return {plan.command, plan.problem != nullptr ? plan.problem : ""};
}

struct command_case {
    const char *parameters;
    const char *executable;
    const char *document;
    const char *opener;
    outcome expected;
};

class command : public testing::TestWithParam<command_case>
{
};

TEST_P(command, runs_executables_opens_the_rest_and_says_why_not)
{
    const command_case &c = GetParam();
    EXPECT_EQ(outcome_of(build_launch_command(c.parameters, c.executable, c.document, c.opener)),
              c.expected);
}

constexpr const char *OPENER = "/usr/bin/xdg-open";
constexpr const char *UNCLOSED = "unclosed quote in parameters";

INSTANTIATE_TEST_SUITE_P(
    cases, command,
    testing::Values(
        command_case{
            "a 'b c'", "/usr/bin/prog", nullptr, OPENER, {{"/usr/bin/prog", "a", "b c"}, ""}},
        command_case{"", "/opt/p q/run", nullptr, nullptr, {{"/opt/p q/run"}, ""}},
        command_case{"", nullptr, "notes.txt", OPENER, {{OPENER, "notes.txt"}, ""}},
        command_case{"  ", nullptr, "notes.txt", OPENER, {{OPENER, "notes.txt"}, ""}},
        command_case{"--new \"x y\"",
                     nullptr,
                     "https://example.org/a b",
                     OPENER,
                     {{OPENER, "https://example.org/a b", "--new", "x y"}, ""}},
        // Parameters that cannot be split start nothing.
        command_case{"\"bad", "/usr/bin/prog", nullptr, OPENER, {{}, UNCLOSED}},
        command_case{"'bad", nullptr, "notes.txt", OPENER, {{}, UNCLOSED}},
        // Nothing to open with, or nothing to open.
        command_case{"", nullptr, "notes.txt", nullptr, {{}, "xdg-open not found"}},
        command_case{"", nullptr, nullptr, OPENER, {{}, "program not found"}}));

// A folder standing for PATH, holding a script, a document, a document with
// the execute bit, a folder and, unless told otherwise, an xdg-open.
class resolve : public testing::Test
{
  protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/sorvak-launch-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        make_file("tool", 0755, "#!/bin/sh\n");
        make_file("notes.txt", 0644, "notes\n");
        make_file("exec.txt", 0755, "notes on a FAT mount\n");
        make_file("xdg-open", 0755, "#!/bin/sh\n");
        ASSERT_EQ(mkdir((dir + "/folder").c_str(), 0755), 0);
        const char *path = std::getenv("PATH");
        saved_path = path != nullptr ? path : "";
        setenv("PATH", (dir + ":/nonexistent").c_str(), 1);
    }
    void TearDown() override
    {
        setenv("PATH", saved_path.c_str(), 1);
        for (const char *name : {"tool", "notes.txt", "exec.txt", "xdg-open"})
            std::remove((dir + "/" + name).c_str());
        rmdir((dir + "/folder").c_str());
        rmdir(dir.c_str());
    }
    void make_file(const char *name, mode_t mode, const char *text)
    {
        std::string path = dir + "/" + name;
        std::ofstream(path) << text;
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
    }

    std::string dir;
    std::string saved_path;
};

TEST_F(resolve, starts_programs_by_name_or_path_and_hands_the_rest_to_xdg_open)
{
    std::string opener = dir + "/xdg-open";
    struct resolve_case {
        std::string program;
        const char *parameters;
        outcome expected;
    };
    const resolve_case cases[] = {
        {"tool", "-x 'y z'", {{dir + "/tool", "-x", "y z"}, ""}},
        {dir + "/tool", "", {{dir + "/tool"}, ""}},
        {dir + "/notes.txt", "", {{opener, dir + "/notes.txt"}, ""}},
        // The execute bit alone does not make a program; found on PATH, the
        // document is opened by its path.
        {dir + "/exec.txt", "", {{opener, dir + "/exec.txt"}, ""}},
        {"exec.txt", "a", {{opener, dir + "/exec.txt", "a"}, ""}},
        {dir + "/folder", "--a", {{opener, dir + "/folder", "--a"}, ""}},
        {"mailto:a@example.org", "", {{opener, "mailto:a@example.org"}, ""}},
        {"absent-program", "", {{}, "program not found"}},
        {"notes.txt", "", {{}, "program not found"}},
        {"C:\\notes.txt", "", {{}, "program not found"}},
        {"tool", "\"vim", {{}, UNCLOSED}},
    };
    for (const resolve_case &c : cases)
        EXPECT_EQ(outcome_of(resolve_launch_command(c.program.c_str(), c.parameters)), c.expected)
            << c.program;
    // Edit opens even a program.
    EXPECT_EQ(outcome_of(open_command((dir + "/tool").c_str())),
              (outcome{{opener, dir + "/tool"}, ""}));
}

TEST_F(resolve, without_xdg_open_only_programs_start)
{
    std::remove((dir + "/xdg-open").c_str());
    EXPECT_EQ(outcome_of(resolve_launch_command("tool", "a")), (outcome{{dir + "/tool", "a"}, ""}));
    EXPECT_EQ(outcome_of(resolve_launch_command((dir + "/notes.txt").c_str(), "")),
              (outcome{{}, "xdg-open not found"}));
}

} // namespace
