#include "gesture/capture_loop.h"

#include "gesture/classifier.h"
#include "gesture/launcher.h"
#include "platform/platform.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace
{

// The mouse buttons as virtual keys: left, right, middle, the side buttons.
constexpr std::int32_t MOUSE_BUTTONS[] = {1, 2, 4, 5, 6};

press_watcher watcher = nullptr;

// Set by the user-interface thread; taken by the capture thread at a press
// and kept until the release, so a capture is told whole or not at all.
std::atomic<const stroke_view *> view_wanted{nullptr};
const stroke_view *view = nullptr;
// Whether the view has heard the stroke begin; until then, its start.
bool view_begun = false;
// The point the view heard last.
std::int32_t told_x = 0;
std::int32_t told_y = 0;
// How far the pointer must get from the stroke's start, along either axis,
// before the view hears of it: a key pressed for a shortcut, with the hand
// resting on the mouse, shows nothing.
constexpr std::int32_t VIEW_START_DISTANCE = 5;

bool key_down = false;
bool first_poll = true;
// Cycles in which a tap of the capture key alone is taken for the echo of
// keys a binding has just sent, not for a new capture.
int echo_cycles = 0;
std::int32_t prev_x = 0;
std::int32_t prev_y = 0;

// The key may stay up for hours while the sums keep growing.
void add_saturated(std::int32_t &sum, std::int64_t amount)
{
    std::int64_t total = static_cast<std::int64_t>(sum) + amount;
    sum = total > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(total);
}

bool is_mouse_button(std::int32_t key_code)
{
    for (std::int32_t button : MOUSE_BUTTONS)
        if (button == key_code)
            return true;
    return false;
}

// Whether a mouse button other than the capture key went down. Every button
// is asked each time, so that each one's pressed-since flag is consumed. At
// the press only buttons down at that moment count: the flags then tell of
// clicks made before the capture.
bool button_went_down(std::int32_t key_code, bool down_now_only)
{
    bool went_down = false;
    for (std::int32_t button : MOUSE_BUTTONS) {
        if (button == key_code)
            continue;
        std::int16_t state = plat_key_state(button);
        if (down_now_only ? state < 0 : state != 0)
            went_down = true;
    }
    return went_down;
}

// Keeps the foreground program in pressed_over, for the release to choose
// its block, and copies into excluded_by the exclude line naming it, if one
// does. Asked only where an exclude line, a block or a watcher needs it, and
// outside the lock: on X11 that is a few round trips to the server, which a
// reload should not wait for.
bool foreground_excluded(gesture_context *context)
{
    foreground_program &program = context->pressed_over;
    program.count = 0;
    plat_lock_slots();
    bool asked = context->excluded_count != 0 || context->block_count != 0 || watcher != nullptr;
    plat_unlock_slots();
    if (!asked)
        return false;
    program.count = plat_foreground_program(&program);
    if (watcher != nullptr)
        watcher(&program);
    bool excluded = false;
    plat_lock_slots();
    for (int i = 0; i < context->excluded_count && !excluded; ++i)
        for (int n = 0; n < program.count && !excluded; ++n)
            if (same_program_name(context->excluded[i], program.names[n])) {
                std::strncpy(context->excluded_by, context->excluded[i],
                             sizeof context->excluded_by - 1);
                context->excluded_by[sizeof context->excluded_by - 1] = '\0';
                excluded = true;
            }
    plat_unlock_slots();
    return excluded;
}

// Whether (x, y) is still within the few pixels around the stroke's start.
bool near_start(std::int32_t x, std::int32_t y)
{
    std::int64_t dx = static_cast<std::int64_t>(x) - told_x;
    std::int64_t dy = static_cast<std::int64_t>(y) - told_y;
    return dx > -VIEW_START_DISTANCE && dx < VIEW_START_DISTANCE && dy > -VIEW_START_DISTANCE &&
           dy < VIEW_START_DISTANCE;
}

// Out of line, so that a cycle without a view is the same code as before
// there were views. The view begins with the stroke's start once the pointer
// has left it; a point of no length is not told.
__attribute__((noinline)) void tell_move(std::int32_t x, std::int32_t y)
{
    if (!view_begun) {
        if (near_start(x, y))
            return;
        view_begun = true;
        if (view->begin != nullptr)
            view->begin(told_x, told_y);
    }
    if (view->move == nullptr || (x == told_x && y == told_y))
        return;
    told_x = x;
    told_y = y;
    view->move(x, y);
}

} // namespace

void watch_presses(press_watcher on_press)
{
    watcher = on_press;
}

void watch_strokes(const stroke_view *wanted)
{
    view_wanted.store(wanted);
}

void reset_capture_state()
{
    watcher = nullptr;
    view_wanted.store(nullptr);
    view = nullptr;
    view_begun = false;
    key_down = false;
    first_poll = true;
    echo_cycles = 0;
    prev_x = 0;
    prev_y = 0;
}

