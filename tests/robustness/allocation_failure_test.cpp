// Every allocation of a whole load, made to fail one at a time and from some
// point on: the load must report it, leak nothing and leave the reader ready.
#include "failing_memory.h"

#include "conf/conf_file.h"
#include "conf/value_handlers.h"
#include "gesture/capture_loop.h"
#include "platform/stand_in/stand_in.h"
#include "support/capture_output.h"
#include "support/replay_cycles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace
{

// Every kind of line the loader knows, a line longer than the reader's
// buffer, CRLF ends and no final line feed.
std::string realistic_conf()
{
    return "// sorvak configuration\n"
           "\n"
           "prec = 40\n"
           "key = 0x11\n"
           "up = notepad.exe\n"
           "down = explorer.exe | c:\\\r\n"
           "\"right = calc.exe\"\n"
           "up_right = a.exe | p1 | ignored\n"
           "right-down = b.exe | p2\n"
           "vertical = c.exe|\n"
           "   // indented comment\n"
           "autre = d.exe\n"
           "hori = e.exe | f g\n"
           "down left = f.exe\n"
           "left_up = g.exe | x\n"
           "left = h.exe | y\n"
           "UP = notepad.exe | readme.txt\n"
           "foo\n"
           "===\n"
           "bar = baz\n"
           "up\t= tab\n"
           "precision = 0\n"
           "prec = 250 | 40\n"
           "key = ctrl\n"
           "key = 65 | extra\n"
           "up right =|\n"
           "left = " +
           std::string(3000, 'L') + " | " + std::string(1500, 'P') +
           "\n"
           "down = z.exe";
}

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

cycle up_at(std::int32_t x, std::int32_t y)
{
    return {0, x, y, true};
}
cycle down_at(std::int32_t x, std::int32_t y)
{
    return {-32768, x, y, true};
}

// An upward stroke of 300 pixels: "up" in the file below.
const std::vector<cycle> up_stroke = {up_at(500, 500), down_at(500, 500), down_at(500, 200),
                                      up_at(500, 200)};

const std::set<std::string> allocating_functions = {"add_to_line", "get_first_word",
                                                    "str_to_word_tab", "set_action"};

// The function named by "NAME : error malloc", or "" for any other line.
std::string malloc_reporter(const std::string &line)
{
    const std::string tail = " : error malloc";
    if (line.size() <= tail.size() || line.compare(line.size() - tail.size(), tail.size(), tail))
        return "";
    return line.substr(0, line.size() - tail.size());
}

class allocation_failure : public testing::Test
{
  protected:
    void SetUp() override
    {
        stand_in_reset();
        reset_capture_state();
        fail_allocation(0);
        dir = make_temp_dir();
        conf = dir + "/sorvak.exe";
        write_file(dir + "/conf.txt", realistic_conf());
        write_file(dir + "/next.txt",
                   "up = next.exe | ok\n" + std::string(2000, ' ') + "prec = 77\nfoo\n");
    }
    void TearDown() override
    {
        fail_allocation(0);
        stand_in_reset();
        std::remove((dir + "/conf.txt").c_str());
        std::remove((dir + "/next.txt").c_str());
        std::remove(dir.c_str());
    }

    // Loads conf.txt with the allocator armed; returns the standard error.
    std::string load_failing(test_context &context, long nth, bool sticky)
    {
        fail_allocation(nth, sticky);
        std::string err = capture_output([&] { load_conf(context.get()); }).err;
        fail_allocation(0);
        return err;
    }

    // After any failure the reader must read a fresh file whole.
    void expect_next_file_reads_well(test_context &context, long nth)
    {
        std::string next = dir + "/next.txt";
        std::free(context->conf_path);
        context->conf_path = strdup(next.c_str());
        std::string err = capture_output([&] { load_conf(context.get()); }).err;
        EXPECT_EQ(err, "error in conf file, line 3\n   missing value, line skipped\n")
            << "after failing call " << nth;
        EXPECT_STREQ(context->slots[up].program, "next.exe") << "after failing call " << nth;
        EXPECT_STREQ(context->slots[up].parameters, "ok");
        EXPECT_EQ(context->precision.load(), 77);
    }

    std::string dir, conf;
};

TEST_F(allocation_failure, each_single_failure_is_reported_and_skipped)
{
    test_context reference(conf);
    fail_allocation(0);
    std::vector<std::string> baseline =
        lines_of(capture_output([&] { load_conf(reference.get()); }).err);
    const long total = allocation_calls();
    ASSERT_GT(total, 100);

    for (long nth = 1; nth <= total; ++nth) {
        test_context context(conf);
        std::vector<std::string> err = lines_of(load_failing(context, nth, false));
        // Exactly one malloc report, from a function that allocates that way.
        std::size_t at = err.size();
        for (std::size_t i = 0; i < err.size(); ++i)
            if (!malloc_reporter(err[i]).empty()) {
                ASSERT_EQ(at, err.size()) << "two reports for call " << nth;
                at = i;
            }
        ASSERT_LT(at, err.size()) << "no report for failing call " << nth;
        std::string reporter = malloc_reporter(err[at]);
        EXPECT_EQ(allocating_functions.count(reporter), 1u) << reporter;
        EXPECT_EQ(reporter == "add_to_line", failed_on_realloc()) << "call " << nth;

        // Around the report, the load said what it says without failures,
        // less the messages of the one line it had to skip; a failing reader
        // ends the load there.
        std::vector<std::string> before(err.begin(), err.begin() + static_cast<long>(at));
        std::vector<std::string> after(err.begin() + static_cast<long>(at) + 1, err.end());
        ASSERT_LE(before.size() + after.size(), baseline.size()) << "call " << nth;
        EXPECT_TRUE(std::equal(before.begin(), before.end(), baseline.begin()))
            << "call " << nth << " (" << reporter << ")";
        EXPECT_TRUE(std::equal(after.rbegin(), after.rend(), baseline.rbegin()))
            << "call " << nth << " (" << reporter << ")";
        if (reporter == "add_to_line") {
            EXPECT_TRUE(after.empty()) << "the load went on after the reader failed";
        }

        // A slot is never bound to half a pair.
        for (const action_slot &slot : context->slots)
            EXPECT_TRUE(slot.program != nullptr || slot.parameters == nullptr);
        expect_next_file_reads_well(context, nth);
    }
}

TEST_F(allocation_failure, running_out_for_good_is_survived)
{
    test_context reference(conf);
    fail_allocation(0);
    std::set<std::string> baseline;
    for (const std::string &line :
         lines_of(capture_output([&] { load_conf(reference.get()); }).err))
        baseline.insert(line);
    const long total = allocation_calls();

    for (long nth = 1; nth <= total; ++nth) {
        test_context context(conf);
        std::vector<std::string> err = lines_of(load_failing(context, nth, true));
        bool reported = false;
        for (const std::string &line : err) {
            std::string reporter = malloc_reporter(line);
            reported = reported || !reporter.empty();
            EXPECT_TRUE(baseline.count(line) == 1 || allocating_functions.count(reporter) == 1)
                << "call " << nth << ": " << line;
        }
        EXPECT_TRUE(reported) << "call " << nth;
        expect_next_file_reads_well(context, nth);
    }
}

TEST_F(allocation_failure, no_room_for_the_conf_path)
{
    fail_allocation(1);
    test_context context(conf);
    fail_allocation(0);
    EXPECT_EQ(context->conf_path, nullptr);
    EXPECT_EQ(capture_output([&] { load_conf(context.get()); }).err, "unable to find conf.txt\n");
}

// The launcher copies the pair before the shell call; without memory for the
// copies it launches from the slot itself.
TEST_F(allocation_failure, launch_without_memory_still_opens_the_pair)
{
    for (long nth = 1; nth <= 3; ++nth) {
        test_context context(conf);
        capture_output([&] { load_conf(context.get()); });
        stand_in_clear_shell_calls();
        reset_capture_state();
        fail_allocation(nth);
        std::string out = replay_cycles(context.get(), up_stroke).out;
        fail_allocation(0);
        EXPECT_EQ(out, "haut\n -> notepad.exe\n") << "call " << nth;
        std::vector<stand_in_shell_call> calls = stand_in_shell_calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].program, "notepad.exe");
        EXPECT_EQ(calls[0].parameters, "readme.txt");
    }
}

