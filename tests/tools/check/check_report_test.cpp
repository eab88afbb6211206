#include "conf/conf_file.h"
#include "conf/diagnostics.h"
#include "support/capture_output.h"
#include "tools/check/check_report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{

std::string key_text(std::int32_t code)
{
    return capture_output([code] { print_key(stdout, code); }).out;
}

TEST(check_report, names_keys_by_table_and_by_rule)
{
    const std::vector<std::pair<std::int32_t, const char *>> cases = {
        {17, "17 (Ctrl)"},
        {16, "16 (Shift)"},
        {18, "18 (Alt)"},
        {4, "4 (middle mouse button)"},
        {6, "6 (side mouse button 2)"},
        {0, "0 (capture off)"},
        {65, "65 (A)"},
        {90, "90 (Z)"},
        {48, "48 (0)"},
        {0x60, "96 (keypad 0)"},
        {0x69, "105 (keypad 9)"},
        {0x70, "112 (F1)"},
        {0x87, "135 (F24)"},
        {0xA3, "163 (right Ctrl)"},
        {3, "3"},
        {0x88, "136"},
        {-1, "-1"},
        {300, "300"},
    };
    for (const auto &[code, text] : cases)
        EXPECT_EQ(key_text(code), text) << code;
}

TEST(check_report, options_take_live_and_one_path)
{
    struct {
        std::vector<const char *> args;
        int ok;
        bool live;
        const char *path;
    } const cases[] = {
        {{}, 1, false, nullptr},         {{"--live"}, 1, true, nullptr},
        {{"C:\\x"}, 1, false, "C:\\x"},  {{"C:\\x", "--live"}, 1, true, "C:\\x"},
        {{"a", "b"}, 0, false, nullptr}, {{"--help"}, 0, false, nullptr},
        {{"-l"}, 0, false, nullptr},
    };
    for (const auto &c : cases) {
        std::vector<char *> argv{const_cast<char *>("sorvak-check")};
        for (const char *arg : c.args)
            argv.push_back(const_cast<char *>(arg));
        check_options options;
        int ok = parse_check_options(static_cast<int>(argv.size()), argv.data(), &options);
        EXPECT_EQ(ok, c.ok) << argv.size();
        if (ok == 0)
            continue;
        EXPECT_EQ(options.live, c.live);
        EXPECT_STREQ(options.path != nullptr ? options.path : "", c.path != nullptr ? c.path : "");
    }
}

// The report of a loaded file, and the count of diagnostics the load made.
TEST(check_report, reports_what_the_loader_stored_in_slot_order)
{
    std::string dir = make_temp_dir();
    write_file(dir + "/conf.txt", "up = notepad.exe | readme.txt\n"
                                  "left down = x.exe\n"
                                  "other = | only parameters\n"
                                  "left = KEYS: Super+T  ctrl+F4\n"
                                  "program = firefox\nprogram = Navigator\nleft = keys: alt+left\n"
                                  "up = x.exe\nprogram = *\n"
                                  "key = 0x12\nprec = 30\ntrail = 1\n");
    test_context context(dir + "/sorvak.exe");
    long before = conf_report_count();
    captured_output loaded = capture_output([&] { load_conf(context.get()); });
    EXPECT_EQ(loaded.err, "");
    EXPECT_EQ(conf_report_count(), before);
    captured_output report = capture_output([&] { print_report(stdout, context.get()); });
    EXPECT_EQ(report.out, "file: " + dir +
                              "/conf.txt\n"
                              "capture key: 18 (Alt)\n"
                              "precision: 30\n"
                              "trail: on\n"
                              "up          haut              notepad.exe | readme.txt\n"
                              "down        bas               unbound\n"
                              "right       droite            unbound\n"
                              "up_right    haut droite       unbound\n"
                              "down_right  bas droite        unbound\n"
                              "vertical    trait vertical    unbound\n"
                              "other       autre             \"\" | only parameters\n"
                              "horizontal  trait horizontal  unbound\n"
                              "up_left     haut gauche       unbound\n"
                              "down_left   bas gauche        x.exe\n"
                              "left        gauche            KEYS: Super+T  ctrl+F4 "
                              "(presses win+t ctrl+f4)\n"
                              "program     firefox, Navigator\n"
                              "  up        haut              x.exe\n"
                              "  left      gauche            keys: alt+left (presses alt+left)\n");

    write_file(dir + "/conf.txt", "prec = 0\nfoo\n");
    capture_output([&] { load_conf(context.get()); });
    EXPECT_EQ(conf_report_count(), before + 2) << "prec and foo";
}

TEST(check_report, finds_the_first_line_with_utf8)
{
    std::string dir = make_temp_dir();
    const std::vector<std::pair<std::string, long>> cases = {
        {"up = a.exe\nleft = b.exe\n", 0},
        {"up = a.exe\nleft = C:\\caf\xc3\xa9\\b.exe\n", 2},
        {"\xef\xbb\xbfup = a.exe\n", 1},                    // byte-order mark
        {"up = C:\\caf\xe9\\b.exe\nx = \xe2\x82\xac\n", 2}, // ANSI first, then a euro sign
        {"up = \xc3\n\xa9\n", 0},                           // a sequence cut by the line end
        {"up = \xf0\x9f\x98\x80\n", 1},
        {"up = \xc0\xaf\n", 0}, // overlong, never UTF-8
    };
    for (const auto &[text, line] : cases) {
        write_file(dir + "/conf.txt", text);
        EXPECT_EQ(first_utf8_line((dir + "/conf.txt").c_str()), line) << text;
    }
    EXPECT_EQ(first_utf8_line((dir + "/missing.txt").c_str()), 0);
}

} // namespace
