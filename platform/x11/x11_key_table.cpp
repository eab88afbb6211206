#include "platform/x11/x11_key_table.h"

#include <X11/keysym.h>

namespace
{

// A row covers the codes first..last; along a range each keysym steps by one
// (A..Z, 0..9, F1..F24, keypad 0..9).
struct key_row {
    std::int32_t first;
    std::int32_t last;
    unsigned long keysyms[X11_KEY_MAX_KEYSYMS];
    unsigned button;
};

// Windows reports Ctrl, Shift and Alt for either side, Enter for both Enter
// keys, and Alt for AltGr; the 0xA0-0xA5 codes name one side.
constexpr key_row key_rows[] = {
    {0x01, 0x01, {}, 1}, // left button
    {0x02, 0x02, {}, 3}, // right button
    {0x04, 0x04, {}, 2}, // middle button
    {0x05, 0x05, {}, 8}, // first side button
    {0x06, 0x06, {}, 9}, // second side button
    {0x08, 0x08, {XK_BackSpace}, 0},
    {0x09, 0x09, {XK_Tab}, 0},
    {0x0D, 0x0D, {XK_Return, XK_KP_Enter}, 0},
    {0x10, 0x10, {XK_Shift_L, XK_Shift_R}, 0},
    {0x11, 0x11, {XK_Control_L, XK_Control_R}, 0},
    {0x12, 0x12, {XK_Alt_L, XK_Alt_R, XK_ISO_Level3_Shift}, 0},
    {0x13, 0x13, {XK_Pause}, 0},
    {0x14, 0x14, {XK_Caps_Lock}, 0},
    {0x1B, 0x1B, {XK_Escape}, 0},
    {0x20, 0x20, {XK_space}, 0},
    {0x21, 0x21, {XK_Prior, XK_KP_Prior}, 0},
    {0x22, 0x22, {XK_Next, XK_KP_Next}, 0},
    {0x23, 0x23, {XK_End, XK_KP_End}, 0},
    {0x24, 0x24, {XK_Home, XK_KP_Home}, 0},
    {0x25, 0x25, {XK_Left, XK_KP_Left}, 0},
    {0x26, 0x26, {XK_Up, XK_KP_Up}, 0},
    {0x27, 0x27, {XK_Right, XK_KP_Right}, 0},
    {0x28, 0x28, {XK_Down, XK_KP_Down}, 0},
    {0x2C, 0x2C, {XK_Print}, 0},
    {0x2D, 0x2D, {XK_Insert, XK_KP_Insert}, 0},
    {0x2E, 0x2E, {XK_Delete, XK_KP_Delete}, 0},
    {0x30, 0x39, {XK_0}, 0},
    {0x41, 0x5A, {XK_a}, 0},
    {0x5B, 0x5B, {XK_Super_L}, 0},
    {0x5C, 0x5C, {XK_Super_R}, 0},
    {0x5D, 0x5D, {XK_Menu}, 0},
    {0x60, 0x69, {XK_KP_0}, 0},
    {0x6A, 0x6A, {XK_KP_Multiply}, 0},
    {0x6B, 0x6B, {XK_KP_Add}, 0},
    {0x6C, 0x6C, {XK_KP_Separator}, 0},
    {0x6D, 0x6D, {XK_KP_Subtract}, 0},
    {0x6E, 0x6E, {XK_KP_Decimal}, 0},
    {0x6F, 0x6F, {XK_KP_Divide}, 0},
    {0x70, 0x87, {XK_F1}, 0},
    {0x90, 0x90, {XK_Num_Lock}, 0},
    {0x91, 0x91, {XK_Scroll_Lock}, 0},
    {0xA0, 0xA0, {XK_Shift_L}, 0},
    {0xA1, 0xA1, {XK_Shift_R}, 0},
    {0xA2, 0xA2, {XK_Control_L}, 0},
    {0xA3, 0xA3, {XK_Control_R}, 0},
    {0xA4, 0xA4, {XK_Alt_L}, 0},
    {0xA5, 0xA5, {XK_Alt_R, XK_ISO_Level3_Shift}, 0},
};

} // namespace

bool find_x11_key(std::int32_t virtual_key, x11_key *key)
{
    for (const key_row &row : key_rows) {
        if (virtual_key < row.first || virtual_key > row.last)
            continue;
        auto step = static_cast<unsigned long>(virtual_key - row.first);
        for (int i = 0; i < X11_KEY_MAX_KEYSYMS; ++i)
            key->keysyms[i] = row.keysyms[i] != 0 ? row.keysyms[i] + step : 0;
        key->button = row.button;
        return true;
    }
    return false;
}
