#include "platform/libinput/evdev_key_table.h"

#include <linux/input-event-codes.h>

namespace
{

// A row covers the codes first..last; along a range each code steps by one
// (digits 1-9, F1-F10, F13-F24). Evdev codes name a key's place on the
// keyboard, not what the layout prints on it: letters and digits are those of
// a US layout.
struct key_row {
    std::int32_t first;
    std::int32_t last;
    std::uint16_t codes[EVDEV_KEY_MAX_CODES];
};

// The same virtual keys as the X11 table. Windows reports Ctrl, Shift and
// Alt for either side, Enter for both Enter keys and Alt for AltGr; the
// 0xA0-0xA5 codes name one side. The side buttons come as BTN_SIDE/BTN_EXTRA
// from most mice, as BTN_BACK/BTN_FORWARD from some. The keypad's keys count
// as digits only: the devices do not tell whether Num Lock is on.
constexpr key_row key_rows[] = {
    {0x01, 0x01, {BTN_LEFT}},
    {0x02, 0x02, {BTN_RIGHT}},
    {0x04, 0x04, {BTN_MIDDLE}},
    {0x05, 0x05, {BTN_SIDE, BTN_BACK}},
    {0x06, 0x06, {BTN_EXTRA, BTN_FORWARD}},
    {0x08, 0x08, {KEY_BACKSPACE}},
    {0x09, 0x09, {KEY_TAB}},
    {0x0D, 0x0D, {KEY_ENTER, KEY_KPENTER}},
    {0x10, 0x10, {KEY_LEFTSHIFT, KEY_RIGHTSHIFT}},
    {0x11, 0x11, {KEY_LEFTCTRL, KEY_RIGHTCTRL}},
    {0x12, 0x12, {KEY_LEFTALT, KEY_RIGHTALT}},
    {0x13, 0x13, {KEY_PAUSE}},
    {0x14, 0x14, {KEY_CAPSLOCK}},
    {0x1B, 0x1B, {KEY_ESC}},
    {0x20, 0x20, {KEY_SPACE}},
    {0x21, 0x21, {KEY_PAGEUP}},
    {0x22, 0x22, {KEY_PAGEDOWN}},
    {0x23, 0x23, {KEY_END}},
    {0x24, 0x24, {KEY_HOME}},
    {0x25, 0x25, {KEY_LEFT}},
    {0x26, 0x26, {KEY_UP}},
    {0x27, 0x27, {KEY_RIGHT}},
    {0x28, 0x28, {KEY_DOWN}},
    {0x2C, 0x2C, {KEY_SYSRQ, KEY_PRINT}},
    {0x2D, 0x2D, {KEY_INSERT}},
    {0x2E, 0x2E, {KEY_DELETE}},
    {0x30, 0x30, {KEY_0}},
    {0x31, 0x39, {KEY_1}},
    {'A', 'A', {KEY_A}},
    {'B', 'B', {KEY_B}},
    {'C', 'C', {KEY_C}},
    {'D', 'D', {KEY_D}},
    {'E', 'E', {KEY_E}},
    {'F', 'F', {KEY_F}},
    {'G', 'G', {KEY_G}},
    {'H', 'H', {KEY_H}},
    {'I', 'I', {KEY_I}},
    {'J', 'J', {KEY_J}},
    {'K', 'K', {KEY_K}},
    {'L', 'L', {KEY_L}},
    {'M', 'M', {KEY_M}},
    {'N', 'N', {KEY_N}},
    {'O', 'O', {KEY_O}},
    {'P', 'P', {KEY_P}},
    {'Q', 'Q', {KEY_Q}},
    {'R', 'R', {KEY_R}},
    {'S', 'S', {KEY_S}},
    {'T', 'T', {KEY_T}},
    {'U', 'U', {KEY_U}},
    {'V', 'V', {KEY_V}},
    {'W', 'W', {KEY_W}},
    {'X', 'X', {KEY_X}},
    {'Y', 'Y', {KEY_Y}},
    {'Z', 'Z', {KEY_Z}},
    {0x5B, 0x5B, {KEY_LEFTMETA}},
    {0x5C, 0x5C, {KEY_RIGHTMETA}},
    {0x5D, 0x5D, {KEY_COMPOSE}},
    {0x60, 0x60, {KEY_KP0}},
    {0x61, 0x61, {KEY_KP1}},
    {0x62, 0x62, {KEY_KP2}},
    {0x63, 0x63, {KEY_KP3}},
    {0x64, 0x64, {KEY_KP4}},
    {0x65, 0x65, {KEY_KP5}},
    {0x66, 0x66, {KEY_KP6}},
    {0x67, 0x67, {KEY_KP7}},
    {0x68, 0x68, {KEY_KP8}},
    {0x69, 0x69, {KEY_KP9}},
    {0x6A, 0x6A, {KEY_KPASTERISK}},
    {0x6B, 0x6B, {KEY_KPPLUS}},
    {0x6C, 0x6C, {KEY_KPCOMMA}},
    {0x6D, 0x6D, {KEY_KPMINUS}},
    {0x6E, 0x6E, {KEY_KPDOT}},
    {0x6F, 0x6F, {KEY_KPSLASH}},
    {0x70, 0x79, {KEY_F1}},
    {0x7A, 0x7A, {KEY_F11}},
    {0x7B, 0x7B, {KEY_F12}},
    {0x7C, 0x87, {KEY_F13}},
    {0x90, 0x90, {KEY_NUMLOCK}},
    {0x91, 0x91, {KEY_SCROLLLOCK}},
    {0xA0, 0xA0, {KEY_LEFTSHIFT}},
    {0xA1, 0xA1, {KEY_RIGHTSHIFT}},
    {0xA2, 0xA2, {KEY_LEFTCTRL}},
    {0xA3, 0xA3, {KEY_RIGHTCTRL}},
    {0xA4, 0xA4, {KEY_LEFTALT}},
    {0xA5, 0xA5, {KEY_RIGHTALT}},
};

} // namespace

bool find_evdev_key(std::int32_t virtual_key, evdev_key *key)
{
    for (const key_row &row : key_rows) {
        if (virtual_key < row.first || virtual_key > row.last)
            continue;
        auto step = static_cast<std::uint16_t>(virtual_key - row.first);
        for (int i = 0; i < EVDEV_KEY_MAX_CODES; ++i)
            key->codes[i] = row.codes[i] != 0 ? static_cast<std::uint16_t>(row.codes[i] + step) : 0;
        return true;
    }
    return false;
}
