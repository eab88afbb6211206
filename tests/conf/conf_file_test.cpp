#include "conf/conf_file.h"
#include "conf/diagnostics.h"
#include "support/capture_output.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{

class conf_file : public testing::Test
{
  protected:
    conf_file() : dir(make_temp_dir()), context(dir + "/sorvak.exe") {}

    std::string load(const std::string &bytes)
    {
        write_file(dir + "/conf.txt", bytes);
        return capture_output([&] { load_conf(context.get()); }).err;
    }

    const char *program(gesture_kind kind) { return context->slots[kind].program; }
    const char *parameters(gesture_kind kind) { return context->slots[kind].parameters; }

    std::string dir;
    test_context context;
};

struct file_case {
    const char *name;
    std::string bytes;
    std::string err;
    // What the load tells a desktop program: problems and the first in one line.
    long problems;
    std::string first;
};

class conf_messages : public conf_file, public testing::WithParamInterface<file_case>
{
};

TEST_P(conf_messages, reports_exactly)
{
    long before = conf_report_count();
    EXPECT_EQ(load(GetParam().bytes), GetParam().err) << GetParam().name;
    conf_load_summary summary;
    conf_last_load(&summary);
    EXPECT_EQ(summary.problems, GetParam().problems) << GetParam().name;
    EXPECT_EQ(conf_report_count() - before, GetParam().problems) << GetParam().name;
    EXPECT_EQ(summary.first, GetParam().first) << GetParam().name;
}

const std::string long_key(300, 'k');

INSTANTIATE_TEST_SUITE_P(
    files, conf_messages,
    testing::Values(
        file_case{"comments and blanks", "// a comment\n\n   \n\t// indented\r\n\"\"\n", "", 0, ""},
        file_case{"no equals sign", "up = x\nfoo\n",
                  "error in conf file, line 2\n   missing value, line skipped\n", 1,
                  "line 2: missing value, line skipped"},
        file_case{"only equals signs", "\n===\n",
                  "error in conf file, line 2\n   missing value, line skipped\n", 1,
                  "line 2: missing value, line skipped"},
        file_case{"unknown key", "// c\nsideways = x\n",
                  "error in conf file, line 2\n   unknown parameter sideways\n", 1,
                  "line 2: unknown parameter sideways"},
        file_case{"tab before equals", "up\t= x\n",
                  "error in conf file, line 1\n   unknown parameter up\t\n", 1,
                  "line 1: unknown parameter up\t"},
        file_case{"byte-order mark", "\xEF\xBB\xBFup = x\n",
                  "error in conf file, line 1\n   unknown parameter \xEF\xBB\xBFup\n", 1,
                  "line 1: unknown parameter \xEF\xBB\xBFup"},
        file_case{"byte-order mark before a comment", "\xEF\xBB\xBF// c\n",
                  "error in conf file, line 1\n   missing value, line skipped\n", 1,
                  "line 1: missing value, line skipped"},
        file_case{"trailing comment is part of the value", "up = x // y\n", "", 0, ""},
        file_case{"every value message in file order",
                  "prec = 0\nprec = 201\nprec = 1000\nkey = ctrl\nprec = 30 | |\nkey = 1 | 2\n",
                  "imposible to have a precision of zero\n"
                  "   it'll be set to default value : 50\n"
                  "it'll be hard to use me with a precison of 201\n"
                  "   i let it but i advice you to restore it to default value : 50\n"
                  "it'll be impossible to use me with a precison higher or equal to 1000\n"
                  "   i restore it to default value : 50\n"
                  "unknown key value ctrl, key value must be integer, restore to ctrl key\n"
                  "warning : too much parameter for precision definition\n"
                  "warning : too much parameter for key definition\n",
                  6, "line 1: imposible to have a precision of zero"},
        file_case{"a long first problem is cut to its summary's size", "\n" + long_key + " = x\n",
                  "error in conf file, line 2\n   unknown parameter " + long_key + "\n", 1,
                  ("line 2: unknown parameter " + long_key).substr(0, CONF_SUMMARY_SIZE - 1)},
        file_case{"exclude lines: empty, with extra words, past the limit",
                  "exclude =|\nexclude = | x\nexclude = a.exe | b\n" +
                      [] {
                          std::string lines;
                          for (int i = 0; i < MAX_EXCLUDED + 2; ++i)
                              lines += "exclude = p" + std::to_string(i) + ".exe\n";
                          return lines;
                      }(),
                  "warning : empty exclude definition, line ignored\n"
                  "warning : too much parameter for exclude definition\n"
                  "warning : empty exclude definition, line ignored\n"
                  "warning : too much parameter for exclude definition\n"
                  "warning : more than 32 exclude lines, the rest is ignored\n",
                  5, "line 1: warning : empty exclude definition, line ignored"},
        file_case{"keys bindings: empty, unknown names, limits, extra words",
                  "up = keys:\ndown = KEYS: ctrl+foo\nleft = keys: ctrl++c\n"
                  "right = keys: a b c d e f g h i j k l m n o p q\n"
                  "other = keys:" +
                      [] {
                          std::string chords;
                          for (int i = 0; i < 11; ++i)
                              chords += " a+b+c";
                          return chords;
                      }() +
                      "\nvert = keys: alt+left | x\n",
                  "warning : empty keys definition, binding ignored\n"
                  "unknown key name foo in keys definition, binding ignored\n"
                  "unknown key name ctrl++c in keys definition, binding ignored\n"
                  "warning : more than 16 chords in keys definition, binding ignored\n"
                  "warning : more than 32 key names in keys definition, binding ignored\n"
                  "warning : too much parameter for keys definition\n",
                  6, "line 1: warning : empty keys definition, binding ignored"},
        file_case{"program blocks: empty, extra words, a setting inside, past the limits",
                  "program =|\nprogram = a | x\nprec = 30\nprogram = *\nprec = 30\n" +
                      [] {
                          std::string lines;
                          for (int i = 0; i <= MAX_BLOCK_NAMES; ++i)
                              lines += "program = n" + std::to_string(i) + "\n";
                          for (int i = 2; i <= MAX_PROGRAM_BLOCKS; ++i)
                              lines += "up = x\nprogram = p" + std::to_string(i) + "\n";
                          return lines;
                      }(),
                  "warning : empty program definition, line ignored\n"
                  "warning : too much parameter for program definition\n"
                  "warning : prec in a program block applies to every program\n"
                  "warning : more than 8 names in one program block, the rest is ignored\n"
                  "warning : more than 32 program blocks, the rest is ignored\n",
                  5, "line 1: warning : empty program definition, line ignored"},
        file_case{"a value problem after a line problem", "k\nprec = 300\n",
                  "error in conf file, line 1\n   missing value, line skipped\n"
                  "it'll be hard to use me with a precison of 300\n"
                  "   i let it but i advice you to restore it to default value : 50\n",
                  2, "line 1: missing value, line skipped"}));

