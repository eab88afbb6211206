#include "platform/stand_in/stand_in.h"
#include "shell_common/conf_notice.h"
#include "shell_common/tray_commands.h"
#include "support/capture_output.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

struct tip_case {
    std::size_t length;
    std::size_t kept;
};

class tip_table : public testing::TestWithParam<tip_case>
{
};

TEST_P(tip_table, keeps_at_most_63_characters_and_terminates)
{
    std::string text;
    for (std::size_t i = 0; i < GetParam().length; ++i)
        text += static_cast<char>('a' + i % 26);
    char tip[TRAY_TIP_SIZE];
    std::memset(tip, 'x', sizeof tip);
    copy_tip(tip, text.c_str());
    EXPECT_EQ(std::string(tip), text.substr(0, GetParam().kept));
}

INSTANTIATE_TEST_SUITE_P(lengths, tip_table,
                         testing::Values(tip_case{0, 0}, tip_case{12, 12}, tip_case{62, 62},
                                         tip_case{63, 63}, tip_case{64, 63}, tip_case{300, 63}));

TEST(copy_tip, null_text_gives_empty_tip)
{
    char tip[TRAY_TIP_SIZE];
    std::memset(tip, 'x', sizeof tip);
    copy_tip(tip, nullptr);
    EXPECT_EQ(tip[0], '\0');
}

class tray_commands : public testing::Test
{
  protected:
    void SetUp() override
    {
        stand_in_reset();
        dir = make_temp_dir();
        context = std::make_unique<test_context>(dir + "/sorvak.exe");
    }
    void TearDown() override
    {
        context.reset();
        std::remove((dir + "/conf.txt").c_str());
        std::remove(dir.c_str());
        stand_in_reset();
    }
    void write_conf(const std::string &text) { write_file(dir + "/conf.txt", text); }
    captured_output run(unsigned command, tray_command_result *result = nullptr)
    {
        return capture_output([&] {
            tray_command_result r = run_tray_command(command, context->get());
            if (result != nullptr)
                *result = r;
        });
    }
    const char *program(gesture_kind kind) { return (*context)->slots[kind].program; }
    const char *parameters(gesture_kind kind) { return (*context)->slots[kind].parameters; }

    std::string dir;
    std::unique_ptr<test_context> context;
};

TEST_F(tray_commands, reload_applies_a_changed_file_and_keeps_absent_values)
{
    write_conf("up = notepad.exe | a.txt\nprec = 30\nkey = 0x12\n");
    captured_output first = run(CMD_RELOAD_CONF);
    EXPECT_EQ(first.err, "");
    EXPECT_STREQ(program(up), "notepad.exe");
    EXPECT_STREQ(parameters(up), "a.txt");
    EXPECT_EQ((*context)->precision.load(), 30);
    EXPECT_EQ((*context)->key_code.load(), 0x12);

    write_conf("down = calc.exe\nprec = 80\n");
    captured_output second = run(CMD_RELOAD_CONF);
    EXPECT_EQ(second.err, "");
    EXPECT_EQ(second.out, "");
    EXPECT_STREQ(program(down), "calc.exe");
    EXPECT_EQ((*context)->precision.load(), 80);
    EXPECT_STREQ(program(up), "notepad.exe");
    EXPECT_STREQ(parameters(up), "a.txt");
    EXPECT_EQ((*context)->key_code.load(), 0x12);
    EXPECT_TRUE(stand_in_shell_calls().empty());
}

TEST_F(tray_commands, reload_without_file_reports_and_keeps_everything)
{
    write_conf("left = explorer.exe | C:\\\nprec = 120\n");
    run(CMD_RELOAD_CONF);
    std::remove((dir + "/conf.txt").c_str());

    captured_output output = run(CMD_RELOAD_CONF);
    EXPECT_EQ(output.err, "unable to find conf.txt\n");
    EXPECT_EQ(output.out, "");
    EXPECT_STREQ(program(left), "explorer.exe");
    EXPECT_STREQ(parameters(left), "C:\\");
    EXPECT_EQ((*context)->precision.load(), 120);
    EXPECT_EQ((*context)->key_code.load(), DEFAULT_CAPTURE_KEY);
}

