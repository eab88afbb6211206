#include "shell/trail_geometry.h"

namespace
{

// Monitors are less than 32768 pixels across, so the products stay within
// 32 bits: a 64-bit division would bring the compiler's helper for it into
// the program.
std::int32_t scale(std::int32_t value, std::int32_t to, std::int32_t from)
{
    // Rounded to the nearest pixel, either side of zero.
    std::int32_t half = from / 2;
    return value < 0 ? -((-value * to + half) / from) : (value * to + half) / from;
}

std::int32_t inside(std::int32_t value, std::int32_t low, std::int32_t high)
{
    return value < low ? low : value >= high ? high - 1 : value;
}

} // namespace

screen_point scale_point(screen_point point, const screen_box &from, const screen_box &to)
{
    std::int32_t width = from.right - from.left;
    std::int32_t height = from.bottom - from.top;
    if (width <= 0 || height <= 0)
        return point;
    return {to.left + scale(inside(point.x, from.left, from.right) - from.left, to.right - to.left,
                            width),
            to.top + scale(inside(point.y, from.top, from.bottom) - from.top, to.bottom - to.top,
                           height)};
}

std::int32_t scale_length(std::int32_t length, const screen_box &from, const screen_box &to)
{
    std::int32_t width = from.right - from.left;
    return width > 0 ? scale(length, to.right - to.left, width) : length;
}

screen_box place_label(screen_point end, std::int32_t width, std::int32_t height,
                       std::int32_t offset, const screen_box &area)
{
    std::int32_t left = end.x + offset;
    std::int32_t top = end.y + offset;
    if (left > area.right - width)
        left = area.right - width;
    if (top > area.bottom - height)
        top = area.bottom - height;
    if (left < area.left)
        left = area.left;
    if (top < area.top)
        top = area.top;
    return {left, top, left + width, top + height};
}
