// The keysyms of the keys a binding can press, for the ways of sending keys
// that speak keysyms: XTest, through the keyboard map, and the desktop
// portal.
#pragma once

#include "platform/key_ids.h"

// The keysym `key` types, and one to try where the keyboard map has none of
// the first (0: none): the right Alt key of many layouts types AltGr.
struct key_keysyms {
    unsigned long first;
    unsigned long second;
};

key_keysyms keysyms_of(key_id key);
