// Keys pressed in the program in front through SendInput. Windows drops
// input meant for a window of a higher integrity level without telling.
#include "platform/platform.h"

#include <windows.h>

namespace
{

// The keys not named by rule, in key_id order.
constexpr BYTE NAMED_KEYS[] = {
    VK_LCONTROL,
    VK_RCONTROL,
    VK_LMENU,
    VK_RMENU,
    VK_LSHIFT,
    VK_RSHIFT,
    VK_LWIN,
    VK_RWIN,
    VK_LEFT,
    VK_RIGHT,
    VK_UP,
    VK_DOWN,
    VK_HOME,
    VK_END,
    VK_PRIOR,
    VK_NEXT,
    VK_INSERT,
    VK_DELETE,
    VK_BACK,
    VK_TAB,
    VK_RETURN,
    VK_ESCAPE,
    VK_SPACE,
    VK_VOLUME_UP,
    VK_VOLUME_DOWN,
    VK_VOLUME_MUTE,
    VK_MEDIA_PLAY_PAUSE,
    VK_MEDIA_NEXT_TRACK,
    VK_MEDIA_PREV_TRACK,
    VK_BROWSER_BACK,
    VK_BROWSER_FORWARD,
    VK_BROWSER_REFRESH,
};
static_assert(sizeof NAMED_KEYS == kb_a, "one code for each named key");

// Those whose scan code carries the extended prefix: the right-hand
// modifiers, the Windows keys, the navigation block and the media keys.
constexpr DWORD EXTENDED =
    ~((1u << kb_ctrl) | (1u << kb_alt) | (1u << kb_shift) | (1u << kb_backspace) | (1u << kb_tab) |
      (1u << kb_enter) | (1u << kb_esc) | (1u << kb_space));

// The virtual key that types a letter or digit in the current layout; the
// key at its place on a US keyboard where the layout types none.
WORD typing_key(char character, WORD otherwise)
{
    SHORT scan = VkKeyScanA(character);
    return scan == -1 ? otherwise : static_cast<WORD>(LOBYTE(scan));
}

} // namespace

int plat_send_key(key_id key, bool down)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    DWORD flags = down ? 0 : KEYEVENTF_KEYUP;
    WORD code;
    if (key < kb_a) {
        code = NAMED_KEYS[key];
        if ((EXTENDED >> key) & 1u)
            flags |= KEYEVENTF_EXTENDEDKEY;
    } else if (key < kb_0) {
        code =
            typing_key(static_cast<char>('a' + (key - kb_a)), static_cast<WORD>('A' + key - kb_a));
    } else if (key < kb_f1) {
        code =
            typing_key(static_cast<char>('0' + (key - kb_0)), static_cast<WORD>('0' + key - kb_0));
    } else {
        code = static_cast<WORD>(VK_F1 + (key - kb_f1));
    }
    input.ki.wVk = code;
    // Programs that read scan codes (games, remote desktops) get one too.
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(code, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = flags;
    return SendInput(1, &input, sizeof input) == 1 ? 1 : 0;
}
