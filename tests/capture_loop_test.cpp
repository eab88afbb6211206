#include "conf/value_handlers.h"
#include "gesture/capture_loop.h"
#include "platform/platform.h"
#include "platform/stand_in/stand_in.h"
#include "support/capture_output.h"
#include "support/replay_cycles.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

constexpr std::int16_t DOWN = -32768;
constexpr std::int16_t TAPPED = 1; // pressed since the last query only

cycle at(std::int16_t key, std::int32_t x, std::int32_t y)
{
    return {key, x, y, true};
}
cycle blind(std::int16_t key)
{
    return {key, 0, 0, false};
}
// A cycle in which mouse button `code` reports `state`.
cycle with(cycle c, std::int32_t code, std::int16_t state)
{
    c.buttons.push_back({code, state});
    return c;
}
// A cycle in which `window` is in front.
cycle in_front(cycle c, std::uintptr_t window)
{
    c.front = window;
    return c;
}
constexpr std::int32_t LEFT_BUTTON = 1;
constexpr std::int32_t MIDDLE_BUTTON = 4;

class capture : public testing::Test
{
  protected:
    void SetUp() override
    {
        stand_in_reset();
        reset_capture_state();
    }
    void TearDown() override { stand_in_reset(); }

    std::string run(const std::vector<cycle> &trace, std::int32_t key_code = 17)
    {
        context->key_code.store(key_code);
        return replay_cycles(context.get(), trace).out;
    }

    test_context context;
};

struct trace_case {
    const char *name;
    std::vector<cycle> trace;
    const char *out;
    std::int32_t key_code = 17;
};

class capture_traces : public capture, public testing::WithParamInterface<trace_case>
{
};

TEST_P(capture_traces, prints_what_the_gesture_was)
{
    EXPECT_EQ(run(GetParam().trace, GetParam().key_code), GetParam().out) << GetParam().name;
}

const trace_case traces[] = {
    {"press and release without moving",
     {at(0, 10, 10), at(DOWN, 10, 10), at(0, 10, 10)},
     "insufficient movement\n"},
    {"stroke upward",
     {at(0, 500, 500), at(DOWN, 500, 500), at(DOWN, 500, 200), at(0, 500, 200)},
     "haut\n"},
    {"stroke right in steps",
     {at(0, 0, 0), at(DOWN, 0, 0), at(DOWN, 40, 0), at(DOWN, 80, 0), at(DOWN, 120, 0),
      at(0, 120, 0)},
     "droite\n"},
    {"right 100 then left 30 is not right",
     {at(0, 0, 0), at(DOWN, 0, 0), at(DOWN, 100, 0), at(DOWN, 70, 0), at(0, 70, 0)},
     "insufficient movement\n"},
    {"travel before the press is not counted",
     {at(0, 0, 0), at(0, 400, 0), at(DOWN, 800, 0), at(0, 800, 0)},
     "insufficient movement\n"},
    {"travel in the release cycle is not counted",
     {at(0, 0, 0), at(DOWN, 0, 0), at(0, 0, 900)},
     "insufficient movement\n"},
    {"a tap shorter than a cycle still counts",
     {at(0, 0, 0), at(TAPPED, 0, 0), at(0, 0, 0)},
     "insufficient movement\n"},
    {"a key held at start presses on the first cycle",
     {at(DOWN, 0, 0), at(DOWN, 0, 300), at(0, 0, 300)},
     "bas\n"},
    {"an unreadable cursor adds nothing and keeps the previous position",
     {at(0, 0, 0), at(DOWN, 0, 0), blind(DOWN), at(DOWN, 300, 0), at(0, 300, 0)},
     "droite\n"},
    {"an unreadable cursor at the press keeps the last stored position",
     {at(0, 0, 0), at(0, 50, 0), blind(DOWN), at(DOWN, 350, 0), at(0, 350, 0)},
     "droite\n"},
    {"two gestures, sums zeroed between",
     {at(0, 0, 0), at(DOWN, 0, 0), at(DOWN, 0, 300), at(0, 0, 300), at(DOWN, 0, 300),
      at(DOWN, 300, 300), at(0, 300, 300)},
     "bas\ndroite\n"},
    {"a button held during the stroke makes it a drag",
     {at(0, 0, 0), at(DOWN, 0, 0), with(at(DOWN, 300, 0), LEFT_BUTTON, DOWN), at(0, 300, 0)},
     "drag, no gesture\n"},
    {"a click shorter than a cycle makes it a drag",
     {at(0, 0, 0), at(DOWN, 0, 0), with(at(DOWN, 300, 0), 6, TAPPED), at(DOWN, 300, 0),
      at(0, 300, 0)},
     "drag, no gesture\n"},
    {"a click just before the release makes it a drag",
     {at(0, 0, 0), at(DOWN, 0, 0), at(DOWN, 300, 0), with(at(0, 300, 0), 2, TAPPED)},
     "drag, no gesture\n"},
    {"a button already down at the press makes it a drag",
     {at(0, 0, 0), with(at(DOWN, 0, 0), LEFT_BUTTON, DOWN), at(DOWN, 300, 0), at(0, 300, 0)},
     "drag, no gesture\n"},
    {"a click from before the press does not",
     {at(0, 0, 0), with(at(DOWN, 0, 0), LEFT_BUTTON, TAPPED), at(DOWN, 300, 0), at(0, 300, 0)},
     "droite\n"},
    {"a button after the release is not part of it",
     {at(0, 0, 0), at(DOWN, 0, 0), at(DOWN, 300, 0), at(0, 300, 0),
      with(at(0, 300, 0), LEFT_BUTTON, DOWN)},
     "droite\n"},
    {"a capture key that is a button does not make its own stroke a drag",
     {at(0, 0, 0), at(DOWN, 0, 0), at(DOWN, 0, 300), at(0, 0, 300)},
     "bas\n",
     MIDDLE_BUTTON},
    {"with a button as the key, another button still makes a drag",
     {at(0, 0, 0), at(DOWN, 0, 0), with(at(DOWN, 0, 300), LEFT_BUTTON, DOWN), at(0, 0, 300)},
     "drag, no gesture\n",
     MIDDLE_BUTTON},
    // A click into an elevated window is not seen, but the window comes to
    // the front.
    {"another window in front at the release makes it a drag",
     {in_front(at(0, 0, 0), 7), in_front(at(DOWN, 0, 0), 7), in_front(at(DOWN, 300, 0), 8),
      in_front(at(0, 300, 0), 8)},
     "drag, no gesture\n"},
    // Where the focus follows the pointer the platform tells 0.
    {"a front that does not count at the release leaves a gesture",
     {in_front(at(0, 0, 0), 7), in_front(at(DOWN, 0, 0), 7), in_front(at(DOWN, 300, 0), 7),
      in_front(at(0, 300, 0), 0)},
     "droite\n"},
    {"nor at the press",
     {at(0, 0, 0), at(DOWN, 0, 0), at(DOWN, 300, 0), in_front(at(0, 300, 0), 8)},
     "droite\n"},
    {"a capture key that is a button may bring a window to the front itself",
     {in_front(at(0, 0, 0), 7), in_front(at(DOWN, 0, 0), 7), in_front(at(DOWN, 0, 300), 8),
      in_front(at(0, 0, 300), 8)},
     "bas\n",
     MIDDLE_BUTTON},
};

