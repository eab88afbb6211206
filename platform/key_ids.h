// The keys a binding can press, named the same on every platform; each
// platform maps them to its own codes, in this order.
#pragma once

#include <cstdint>

// A plain modifier is its left key.
enum key_id : std::uint8_t {
    kb_ctrl,
    kb_rctrl,
    kb_alt,
    kb_ralt,
    kb_shift,
    kb_rshift,
    kb_win,
    kb_rwin,
    kb_left,
    kb_right,
    kb_up,
    kb_down,
    kb_home,
    kb_end,
    kb_pageup,
    kb_pagedown,
    kb_insert,
    kb_delete,
    kb_backspace,
    kb_tab,
    kb_enter,
    kb_esc,
    kb_space,
    kb_volumeup,
    kb_volumedown,
    kb_mute,
    kb_playpause,
    kb_nexttrack,
    kb_prevtrack,
    kb_browserback,
    kb_browserforward,
    kb_browserrefresh,
    // Then named by rule: a-z, 0-9, f1-f24.
    kb_a,
    kb_0 = kb_a + 26,
    kb_f1 = kb_0 + 10,
    KEY_ID_COUNT = kb_f1 + 24
};
