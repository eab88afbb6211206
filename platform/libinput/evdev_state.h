// What the input devices' events showed, kept between the capture thread's
// queries: which keys and buttons are down, which were pressed since each
// virtual key's previous query, and a cursor made by adding up the motion.
// Fed plain values, so it can be checked without a device.
#pragma once

#include <cstdint>

// Evdev key and button codes run below this (KEY_CNT).
constexpr int EVDEV_CODES = 0x300;
constexpr int VIRTUAL_KEYS = 256;
// Absolute devices move the cursor as if they spanned a screen this size.
constexpr double NOMINAL_WIDTH = 1920;
constexpr double NOMINAL_HEIGHT = 1080;

struct evdev_state {
    // Whether some device of the seat holds each code down.
    bool down[EVDEV_CODES] = {};
    // Presses seen per code, wrapping, and as they stood at the latest pause.
    std::uint32_t presses[EVDEV_CODES] = {};
    std::uint32_t presses_at_pause[EVDEV_CODES] = {};
    // Pauses so far; per virtual key, the count at its latest query and its
    // codes' presses as that query saw them.
    std::uint32_t pauses = 2;
    std::uint32_t asked_at[VIRTUAL_KEYS] = {};
    std::uint32_t seen_presses[VIRTUAL_KEYS] = {};
    // Some query since the previous pause found its key down or pressed.
    bool busy_since_pause = false;
    // The cursor, in on-screen pixels from an arbitrary origin.
    double x = 0;
    double y = 0;
    // The absolute position the cursor last followed, and whose it was
    // (a device, or a device's touch); null when none.
    const void *absolute_source = nullptr;
    double absolute_x = 0;
    double absolute_y = 0;
};

// A key or button event. `seat_count` is how many devices hold the code down
// after it; only the first device's press counts as a press.
void note_key(evdev_state *state, unsigned code, bool pressed, unsigned seat_count);

// Relative motion, in on-screen pixels.
void note_motion(evdev_state *state, double dx, double dy);

// An absolute position of `source`, on the nominal screen: the cursor moves
// by the difference from that source's previous position. A new source
// (another device, a new touch, a tool coming into proximity) only anchors.
void note_absolute(evdev_state *state, const void *source, double x, double y);
// The source's positions stop (touch lifted, tool out of proximity).
void forget_absolute(evdev_state *state, const void *source);

enum class touch_change { down, motion, up, cancel };

// A touchscreen's touch at `seat_slot`: the first finger on the seat (slot 0)
// moves the cursor as an absolute source of `device`. A touch lifted or
// cancelled ends it, so the next one anchors; `x` and `y` count only for a
// touch down or moving.
void note_touch(evdev_state *state, const void *device, touch_change change, int seat_slot,
                double x, double y);

// The key query's answer for `virtual_key`, Windows-shaped: negative while
// one of its codes is down, bit 0 set when one was pressed since this same
// virtual key's previous query. Other keys' bookkeeping is left alone. A key
// not asked for in a cycle loses its older presses at the pause, so a key
// asked for anew (after a reload, or a button as a capture starts) goes back
// to the previous pause at most.
std::int16_t query_key(evdev_state *state, std::int32_t virtual_key);

// Whether the pause that is starting may wait for input: every key queried
// since the previous pause was up and not pressed. Starts the next cycle.
bool pause_may_wait(evdev_state *state);

// The cursor in whole pixels, kept within the int32 range.
void cursor_position(const evdev_state *state, std::int32_t *x, std::int32_t *y);
