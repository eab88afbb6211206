#include "shell/trail_geometry.h"

#include <gtest/gtest.h>

namespace
{

bool operator==(const screen_box &a, const screen_box &b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

struct label_case {
    const char *name;
    screen_point end;
    screen_box area;
    screen_box label;
};

// A 60 by 20 label, 16 pixels below and right of the stroke's end.
const label_case label_cases[] = {
    {"room below and right", {100, 100}, {0, 0, 1920, 1040}, {116, 116, 176, 136}},
    {"at the right edge: moved left", {1900, 100}, {0, 0, 1920, 1040}, {1860, 116, 1920, 136}},
    {"above the taskbar, not over it", {500, 1035}, {0, 0, 1920, 1040}, {516, 1020, 576, 1040}},
    {"on a monitor left of the first", {-10, 1020}, {-1280, 0, 0, 1024}, {-60, 1004, 0, 1024}},
    // Beside a taller monitor: the box round both would let it below this one.
    {"on a shorter monitor", {2000, 760}, {1920, 0, 3200, 768}, {2016, 748, 2076, 768}},
    {"a work area smaller than the label: its top-left corner",
     {5, 5},
     {0, 0, 40, 10},
     {0, 0, 60, 20}},
};

class labels : public testing::TestWithParam<label_case>
{
};

TEST_P(labels, stay_in_the_work_area_of_the_monitor)
{
    const label_case &c = GetParam();
    EXPECT_TRUE(place_label(c.end, 60, 20, 16, c.area) == c.label) << c.name;
}

INSTANTIATE_TEST_SUITE_P(placement, labels, testing::ValuesIn(label_cases));

TEST(scaling, takes_each_point_by_its_monitors_factor)
{
    // A 200 % monitor right of a 100 % one, as a DPI-unaware program sees it
    // and as the screen is.
    const screen_box program = {1920, 0, 3840, 1080};
    const screen_box screen = {1920, 0, 5760, 2160};
    screen_point start = scale_point({1920, 0}, program, screen);
    screen_point middle = scale_point({2880, 540}, program, screen);
    screen_point off = scale_point({4000, -5}, program, screen);
    EXPECT_EQ(start.x, 1920);
    EXPECT_EQ(start.y, 0);
    EXPECT_EQ(middle.x, 3840);
    EXPECT_EQ(middle.y, 1080);
    EXPECT_EQ(off.x, 5758) << "beyond the monitor: at its edge";
    EXPECT_EQ(off.y, 0);
    EXPECT_EQ(scale_length(4, program, screen), 8);
    // 150 %: -16.5 rounds away from zero.
    EXPECT_EQ(scale_length(-11, {0, 0, 1280, 720}, {0, 0, 1920, 1080}), -17);
}

} // namespace
