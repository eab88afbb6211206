#include "support/replay_cycles.h"

#include "gesture/capture_loop.h"
#include "platform/stand_in/stand_in.h"

captured_output replay_cycles(gesture_context *context, const std::vector<cycle> &trace)
{
    return capture_output([&] {
        for (const cycle &c : trace) {
            stand_in_set_all_keys(c.key);
            stand_in_set_cursor(c.x, c.y, c.readable);
            capture_cycle(context);
        }
    });
}