TEST_F(conf_file, missing_file_changes_nothing)
{
    load("up = a.exe | p\nprec = 30\n");
    std::remove((dir + "/conf.txt").c_str());
    EXPECT_EQ(capture_output([&] { load_conf(context.get()); }).err, "unable to find conf.txt\n");
    EXPECT_STREQ(program(up), "a.exe");
    EXPECT_EQ(context->precision.load(), 30);
}

TEST_F(conf_file, settings_are_trimmed_and_split)
{
    EXPECT_EQ(load("UP = notepad.exe | readme.txt\r\n"
                   "left = explorer.exe | c:\\\n"
                   "\"down = \"quoted.exe\"\n"
                   "right = \"a b.exe\" | x\"\n"
                   "vert = \"v.exe\"\n"
                   "hori = a = b\n"
                   "  other  =\t prog.exe \t|\t p q \t| ignored\n"
                   "key = 0x12\n"
                   "prec = 30\n"),
              "");
    EXPECT_STREQ(program(up), "notepad.exe");
    EXPECT_STREQ(parameters(up), "readme.txt");
    EXPECT_STREQ(parameters(left), "c:\\");
    EXPECT_STREQ(program(down), "\"quoted.exe");
    EXPECT_STREQ(program(right), "\"a b.exe\"");
    EXPECT_STREQ(parameters(right), "x");
    EXPECT_STREQ(program(vertical), "\"v.exe");
    EXPECT_STREQ(program(horizontal), "a");
    EXPECT_EQ(parameters(horizontal), nullptr);
    EXPECT_STREQ(program(other), "prog.exe");
    EXPECT_STREQ(parameters(other), "p q");
    EXPECT_EQ(context->key_code.load(), 0x12);
    EXPECT_EQ(context->precision.load(), 30);
}

TEST_F(conf_file, empty_words_vanish_in_the_value)
{
    load("up = a.exe | p\ndown = b.exe\nleft = c.exe\n");
    EXPECT_EQ(load("up =|\ndown =|x\nleft = |x\n"), "");
    EXPECT_EQ(program(up), nullptr);
    EXPECT_EQ(parameters(up), nullptr);
    EXPECT_STREQ(program(down), "x");
    EXPECT_EQ(parameters(down), nullptr);
    EXPECT_STREQ(program(left), "");
    EXPECT_STREQ(parameters(left), "x");
}

TEST_F(conf_file, reload_keeps_absent_values_and_later_lines_win)
{
    EXPECT_FALSE(context->trail);
    load("up = a.exe\ndown = b.exe | 1\nprec = 30\nkey = 16\nTrail = 1\n");
    EXPECT_EQ(load("down = c.exe\ndown = d.exe | 2\n"), "");
    EXPECT_TRUE(context->trail);
    EXPECT_STREQ(program(up), "a.exe");
    EXPECT_STREQ(program(down), "d.exe");
    EXPECT_STREQ(parameters(down), "2");
    EXPECT_EQ(context->precision.load(), 30);
    EXPECT_EQ(context->key_code.load(), 16);
}

TEST_F(conf_file, malformed_hex_key_ends_the_load_and_the_process)
{
    write_file(dir + "/conf.txt", "up = a.exe\nkey = 0xG1\nprec = 30\n");
    EXPECT_EXIT(load_conf(context.get()), testing::ExitedWithCode(1),
                "^invalid hexadecimal value : G1\n$");
}

