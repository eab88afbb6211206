#include "platform/libinput/evdev_key_table.h"
#include "platform/libinput/evdev_state.h"
#include "platform/linux/input_platform.h"
#include "platform/linux/unmapped_key.h"
#include "platform/x11/x11_key_table.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace
{

std::set<unsigned> codes_of(std::int32_t virtual_key)
{
    evdev_key key;
    if (!find_evdev_key(virtual_key, &key))
        return {};
    std::set<unsigned> codes;
    for (std::uint16_t code : key.codes)
        if (code != 0)
            codes.insert(code);
    return codes;
}

TEST(evdev_key_table, knows_the_x11_tables_keys_and_maps_them_to_their_codes)
{
    for (std::int32_t code : {-1, 0, 1, 3, 0x11, 0x5E, 0xA5, 0xFF, 0x100, 0x111, INT32_MAX}) {
        x11_key x11;
        evdev_key evdev;
        EXPECT_EQ(find_evdev_key(code, &evdev), find_x11_key(code, &x11)) << "code " << code;
    }
    for (std::int32_t code = 0; code < 256; ++code) {
        x11_key x11;
        EXPECT_EQ(codes_of(code).empty(), !find_x11_key(code, &x11)) << "code " << code;
    }
    const struct {
        std::int32_t virtual_key;
        std::set<unsigned> codes;
    } cases[] = {
        {0x11, {KEY_LEFTCTRL, KEY_RIGHTCTRL}},
        {0xA2, {KEY_LEFTCTRL}},
        {0xA3, {KEY_RIGHTCTRL}},
        {0x12, {KEY_LEFTALT, KEY_RIGHTALT}},
        {0x0D, {KEY_ENTER, KEY_KPENTER}},
        {1, {BTN_LEFT}},
        {2, {BTN_RIGHT}},
        {4, {BTN_MIDDLE}},
        {5, {BTN_SIDE, BTN_BACK}},
        {6, {BTN_EXTRA, BTN_FORWARD}},
        {'A', {KEY_A}},
        {'Q', {KEY_Q}},
        {'Z', {KEY_Z}},
        {'0', {KEY_0}},
        {'1', {KEY_1}},
        {'9', {KEY_9}},
        {0x70, {KEY_F1}},
        {0x79, {KEY_F10}},
        {0x7A, {KEY_F11}},
        {0x7B, {KEY_F12}},
        {0x7C, {KEY_F13}},
        {0x87, {KEY_F24}},
        {0x60, {KEY_KP0}},
        {0x69, {KEY_KP9}},
        {0x2C, {KEY_SYSRQ, KEY_PRINT}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(codes_of(c.virtual_key), c.codes) << "code " << c.virtual_key;
    // Every letter a key of its own.
    std::set<unsigned> letters;
    for (std::int32_t code = 'A'; code <= 'Z'; ++code)
        letters.insert(*codes_of(code).begin());
    EXPECT_EQ(letters.size(), 26u);
}

// One step of a key story: an event (code, pressed, seat count), a query of
// a virtual key with the answer expected, or a pause.
struct step {
    char what; // 'e' event, 'q' query, 'p' pause
    int code;
    bool pressed;
    unsigned seat_count;
    int answer;
};

constexpr int DOWN = INT16_MIN;

step event(int code, bool pressed, unsigned seat_count)
{
    return {'e', code, pressed, seat_count, 0};
}

step query(int virtual_key, int answer)
{
    return {'q', virtual_key, false, 0, answer};
}

const step pause = {'p', 0, false, 0, 0};

TEST(evdev_state, key_queries_answer_down_now_and_pressed_since_that_keys_previous_query)
{
    const struct {
        const char *story;
        std::vector<step> steps;
    } cases[] = {
        {"held",
         {query(0x11, 0), event(KEY_LEFTCTRL, true, 1), query(0x11, DOWN | 1), query(0x11, DOWN),
          event(KEY_LEFTCTRL, false, 0), query(0x11, 0)}},
        {"tap between queries",
         {query(0x11, 0), event(KEY_RIGHTCTRL, true, 1), event(KEY_RIGHTCTRL, false, 0),
          query(0x11, 1), query(0x11, 0)}},
        {"each key its own flag",
         {query(0x11, 0), query(0xA2, 0), query(0xA3, 0), event(KEY_LEFTCTRL, true, 1),
          event(KEY_LEFTCTRL, false, 0), query(0xA2, 1), query(0xA3, 0), query(0x11, 1),
          query(0xA2, 0)}},
        {"a key asked for every cycle keeps its presses across pauses",
         {query(0x11, 0), event(KEY_LEFTCTRL, true, 1), event(KEY_LEFTCTRL, false, 0), pause,
          query(0x11, 1)}},
        {"a key asked for anew goes back to the previous pause at most",
         {event(KEY_LEFTSHIFT, true, 1), event(KEY_LEFTSHIFT, false, 0), pause, query(0x10, 0),
          pause, event(KEY_LEFTSHIFT, true, 1), query(0x10, DOWN | 1)}},
        {"a key left out of a cycle loses its older presses",
         {query(4, 0), pause, event(BTN_MIDDLE, true, 1), event(BTN_MIDDLE, false, 0), pause,
          query(4, 0), event(BTN_MIDDLE, true, 1), event(BTN_MIDDLE, false, 0), pause,
          query(4, 1)}},
        {"two devices hold one key: one press, down until both let go",
         {query(0x11, 0), event(KEY_LEFTCTRL, true, 1), event(KEY_LEFTCTRL, true, 2),
          event(KEY_LEFTCTRL, false, 1), query(0x11, DOWN | 1), event(KEY_LEFTCTRL, false, 0),
          query(0x11, 0)}},
        {"buttons",
         {query(4, 0), query(1, 0), event(BTN_MIDDLE, true, 1), query(1, 0), query(4, DOWN | 1),
          event(BTN_SIDE, true, 1), query(5, DOWN | 1)}},
        {"codes past the table",
         {event(0x2FF, true, 1), event(EVDEV_CODES, true, 1), query(3, 0), query(-1, 0),
          query(0x111, 0)}},
    };
    for (const auto &c : cases) {
        evdev_state state;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const step &s = c.steps[i];
            if (s.what == 'e')
                note_key(&state, static_cast<unsigned>(s.code), s.pressed, s.seat_count);
            else if (s.what == 'p')
                pause_may_wait(&state);
            else
                EXPECT_EQ(query_key(&state, s.code), s.answer) << c.story << ", step " << i;
        }
    }
}

TEST(evdev_state, the_pause_waits_only_after_queries_that_all_found_their_key_up)
{
    evdev_state state;
    EXPECT_TRUE(pause_may_wait(&state)) << "nothing asked yet";
    query_key(&state, 0x11);
    query_key(&state, 1);
    EXPECT_TRUE(pause_may_wait(&state));
    note_key(&state, KEY_LEFTCTRL, true, 1);
    note_key(&state, KEY_LEFTCTRL, false, 0);
    query_key(&state, 0x11); // pressed since: its release is still to be seen
    query_key(&state, 1);
    EXPECT_FALSE(pause_may_wait(&state));
    note_key(&state, BTN_LEFT, true, 1);
    query_key(&state, 1); // down, asked before the key found up
    query_key(&state, 0x11);
    EXPECT_FALSE(pause_may_wait(&state));
    query_key(&state, 0x11);
    EXPECT_TRUE(pause_may_wait(&state)) << "the button held is no longer asked for";
}

TEST(evdev_state, the_cursor_adds_up_motion_and_absolute_differences)
{
    evdev_state state;
    int a = 0;
    int b = 0;
    note_motion(&state, 2.4, -1.2);
    note_motion(&state, 0.4, -0.5);
    note_absolute(&state, &a, 500, 500); // anchors only
    note_absolute(&state, &a, 530, 480);
    note_absolute(&state, &b, 10, 10); // another device anchors
    note_absolute(&state, &b, 15, 12);
    note_absolute(&state, &a, 900, 900); // back to the first: anchors again
    forget_absolute(&state, &a);         // lifted
    note_absolute(&state, &a, 100, 100);
    note_absolute(&state, &a, 101, 99);
    std::int32_t x = 0;
    std::int32_t y = 0;
    cursor_position(&state, &x, &y);
    EXPECT_EQ(x, 3 + 30 + 5 + 1);
    EXPECT_EQ(y, -2 - 20 + 2 - 1);
    note_motion(&state, 1e12, -1e12);
    cursor_position(&state, &x, &y);
    EXPECT_EQ(x, INT32_MAX);
    EXPECT_EQ(y, -INT32_MAX);
}

// A touch that ends, lifted or cancelled, leaves the next one to anchor: only
// the strokes within each touch move the cursor, never the jump between them.
TEST(evdev_state, a_touch_lifted_or_cancelled_lets_the_next_one_anchor)
{
    for (touch_change end : {touch_change::up, touch_change::cancel}) {
        evdev_state state;
        int screen = 0;
        note_touch(&state, &screen, touch_change::down, 0, 100, 100);
        note_touch(&state, &screen, touch_change::motion, 0, 150, 120);
        note_touch(&state, &screen, touch_change::motion, 1, 700, 700); // a second finger
        note_touch(&state, &screen, end, 0, 0, 0);
        note_touch(&state, &screen, touch_change::down, 0, 900, 500);
        note_touch(&state, &screen, touch_change::motion, 0, 910, 495);
        std::int32_t x = 0;
        std::int32_t y = 0;
        cursor_position(&state, &x, &y);
        EXPECT_EQ(x, 50 + 10) << (end == touch_change::up ? "lifted" : "cancelled");
        EXPECT_EQ(y, 20 - 5) << (end == touch_change::up ? "lifted" : "cancelled");
    }
}

TEST(input_platform, is_chosen_by_the_option_then_by_the_session)
{
    const struct {
        const char *option, *wayland_display, *session_type;
        const input_platform *chosen;
    } cases[] = {
        {nullptr, nullptr, nullptr, &x11_input},
        {nullptr, "", "x11", &x11_input},
        {nullptr, "wayland-0", nullptr, &libinput_input},
        {nullptr, nullptr, "wayland", &libinput_input},
        {nullptr, "", "tty", &x11_input},
        {"x11", "wayland-0", "wayland", &x11_input},
        {"libinput", nullptr, "x11", &libinput_input},
        {"", "wayland-0", nullptr, nullptr},
        {"wayland", nullptr, nullptr, nullptr},
    };
    for (const auto &c : cases)
        EXPECT_EQ(choose_input_platform(c.option, c.wayland_display, c.session_type), c.chosen)
            << (c.option ? c.option : "no option") << ", "
            << (c.wayland_display ? c.wayland_display : "no display") << ", "
            << (c.session_type ? c.session_type : "no type");
}

TEST(input_platform, names_itself_in_the_word_on_a_key_it_cannot_read)
{
    for (const input_platform *input : {&libinput_input, &x11_input}) {
        use_input_platform(input);
        std::FILE *stream = std::tmpfile();
        ASSERT_NE(stream, nullptr);
        EXPECT_TRUE(report_unmapped_capture_key(3, stream));
        EXPECT_FALSE(report_unmapped_capture_key(0x11, stream));
        EXPECT_FALSE(report_unmapped_capture_key(0, stream));
        std::rewind(stream);
        char line[128] = {};
        EXPECT_NE(std::fgets(line, sizeof line, stream), nullptr);
        EXPECT_EQ(std::fgetc(stream), EOF);
        std::fclose(stream);
        EXPECT_EQ(std::string(line), std::string("key value 3 has no ") + input->name +
                                         " equivalent, the capture key is never down\n");
    }
}

} // namespace