// What each reload leaves for the tray icon to say; a clean one, nothing.
TEST_F(tray_commands, reload_leaves_the_notice_of_its_problems)
{
    const std::string long_key(400, 'k');
    std::string accented_key;
    for (int i = 0; i < 150; ++i)
        accented_key += "\xc3\xa9";
    struct {
        const char *name;
        std::string file; // empty: no file
        const char *title;
        std::string body;
    } const cases[] = {
        {"clean", "up = a.exe\n", nullptr, ""},
        {"one", "uo = notepad.exe\n", "sorvak: conf.txt has 1 problem",
         "line 1: unknown parameter uo\nRun sorvak-check to see them all."},
        {"two", "// c\nprec = 0\nfoo\n", "sorvak: conf.txt has 2 problems",
         "line 2: imposible to have a precision of zero\nRun sorvak-check to see them all."},
        {"no file", "", "sorvak: conf.txt has 1 problem",
         "unable to find conf.txt\nRun sorvak-check to see them all."},
        {"long", long_key + " = x\n", "sorvak: conf.txt has 1 problem",
         ("line 1: unknown parameter " + long_key).substr(0, CONF_SUMMARY_SIZE - 1) +
             "\nRun sorvak-check to see them all."},
        // Cut before the character the end of the summary would split.
        {"long, two-byte letters", accented_key + " = x\n", "sorvak: conf.txt has 1 problem",
         "line 1: unknown parameter " +
             accented_key.substr(0, (CONF_SUMMARY_SIZE - 1 - 26) / 2 * 2) +
             "\nRun sorvak-check to see them all."},
    };
    for (const auto &c : cases) {
        std::remove((dir + "/conf.txt").c_str());
        if (!c.file.empty())
            write_conf(c.file);
        run(CMD_RELOAD_CONF);
        conf_notice notice;
        ASSERT_EQ(latest_conf_notice("sorvak-check", &notice), c.title != nullptr) << c.name;
        if (c.title == nullptr)
            continue;
        EXPECT_STREQ(notice.title, c.title) << c.name;
        EXPECT_EQ(notice.body, c.body) << c.name;
    }
    // A body that cannot hold it all keeps the advice whole, and the first
    // problem's letters whole.
    conf_load_summary load = {1, ""};
    std::memcpy(load.first, accented_key.data(), sizeof load.first - 1);
    conf_notice notice;
    make_conf_notice(load, std::string(150, 'c').c_str(), &notice);
    std::string body = notice.body;
    std::string advice = "\nRun " + std::string(150, 'c') + " to see them all.";
    EXPECT_EQ(body,
              accented_key.substr(0, (CONF_NOTICE_BODY_SIZE - 1 - advice.size()) / 2 * 2) + advice);
}

TEST_F(tray_commands, edit_opens_conf_path_with_empty_parameters)
{
    tray_command_result result = tray_command_quit;
    captured_output output = run(CMD_EDIT_CONF, &result);
    EXPECT_EQ(result, tray_command_done);
    EXPECT_EQ(output.out + output.err, "") << "a missing file is not reported";
    auto calls = stand_in_shell_calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].program, dir + "/conf.txt");
    EXPECT_EQ(calls[0].parameters, "");
}

TEST_F(tray_commands, edit_without_conf_path_does_nothing)
{
    std::free((*context)->conf_path);
    (*context)->conf_path = nullptr;
    run(CMD_EDIT_CONF);
    EXPECT_TRUE(stand_in_shell_calls().empty());
}

TEST_F(tray_commands, exit_asks_for_shutdown_and_touches_nothing)
{
    write_conf("up = notepad.exe\n");
    tray_command_result result = tray_command_done;
    captured_output output = run(CMD_EXIT, &result);
    EXPECT_EQ(result, tray_command_quit);
    EXPECT_EQ(output.out + output.err, "");
    EXPECT_EQ(program(up), nullptr) << "exit must not reload";
    EXPECT_TRUE(stand_in_shell_calls().empty());
}

TEST_F(tray_commands, other_ids_do_nothing)
{
    write_conf("up = notepad.exe\n");
    for (unsigned id : {0u, 1979u, 40001u, 40005u, 40002u + 0x10000u, 65535u}) {
        tray_command_result result = tray_command_quit;
        captured_output output = run(id, &result);
        EXPECT_EQ(result, tray_command_done) << id;
        EXPECT_EQ(output.out + output.err, "") << id;
    }
    EXPECT_EQ(program(up), nullptr);
    EXPECT_TRUE(stand_in_shell_calls().empty());
}

} // namespace