TEST_F(conf_file, each_load_brings_its_own_exclude_lines)
{
    load("EXCLUDE = mstsc.exe\nexclude = Navigator\n");
    ASSERT_EQ(context->excluded_count, 2);
    EXPECT_STREQ(context->excluded[0], "mstsc.exe");
    EXPECT_STREQ(context->excluded[1], "Navigator");
    load("up = a.exe\n");
    EXPECT_EQ(context->excluded_count, 0);
    load("exclude = x.exe\n");
    std::remove((dir + "/conf.txt").c_str());
    capture_output([&] { load_conf(context.get()); });
    EXPECT_EQ(context->excluded_count, 1) << "a missing file changes nothing";
}

// A row of program lines opens one block for the bindings after it, up to
// the next row; «*» goes back to every program; each load brings its own.
TEST_F(conf_file, program_blocks_hold_the_bindings_after_them)
{
    std::string beyond;
    for (int i = 2; i < MAX_PROGRAM_BLOCKS; ++i)
        beyond += "program = p" + std::to_string(i) + "\nup = p.exe\n";
    load("left = explorer.exe\nprogram = firefox\n// a comment\nPROGRAM = Navigator\n"
         "left = keys: alt+left\nprogram = code\nup = x.exe\nprogram = *\ndown = y.exe\n" +
         beyond + "program = dropped\ndown = z.exe\n");
    ASSERT_EQ(context->block_count, MAX_PROGRAM_BLOCKS);
    const program_block &firefox = context->blocks[0];
    ASSERT_EQ(firefox.name_count, 2);
    EXPECT_STREQ(firefox.names[1], "Navigator");
    EXPECT_STREQ(firefox.slots[left].program, "keys: alt+left");
    EXPECT_EQ(firefox.slots[up].program, nullptr);
    EXPECT_STREQ(context->blocks[1].slots[up].program, "x.exe");
    EXPECT_STREQ(program(left), "explorer.exe");
    EXPECT_EQ(program(up), nullptr);
    EXPECT_STREQ(program(down), "y.exe") << "a dropped block's bindings are not global";
    load("up = a.exe\n");
    EXPECT_EQ(context->block_count, 0);
}

TEST_F(conf_file, table_holds_64_distinct_keys)
{
    ASSERT_EQ(CONF_KEYWORD_COUNT, 64);
    for (int i = 0; i < CONF_KEYWORD_COUNT; ++i)
        for (int j = i + 1; j < CONF_KEYWORD_COUNT; ++j)
            EXPECT_STRNE(conf_keywords[i].key, conf_keywords[j].key);
}

// Each keyword row, written as a user would (upper case), binds its own slot
// and nothing else; the expected slot comes from the key's own spelling.
TEST_F(conf_file, every_keyword_binds_its_own_slot)
{
    struct family {
        gesture_kind kind;
        std::vector<std::string> keys;
    };
    auto pairs = [](const char *a, const char *b, std::vector<std::string> extra) {
        std::vector<std::string> keys;
        for (const char *sep : {"_", "-", " ", ""}) {
            keys.push_back(std::string(a) + sep + b);
        }
        for (const char *sep : {"_", "-", " ", ""}) {
            keys.push_back(std::string(b) + sep + a);
        }
        keys.insert(keys.end(), extra.begin(), extra.end());
        return keys;
    };
    const family families[] = {
        {other, {"autre", "other"}},
        {up, {"up"}},
        {down, {"down"}},
        {right, {"right"}},
        {left, {"left"}},
        {up_right, pairs("up", "right", {})},
        {down_right, pairs("down", "right", {})},
        {vertical, pairs("up", "down", {"vert", "vertical"})},
        {horizontal, pairs("right", "left", {"hori", "horizontal"})},
        {down_left, pairs("down", "left", {})},
        {up_left, pairs("up", "left", {})},
    };
    int keys_seen = 2; // prec, precision
    for (const family &f : families) {
        for (const std::string &key : f.keys) {
            ++keys_seen;
            std::string upper = key;
            for (char &ch : upper)
                ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            load("up=|\ndown=|\nright=|\nup_right=|\ndown_right=|\nvert=|\nother=|\nhori=|\n"
                 "up_left=|\ndown_left=|\nleft=|\n");
            EXPECT_EQ(load(upper + " = bound.exe | p\n"), "") << key;
            for (int k = 0; k < GESTURE_KIND_COUNT; ++k) {
                if (k == f.kind) {
                    EXPECT_STREQ(program(static_cast<gesture_kind>(k)), "bound.exe") << key;
                } else {
                    EXPECT_EQ(program(static_cast<gesture_kind>(k)), nullptr) << key << " " << k;
                }
            }
        }
    }
    EXPECT_EQ(keys_seen + 4, CONF_KEYWORD_COUNT); // and key, exclude, trail, program
}

TEST_F(conf_file, line_numbers_count_every_line)
{
    EXPECT_EQ(load("// 1\n\n\"\"\n   \nnope\n"),
              "error in conf file, line 5\n   missing value, line skipped\n");
}

} // namespace
