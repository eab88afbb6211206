// conf.txt files no editor would write: zero bytes, bytes above 127, huge
// runs of blank lines, and paths that are not files at all.
#include "conf/conf_file.h"
#include "support/capture_output.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <functional>
#include <string>

namespace
{

using namespace std::string_literals;

struct strange_case {
    const char *name;
    std::string bytes;
    std::string err;
    std::function<void(gesture_context *)> check;
};

void slot_is(gesture_context *context, gesture_kind kind, const char *program,
             const char *parameters)
{
    const action_slot &slot = context->slots[kind];
    ASSERT_NE(slot.program, nullptr) << "slot " << kind;
    EXPECT_EQ(std::string(slot.program), program) << "slot " << kind;
    if (parameters == nullptr)
        EXPECT_EQ(slot.parameters, nullptr) << "slot " << kind;
    else
        EXPECT_EQ(std::string(slot.parameters != nullptr ? slot.parameters : "(null)"), parameters);
}

std::string blank_lines(int count)
{
    const char *forms[] = {"\n", " \t\r\n", "\"\"\n", "\r\n"};
    std::string text;
    for (int i = 0; i < count; ++i)
        text += forms[i % 4];
    return text;
}

const strange_case cases[] = {
    {"100000 blank lines keep the count", blank_lines(100000) + "foo\nup = after.exe\n",
     "error in conf file, line 100001\n   missing value, line skipped\n",
     [](gesture_context *c) { slot_is(c, up, "after.exe", nullptr); }},
    {"a zero byte ends the line's text",
     "up = ab\0cd | x\n\0prec = 5\nfoo\0= bar\n\0\0\0\nkey = 0x1\0zz\ndown = x\0"s,
     "error in conf file, line 3\n   missing value, line skipped\n",
     [](gesture_context *c) {
         slot_is(c, up, "ab", nullptr);
         slot_is(c, down, "x", nullptr);
         EXPECT_EQ(c->precision.load(), 50);
         EXPECT_EQ(c->key_code.load(), 1);
     }},
    {"bytes above 127 are kept and never case-folded",
     "up\xe9 = x\n"
     "down = \xc3\xa9"
     "dit\xff | \x80\x81\n"
     "\xef\xbb\xbfprec = 5\n"
     "prec = \xa0"
     "5\n"
     "key = \xff\n"
     "UP\xc9 = y\n"
     "\xff\xfe\n",
     "error in conf file, line 1\n   unknown parameter up\xe9\n"
     "error in conf file, line 3\n   unknown parameter \xef\xbb\xbfprec\n"
     "imposible to have a precision of zero\n   it'll be set to default value : 50\n"
     "unknown key value \xff, key value must be integer, restore to ctrl key\n"
     "error in conf file, line 6\n   unknown parameter UP\xc9\n"
     "error in conf file, line 7\n   missing value, line skipped\n",
     [](gesture_context *c) {
         slot_is(c, down,
                 "\xc3\xa9"
                 "dit\xff",
                 "\x80\x81");
         EXPECT_EQ(c->slots[up].program, nullptr);
         EXPECT_EQ(c->precision.load(), 50);
         EXPECT_EQ(c->key_code.load(), 17);
     }},
    {"an unknown key of 5000 bytes is quoted whole", std::string(5000, 'k') + " = v\n",
     "error in conf file, line 1\n   unknown parameter " + std::string(5000, 'k') + "\n", nullptr},
    {"control bytes are part of the text",
     "up = \x01\x02\x1b[0m | \x7f\nprec = \x0b"
     "12\n",
     "",
     [](gesture_context *c) {
         slot_is(c, up, "\x01\x02\x1b[0m", "\x7f");
         // A vertical tab is white space to the integer reading.
         EXPECT_EQ(c->precision.load(), 12);
     }},
    {"only separators", "=\n|\n=|=\n\"=\"\n | = | \n",
     "error in conf file, line 1\n   missing value, line skipped\n"
     "error in conf file, line 2\n   missing value, line skipped\n"
     "error in conf file, line 3\n   missing value, line skipped\n"
     "error in conf file, line 4\n   missing value, line skipped\n"
     "error in conf file, line 5\n   unknown parameter |\n",
     nullptr},
    {"empty file", "", "", nullptr},
};

class strange_file : public testing::TestWithParam<strange_case>
{
};

TEST_P(strange_file, loads_with_exact_messages)
{
    std::string dir = make_temp_dir();
    test_context context(dir + "/sorvak.exe");
    write_file(dir + "/conf.txt", GetParam().bytes);
    std::string err = capture_output([&] { load_conf(context.get()); }).err;
    EXPECT_EQ(err, GetParam().err);
    if (GetParam().check)
        GetParam().check(context.get());
    std::remove((dir + "/conf.txt").c_str());
    std::remove(dir.c_str());
}

INSTANTIATE_TEST_SUITE_P(cases, strange_file, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<strange_case> &param) {
                             std::string name;
                             for (const char *p = param.param.name; *p != '\0'; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

// Paths that name no readable file: the context keeps every value.
struct unreadable_case {
    const char *name;
    std::function<void(const std::string &path)> make;
};

const unreadable_case unreadable[] = {
    {"missing", [](const std::string &) {}},
    {"directory", [](const std::string &path) { ASSERT_EQ(mkdir(path.c_str(), 0755), 0); }},
    {"dangling_link",
     [](const std::string &path) { ASSERT_EQ(symlink("no-such-target", path.c_str()), 0); }},
    {"link_loop",
     [](const std::string &path) { ASSERT_EQ(symlink(path.c_str(), path.c_str()), 0); }},
};

class unreadable_conf : public testing::TestWithParam<unreadable_case>
{
};

TEST_P(unreadable_conf, reports_and_keeps_the_context)
{
    std::string dir = make_temp_dir();
    test_context context(dir + "/sorvak.exe");
    write_file(dir + "/conf.txt", "prec = 7\nup = kept.exe | p\n");
    load_conf(context.get());
    std::remove((dir + "/conf.txt").c_str());
    GetParam().make(dir + "/conf.txt");

    std::string err = capture_output([&] { load_conf(context.get()); }).err;
    EXPECT_EQ(err, "unable to find conf.txt\n");
    EXPECT_EQ(context->precision.load(), 7);
    slot_is(context.get(), up, "kept.exe", "p");

    // The reader is left ready for the next real file.
    rmdir((dir + "/conf.txt").c_str());
    std::remove((dir + "/conf.txt").c_str());
    write_file(dir + "/conf.txt", "prec = 9\n");
    EXPECT_EQ(capture_output([&] { load_conf(context.get()); }).err, "");
    EXPECT_EQ(context->precision.load(), 9);
    std::remove((dir + "/conf.txt").c_str());
    std::remove(dir.c_str());
}

INSTANTIATE_TEST_SUITE_P(paths, unreadable_conf, testing::ValuesIn(unreadable),
                         [](const testing::TestParamInfo<unreadable_case> &param) {
                             return std::string(param.param.name);
                         });

} // namespace
