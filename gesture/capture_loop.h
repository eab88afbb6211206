// The capture thread: samples the capture key and the cursor every 10 ms and
// turns each press-move-release into a gesture.
#pragma once

#include "gesture/gesture_context.h"
#include "gesture/launcher.h"

#include <cstdint>

using capture_handler = void (*)(gesture_context *context);
using move_handler = void (*)(std::int32_t x, std::int32_t y, gesture_context *context);
using press_watcher = void (*)(const foreground_program *program);
using point_handler = void (*)(std::int32_t x, std::int32_t y);

// What shows a stroke as it is drawn, told on the capture thread: the
// stroke's start once the pointer has left the few pixels around it, each
// later point while the key is held, and the end with the text the capture
// printed. A capture that never left its start, or that began over an
// excluded program, tells nothing. Any of them may be null. They must return
// at once, without taking the slot lock: the capture does not wait for a
// view.
struct stroke_view {
    point_handler begin;
    point_handler move;
    outcome_handler end;
};

// Thread body: runs capture_cycle forever.
[[noreturn]] void capture_loop(gesture_context *context);
// capture_loop in the shape plat_start_thread takes; `context` is the
// gesture_context.
[[noreturn]] void capture_thread(void *context);

// One cycle: while the key is held, ask for the mouse buttons; poll the key,
// poll the cursor, sleep 10 ms.
void capture_cycle(gesture_context *context);

// Edge detector on one key; either handler may be null.
void poll_key(std::int32_t key_code, capture_handler on_press, capture_handler on_release,
              gesture_context *context);

// Change detector on the cursor. A cycle whose read fails reports nothing and
// keeps the previous position. During a capture that has a view, the view is
// told each new point after `on_move`.
void poll_cursor(move_handler on_move, gesture_context *context);

// Zeroes the sums and anchors the stroke at the current cursor (kept as it
// was if the cursor cannot be read). Decides what the capture can end as:
// nothing when it begins over an excluded program or with a mouse button
// down; otherwise notes the foreground window.
void on_capture_start(gesture_context *context);
// Adds the step to the sums, saturating at INT32_MAX.
void on_cursor_move(std::int32_t x, std::int32_t y, gesture_context *context);
// Prints "excluded: NAME" or "drag, no gesture" for a capture that launches
// nothing, a capture at whose end another window is in front included;
// otherwise classifies the sums and launches, or prints "insufficient
// movement".
void on_capture_end(gesture_context *context);

// Called at each press with the foreground program (its count 0 when it
// cannot be told); null: none. The foreground is asked at a press only when
// there is an exclude line or a watcher.
void watch_presses(press_watcher on_press);

// The view told of each capture from the next press to its release (one
// set meanwhile waits for the next press); null: none, and then nothing of a
// capture is copied or told. Safe to call from any thread.
void watch_strokes(const stroke_view *view);

// The pollers' process-wide state back to its start (key up, first poll, no
// watcher, no view).
void reset_capture_state();
