#pragma once

#include "gesture/gesture_context.h"

#include <cstdint>

// The gesture made by the four movement sums, judged with `precision`
// (never 0). Pure: reads nothing else.
gesture_kind classify_gesture(std::int32_t right, std::int32_t up, std::int32_t down,
                              std::int32_t left, std::int32_t precision);
