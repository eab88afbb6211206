#include "support/replay_cycles.h"

#include "gesture/capture_loop.h"
#include "platform/stand_in/stand_in.h"

captured_output replay_cycles(gesture_context *context, const std::vector<cycle> &trace)
{
    return capture_output([&] {
        for (const cycle &c : trace) {
            stand_in_clear_keys();
            stand_in_set_key(context->key_code.load(), c.key);
            for (const pressed &button : c.buttons)
                stand_in_set_key(button.code, button.state);
            stand_in_set_cursor(c.x, c.y, c.readable);
            stand_in_set_foreground_window(c.front);
            capture_cycle(context);
        }
    });
}
