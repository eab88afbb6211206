// Where the trail window puts things, as plain arithmetic on rectangles, so
// that it is tested without a desktop.
#pragma once

#include <cstdint>

struct screen_point {
    std::int32_t x, y;
};

// Right and bottom excluded, as Windows' RECT.
struct screen_box {
    std::int32_t left, top, right, bottom;
};

// `point`, on the monitor that is `from` in one coordinate space, in the
// space where that monitor is `to`: a DPI-unaware program's pixels to the
// screen's, each monitor scaled by its own factor. A point beyond `from` is
// taken at its edge; an empty `from` leaves the point as it is.
screen_point scale_point(screen_point point, const screen_box &from, const screen_box &to);

// `length` scaled as scale_point scales across the monitor.
std::int32_t scale_length(std::int32_t length, const screen_box &from, const screen_box &to);

// The box of a label `width` by `height` set `offset` below and right of the
// stroke's end, moved back inside `area` (the work area of the monitor
// nearest that end) where it would run over, its top-left corner first.
screen_box place_label(screen_point end, std::int32_t width, std::int32_t height,
                       std::int32_t offset, const screen_box &area);
