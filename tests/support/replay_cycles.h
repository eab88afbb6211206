// Replays a trace of capture cycles over the stand-in platform.
#pragma once

#include "support/capture_output.h"

#include <cstdint>
#include <vector>

struct pressed {
    std::int32_t code;
    std::int16_t state;
};

// One cycle's samples: the state the capture key reports, and the cursor
// position or a cursor that cannot be read; the keys in `buttons` report
// their own state, every other key is up; `front` is the foreground window
// (0: cannot be told).
struct cycle {
    std::int16_t key;
    std::int32_t x, y;
    bool readable;
    std::vector<pressed> buttons = {};
    std::uintptr_t front = 0;
};

// Runs capture_cycle once for each entry of `trace`, with the standard
// streams captured.
captured_output replay_cycles(gesture_context *context, const std::vector<cycle> &trace);
