#include "gesture/classifier.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace
{

struct classify_case {
    std::int32_t r, u, d, l, p;
    gesture_kind expected;
    const char *why;
};

// Every row of the decision table first, then the edge cases.
const classify_case cases[] = {
    {300, 0, 0, 0, 50, right, "A only"},
    {300, 0, 300, 0, 50, down_right, "A and E"},
    {300, 300, 0, 0, 50, up_right, "A and B"},
    {0, 0, 0, 300, 50, left, "C only"},
    {0, 0, 300, 300, 50, down_left, "C and E"},
    {0, 300, 0, 300, 50, up_left, "C and B"},
    {0, 0, 300, 0, 50, down, "E only"},
    {0, 300, 0, 0, 50, up, "B only"},
    {0, 0, 0, 0, 50, no_gesture, "no movement"},
    {50, 0, 0, 0, 50, right, "50 / 50 = 1 > 0"},
    {49, 0, 0, 0, 50, no_gesture, "49 / 50 = 0"},
    {500, 0, 0, 9, 50, right, "10 > 9"},
    {500, 0, 0, 10, 50, no_gesture, "10 > 10 fails, fall-back on L and D"},
    {300, 300, 7, 0, 50, right, "6 > 7 fails for B"},
    {300, 0, 0, 300, 50, horizontal, "both horizontal"},
    {0, 300, 300, 0, 50, vertical, "both vertical"},
    {300, 300, 300, 300, 50, other, "all four"},
    {0, 300, 5, 0, 50, up, "6 > 5"},
    {60, 0, 0, 1, 50, no_gesture, "fall-back ignores R"},
    {1, 0, 0, 60, 50, horizontal, "fall-back reads L"},
    {0, 60, 1, 0, 50, no_gesture, "fall-back ignores U"},
    {0, 1, 60, 0, 50, vertical, "fall-back reads D"},
    {3000, 0, 0, 59, 50, right, "60 > 59"},
    {3000, 0, 0, 60, 50, horizontal, "60 > 60 fails, L / 50 = 1"},
    {3000, 3000, 0, 3000, 50, up, "only B is set"},
    {0, 0, 0, 1, 1, left, "P = 1, any leftward travel"},
    {5, 0, 0, 5, 1, horizontal, "P = 1, balanced"},
    {300, 300, 300, 0, -50, vertical, "negative P: no flag, D / P = -6"},
    {300, 0, 0, 0, -50, no_gesture, "negative P: R never dominates"},
    {0, 0, 0, 300, -50, horizontal, "negative P: L / P = -6"},
    {0, 0, 49, 49, -50, no_gesture, "negative P: under |P|"},
    {0, 0, 50, 50, -50, other, "negative P: at |P|"},
    {INT32_MAX, 0, 0, 0, 50, right, "saturated sum"},
    {INT32_MIN, 0, 0, 0, -1, no_gesture, "the one overflowing quotient saturates"},
};

class classifier : public testing::TestWithParam<classify_case>
{
};

TEST_P(classifier, decides_by_the_table_then_the_fall_back)
{
    const classify_case &c = GetParam();
    EXPECT_EQ(classify_gesture(c.r, c.u, c.d, c.l, c.p), c.expected)
        << "R=" << c.r << " U=" << c.u << " D=" << c.d << " L=" << c.l << " P=" << c.p << ": "
        << c.why;
}

INSTANTIATE_TEST_SUITE_P(cases, classifier, testing::ValuesIn(cases));

} // namespace