void poll_key(std::int32_t key_code, capture_handler on_press, capture_handler on_release,
              gesture_context *context)
{
    std::int16_t state = plat_key_state(key_code);
    if (echo_cycles > 0) {
        --echo_cycles;
        if (state == 1)
            state = 0;
    }
    if (state != 0) {
        if (!key_down && on_press != nullptr)
            on_press(context);
        key_down = true;
    } else {
        if (key_down && on_release != nullptr)
            on_release(context);
        key_down = false;
    }
}

void poll_cursor(move_handler on_move, gesture_context *context)
{
    if (first_poll) {
        if (plat_cursor_pos(&prev_x, &prev_y) == 0)
            return;
        first_poll = false;
    }
    std::int32_t x = prev_x;
    std::int32_t y = prev_y;
    if (plat_cursor_pos(&x, &y) == 0)
        return;
    if (x != prev_x || y != prev_y) {
        on_move(x, y, context);
        if (view != nullptr)
            tell_move(x, y);
    }
    prev_x = x;
    prev_y = y;
}

void on_capture_start(gesture_context *context)
{
    context->sum_right = 0;
    context->sum_up = 0;
    context->sum_down = 0;
    context->sum_left = 0;
    std::int32_t x = context->last_x;
    std::int32_t y = context->last_y;
    if (plat_cursor_pos(&x, &y) != 0) {
        context->last_x = x;
        context->last_y = y;
    }
    context->outcome = capture_gesture;
    context->press_foreground = 0;
    std::int32_t key_code = context->key_code.load();
    if (foreground_excluded(context))
        context->outcome = capture_excluded;
    else if (button_went_down(key_code, true))
        context->outcome = capture_drag;
    else if (!is_mouse_button(key_code))
        // A capture key that is a button clicks: it may itself bring the
        // window under the pointer to the front.
        context->press_foreground = plat_foreground_window();
    // An excluded capture is none of the view's business: the program in
    // front may be a game or another desktop.
    view = context->outcome != capture_excluded ? view_wanted.load() : nullptr;
    view_begun = false;
    told_x = context->last_x;
    told_y = context->last_y;
}

void on_cursor_move(std::int32_t x, std::int32_t y, gesture_context *context)
{
    if (context->key_code.load() == 0)
        return;
    std::int64_t dx = static_cast<std::int64_t>(x) - context->last_x;
    if (dx > 0)
        add_saturated(context->sum_right, dx);
    else
        add_saturated(context->sum_left, -dx);
    std::int64_t dy = static_cast<std::int64_t>(y) - context->last_y;
    if (dy > 0)
        add_saturated(context->sum_down, dy);
    else
        add_saturated(context->sum_up, -dy);
    context->last_x = x;
    context->last_y = y;
}

void on_capture_end(gesture_context *context)
{
    outcome_handler told = view != nullptr && view_begun ? view->end : nullptr;
    view = nullptr;
    // Another window came to the front: the user clicked elsewhere, maybe
    // into a window whose clicks this program cannot see.
    if (context->outcome == capture_gesture && context->press_foreground != 0) {
        std::uintptr_t now = plat_foreground_window();
        if (now != 0 && now != context->press_foreground)
            context->outcome = capture_drag;
    }
    if (context->outcome == capture_excluded) {
        std::printf("excluded: %s\n", context->excluded_by);
        if (told != nullptr) {
            char text[OUTCOME_TEXT_SIZE];
            std::snprintf(text, sizeof text, "excluded: %s\n", context->excluded_by);
            told(text);
        }
        return;
    }
    const char *said = nullptr;
    gesture_kind kind = no_gesture;
    if (context->outcome == capture_drag) {
        said = "drag, no gesture\n";
    } else {
        kind = classify_gesture(context->sum_right, context->sum_up, context->sum_down,
                                context->sum_left, context->precision.load());
        if (kind == no_gesture)
            said = "insufficient movement\n";
    }
    if (said == nullptr) {
        if (launch_action(kind, context, told))
            echo_cycles = 2;
        return;
    }
    std::fputs(said, stdout);
    if (told != nullptr)
        told(said);
}

void capture_cycle(gesture_context *context)
{
    std::int32_t key_code = context->key_code.load();
    // Only while the key is held, so an idle cycle stays two queries; before
    // the key's poll, so a click just before the release still counts.
    if (key_down && context->outcome == capture_gesture && button_went_down(key_code, false))
        context->outcome = capture_drag;
    poll_key(key_code, on_capture_start, on_capture_end, context);
    poll_cursor(on_cursor_move, context);
    plat_sleep(10);
}

void capture_loop(gesture_context *context)
{
    for (;;)
        capture_cycle(context);
}

void capture_thread(void *context)
{
    capture_loop(static_cast<gesture_context *>(context));
}