INSTANTIATE_TEST_SUITE_P(traces, capture_traces, testing::ValuesIn(traces));

TEST_F(capture, cycle_polls_key_then_cursor_then_sleeps)
{
    std::vector<std::string> order;
    stand_in_on_sleep(
        [](void *user) { static_cast<std::vector<std::string> *>(user)->push_back("sleep"); },
        &order);
    long keys = 0;
    long reads = 0;
    for (int i = 0; i < 3; ++i) {
        capture_cycle(context.get());
        order.push_back("k" + std::to_string(stand_in_key_queries() - keys) + "c" +
                        std::to_string(stand_in_cursor_reads() - reads));
        keys = stand_in_key_queries();
        reads = stand_in_cursor_reads();
    }
    // The first cursor poll reads twice (previous position, then current).
    EXPECT_EQ(order, (std::vector<std::string>{"sleep", "k1c2", "sleep", "k1c1", "sleep", "k1c1"}));
}

TEST_F(capture, the_front_window_is_asked_at_the_press_and_the_release_only)
{
    run({in_front(at(0, 0, 0), 7), in_front(at(0, 0, 0), 7), in_front(at(0, 50, 0), 7)});
    EXPECT_EQ(stand_in_foreground_window_queries(), 0) << "idle cycles";
    run({in_front(at(DOWN, 50, 0), 7), in_front(at(DOWN, 90, 0), 7), in_front(at(DOWN, 300, 0), 7),
         in_front(at(0, 300, 0), 7)});
    EXPECT_EQ(stand_in_foreground_window_queries(), 2);
}

TEST_F(capture, first_poll_reports_no_move)
{
    stand_in_set_cursor(700, 300);
    poll_cursor([](std::int32_t, std::int32_t, gesture_context *) { FAIL() << "moved"; },
                context.get());
}

TEST_F(capture, key_code_zero_stops_accumulation)
{
    EXPECT_EQ(run({at(0, 0, 0), at(DOWN, 0, 0), at(DOWN, 500, 500), at(0, 500, 500)}, 0),
              "insufficient movement\n");
    EXPECT_EQ(context->sum_right, 0);
    EXPECT_EQ(context->last_x, 0);
}

