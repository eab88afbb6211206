// How a Windows virtual-key code from conf.txt is read from the kernel's
// input devices: the evdev key or button codes that count for it. Pure data,
// so it can be checked without a device.
#pragma once

#include <cstdint>

constexpr int EVDEV_KEY_MAX_CODES = 3;

struct evdev_key {
    // Any of these codes down makes the virtual key down; 0 ends the list.
    std::uint16_t codes[EVDEV_KEY_MAX_CODES];
};

// Fills `key` for `virtual_key`; false when evdev has no equivalent.
bool find_evdev_key(std::int32_t virtual_key, evdev_key *key);