// The capture thread runs all day: its cycles must not touch the heap, except
// for the launcher's two copies of a bound pair.
TEST_F(allocation_failure, capture_cycles_allocate_only_to_launch)
{
    struct trace {
        const char *name;
        std::vector<cycle> cycles;
        long allocations;
    };
    const trace traces[] = {
        {"idle, cursor still", {up_at(500, 500), up_at(500, 500), up_at(500, 500)}, 0},
        {"key up, cursor moving", {up_at(500, 500), up_at(800, 100), up_at(10, 700)}, 0},
        {"key held, cursor moving", {down_at(500, 500), down_at(800, 500), down_at(800, 900)}, 0},
        {"tap", {up_at(500, 500), down_at(500, 500), up_at(500, 500)}, 0},
        {"unbound kind",
         {up_at(500, 500), down_at(500, 500), down_at(500, 900), up_at(500, 900)},
         0},
        {"bound kind", up_stroke, 2},
    };
    test_context context(conf);
    capture_output([&] { load_conf(context.get()); });
    store_action(down, nullptr, nullptr, context.get());
    for (const trace &t : traces) {
        reset_capture_state();
        fail_allocation(0);
        replay_cycles(context.get(), t.cycles);
        EXPECT_EQ(allocation_calls(), t.allocations) << t.name;
    }
}

} // namespace
