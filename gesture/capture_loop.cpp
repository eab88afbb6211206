#include "gesture/capture_loop.h"

#include "gesture/classifier.h"
#include "gesture/launcher.h"
#include "platform/platform.h"

#include <cstdio>

namespace
{

bool key_down = false;
bool first_poll = true;
std::int32_t prev_x = 0;
std::int32_t prev_y = 0;

// The key may stay up for hours while the sums keep growing.
void add_saturated(std::int32_t &sum, std::int64_t amount)
{
    std::int64_t total = static_cast<std::int64_t>(sum) + amount;
    sum = total > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(total);
}

} // namespace

void reset_capture_state()
{
    key_down = false;
    first_poll = true;
    prev_x = 0;
    prev_y = 0;
}

void poll_key(std::int32_t key_code, capture_handler on_press, capture_handler on_release,
              gesture_context *context)
{
    if (plat_key_state(key_code) != 0) {
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
    if (x != prev_x || y != prev_y)
        on_move(x, y, context);
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
    gesture_kind kind = classify_gesture(context->sum_right, context->sum_up, context->sum_down,
                                         context->sum_left, context->precision.load());
    if (kind == no_gesture)
        std::fputs("insufficient movement\n", stdout);
    else
        launch_action(kind, context);
}

void capture_cycle(gesture_context *context)
{
    poll_key(context->key_code.load(), on_capture_start, on_capture_end, context);
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
