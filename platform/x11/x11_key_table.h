// How a Windows virtual-key code from conf.txt is read on an X server: the
// keysyms whose keys count, or the pointer button. Pure data, so it can be
// checked without a display.
#pragma once

#include <cstdint>

constexpr int X11_KEY_MAX_KEYSYMS = 3;

struct x11_key {
    // Any of these keysyms down makes the virtual key down; 0 ends the list.
    unsigned long keysyms[X11_KEY_MAX_KEYSYMS];
    // Pointer button number (1 left, 2 middle, 3 right, 8 and 9 the side
    // buttons), 0 for a keyboard key.
    unsigned button;
};

// Fills `key` for `virtual_key`; false when X11 has no equivalent.
bool find_x11_key(std::int32_t virtual_key, x11_key *key);