TEST_F(capture, key_code_is_read_every_cycle)
{
    stand_in_set_key(17, DOWN);
    stand_in_set_cursor(0, 0);
    captured_output io = capture_output([&] {
        capture_cycle(context.get()); // Ctrl down: press
        stand_in_set_cursor(0, 400);
        capture_cycle(context.get()); // stroke down
        context->key_code.store(16);  // reload switches to Shift
        capture_cycle(context.get()); // Shift is up: release
    });
    EXPECT_EQ(io.out, "bas\n");
}

TEST_F(capture, press_and_release_handlers_are_optional)
{
    stand_in_set_all_keys(DOWN);
    poll_key(17, nullptr, nullptr, context.get());
    stand_in_set_all_keys(0);
    poll_key(17, nullptr, nullptr, context.get());
    SUCCEED() << "null handlers are skipped";
}

TEST_F(capture, sums_saturate_instead_of_overflowing)
{
    context->last_x = INT32_MIN;
    context->sum_right = INT32_MAX - 5;
    on_cursor_move(INT32_MAX, 0, context.get());
    EXPECT_EQ(context->sum_right, INT32_MAX);
    on_cursor_move(INT32_MIN, 0, context.get());
    EXPECT_EQ(context->sum_left, INT32_MAX);
}

TEST_F(capture, bound_gesture_launches_unless_dragged_or_excluded)
{
    const std::vector<cycle> stroke = {at(0, 500, 500), at(DOWN, 500, 500), at(DOWN, 500, 200),
                                       at(0, 500, 200)};
    const std::vector<cycle> drag = {at(0, 500, 500), at(DOWN, 500, 500),
                                     with(at(DOWN, 500, 200), LEFT_BUTTON, DOWN), at(0, 500, 200)};
    store_action(up, "notepad.exe", "readme.txt", context.get());
    EXPECT_EQ(run(stroke), "haut\n -> notepad.exe\n");
    EXPECT_EQ(stand_in_foreground_queries(), 0) << "no exclude line: nobody asks";
    EXPECT_EQ(run(drag), "drag, no gesture\n");

    set_exclude("mstsc.exe", nullptr, context.get());
    set_exclude("NOTEPAD.exe", nullptr, context.get());
    stand_in_set_foreground({"notepad.exe"});
    EXPECT_EQ(run(stroke), "excluded: NOTEPAD.exe\n");
    // Any of the names the desktop gives counts (X11: the class names too).
    stand_in_set_foreground({"python3", "mstsc.exe"});
    EXPECT_EQ(run(stroke), "excluded: mstsc.exe\n");
    stand_in_set_foreground({"notepad.exe.bak"});
    EXPECT_EQ(run(stroke), "haut\n -> notepad.exe\n");
    stand_in_set_foreground({});
    EXPECT_EQ(run(stroke), "haut\n -> notepad.exe\n");

    auto calls = stand_in_shell_calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].program, "notepad.exe");
    EXPECT_EQ(calls[0].parameters, "readme.txt");

    // The keys a binding sends may include the capture key: their echo, a
    // tap in the next cycle, is no new capture.
    store_action(up, "keys: ctrl+c", nullptr, context.get());
    std::vector<cycle> echoed = stroke;
    echoed.push_back(at(TAPPED, 500, 200));
    echoed.push_back(at(0, 500, 200));
    EXPECT_EQ(run(echoed), "haut\n -> keys: ctrl+c\n");
}

// In front of a program with a block, a kind the block binds uses the
// block's binding, another the one for every program; exclude wins.
TEST_F(capture, a_block_of_the_program_in_front_overrides_what_it_binds)
{
    const std::vector<cycle> upward = {at(0, 500, 500), at(DOWN, 500, 500), at(DOWN, 500, 200),
                                       at(0, 500, 200)};
    const std::vector<cycle> rightward = {at(0, 0, 0), at(DOWN, 0, 0), at(DOWN, 300, 0),
                                          at(0, 300, 0)};
    store_action(up, "every.exe", nullptr, context.get());
    store_action(right, "right.exe", nullptr, context.get());
    set_program("notepad.exe", nullptr, context.get());
    set_program("Editor", nullptr, context.get());
    bind_action(up, "keys: ctrl+z", nullptr, context.get());
    stand_in_set_foreground({"NOTEPAD.EXE"});
    std::string out = run(upward) + run(rightward);
    stand_in_set_foreground({"calc.exe"});
    out += run(upward);
    stand_in_set_foreground({"xed", "editor"});
    out += run(upward);
    set_exclude("notepad.exe", nullptr, context.get());
    stand_in_set_foreground({"notepad.exe"});
    out += run(upward);
    EXPECT_EQ(out, "haut\n -> keys: ctrl+z\ndroite\n -> right.exe\nhaut\n -> every.exe\n"
                   "haut\n -> keys: ctrl+z\nexcluded: notepad.exe\n");
    EXPECT_EQ(stand_in_foreground_queries(), 5) << "asked at each press only";
}

