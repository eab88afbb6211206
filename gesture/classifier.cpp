#include "gesture/classifier.h"

#include <cstdint>

namespace
{

struct decision_row {
    bool a, c, b, e;
    gesture_kind kind;
};

// First match wins; A: right dominates, C: left, B: up, E: down.
constexpr decision_row decisions[] = {
    {true, false, false, false, right},    {true, false, false, true, down_right},
    {true, false, true, false, up_right},  {false, true, false, false, left},
    {false, true, false, true, down_left}, {false, true, true, false, up_left},
    {false, false, false, true, down},     {false, false, true, false, up},
};

// Truncating division that saturates the one overflowing case.
std::int32_t quotient(std::int32_t value, std::int32_t precision)
{
    if (precision == -1 && value == INT32_MIN)
        return INT32_MAX;
    return value / precision;
}

} // namespace

gesture_kind classify_gesture(std::int32_t right, std::int32_t up, std::int32_t down,
                              std::int32_t left, std::int32_t precision)
{
    const bool a = quotient(right, precision) > left;
    const bool b = quotient(up, precision) > down;
    const bool c = quotient(left, precision) > right;
    const bool e = quotient(down, precision) > up;
    for (const decision_row &row : decisions)
        if (row.a == a && row.c == c && row.b == b && row.e == e)
            return row.kind;

    const bool far_left = quotient(left, precision) != 0;
    const bool far_down = quotient(down, precision) != 0;
    if (far_left)
        return far_down ? other : horizontal;
    return far_down ? vertical : no_gesture;
}