TEST_F(capture, a_watcher_hears_the_foreground_at_each_press)
{
    static std::vector<std::string> heard;
    heard.clear();
    watch_presses([](const foreground_program *program) {
        heard.push_back(program->count != 0 ? program->names[0] : "?");
    });
    run({at(0, 0, 0), at(DOWN, 0, 0), at(0, 0, 0)});
    stand_in_set_foreground({"xterm", "XTerm"});
    run({at(DOWN, 0, 0), at(DOWN, 0, 9), at(0, 0, 0)});
    EXPECT_EQ(heard, (std::vector<std::string>{"?", "xterm"}));
}

std::vector<std::string> heard;

std::string point(const char *what, std::int32_t x, std::int32_t y)
{
    return std::string(what) + " " + std::to_string(x) + "," + std::to_string(y);
}

const stroke_view recorder = {
    [](std::int32_t x, std::int32_t y) { heard.push_back(point("begin", x, y)); },
    [](std::int32_t x, std::int32_t y) { heard.push_back(point("move", x, y)); },
    [](const char *outcome) { heard.push_back(std::string("end ") + outcome); },
};

TEST_F(capture, a_view_hears_each_stroke_and_what_it_printed_before_the_launch)
{
    heard.clear();
    store_action(up, "notepad.exe", "", context.get());
    stand_in_on_shell([](const char *, const char *, void *) { heard.push_back("shell"); },
                      nullptr);
    EXPECT_EQ(run({at(0, 500, 500), at(DOWN, 500, 500), at(DOWN, 500, 200), at(0, 500, 200)}),
              "haut\n -> notepad.exe\n");
    EXPECT_EQ(heard, std::vector<std::string>{"shell"}) << "no view: nothing told";

    heard.clear();
    watch_strokes(&recorder);
    set_exclude("xterm", nullptr, context.get());
    std::string out = run(
        {at(0, 500, 500), at(DOWN, 500, 500), at(DOWN, 500, 400), at(DOWN, 500, 200),
         at(0, 500, 200), at(DOWN, 0, 0), with(at(DOWN, 300, 0), LEFT_BUTTON, DOWN), at(0, 300, 0),
         at(DOWN, 300, 0), at(0, 300, 0), at(DOWN, 0, 0), at(DOWN, 4, -4), at(DOWN, -4, 4),
         at(0, 0, 0), at(DOWN, 0, 0), at(DOWN, 3, 0), at(DOWN, 0, 5), at(DOWN, 0, 9), at(0, 0, 9)});
    stand_in_set_foreground({"XTerm"});
    out += run({at(DOWN, 0, 0), at(DOWN, 300, 0), at(0, 300, 0)});
    EXPECT_EQ(out, "haut\n -> notepad.exe\ndrag, no gesture\ninsufficient movement\n"
                   "insufficient movement\ninsufficient movement\nexcluded: xterm\n");
    // The view begins with the stroke's start once the pointer has left the
    // few pixels around it: a press alone, or with the hand resting on the
    // mouse, tells nothing; nor does a capture over an excluded program.
    EXPECT_EQ(heard,
              (std::vector<std::string>{"begin 500,500", "move 500,400", "move 500,200",
                                        "end haut\n -> notepad.exe\n", "shell", "begin 0,0",
                                        "move 300,0", "end drag, no gesture\n", "begin 0,0",
                                        "move 0,5", "move 0,9", "end insufficient movement\n"}));

    // A view taken at a press hears its capture to the end; one set or
    // cleared meanwhile counts from the next press.
    heard.clear();
    stand_in_set_foreground({});
    run({at(DOWN, 0, 0), at(DOWN, 0, 300)});
    watch_strokes(nullptr);
    run({at(DOWN, 0, 400), at(0, 0, 400), at(DOWN, 0, 400), at(DOWN, 9, 400)});
    watch_strokes(&recorder);
    run({at(0, 9, 400), at(DOWN, 9, 400), at(DOWN, 9, 380), at(0, 9, 380)});
    EXPECT_EQ(heard, (std::vector<std::string>{"begin 0,0", "move 0,300", "move 0,400", "end bas\n",
                                               "begin 9,400", "move 9,380",
                                               "end insufficient movement\n"}));
}

TEST_F(capture, loop_runs_until_the_process_exits)
{
    EXPECT_EXIT(
        {
            stand_in_on_sleep(
                [](void *) {
                    static int cycles = 0;
                    if (++cycles == 5)
                        plat_exit(0);
                },
                nullptr);
            capture_loop(context.get());
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
