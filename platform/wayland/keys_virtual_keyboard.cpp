// Keys pressed through the compositor's virtual keyboard (sway, Hyprland,
// labwc, Wayfire): a keyboard of sorvak's own with a keymap of its own, in
// which every key a binding can name has one key, so the layout the user
// types with changes nothing. The compositor takes the modifiers from what
// the keyboard says, not from its keys: they are said after each one.
#include "platform/wayland/wayland_keys.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "platform/linux/key_keysyms.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>

namespace
{

// The evdev codes of the keys not named by rule, in key_id order.
constexpr std::uint16_t NAMED_CODES[] = {
    KEY_LEFTCTRL,   KEY_RIGHTCTRL, KEY_LEFTALT,   KEY_RIGHTALT, KEY_LEFTSHIFT,    KEY_RIGHTSHIFT,
    KEY_LEFTMETA,   KEY_RIGHTMETA, KEY_LEFT,      KEY_RIGHT,    KEY_UP,           KEY_DOWN,
    KEY_HOME,       KEY_END,       KEY_PAGEUP,    KEY_PAGEDOWN, KEY_INSERT,       KEY_DELETE,
    KEY_BACKSPACE,  KEY_TAB,       KEY_ENTER,     KEY_ESC,      KEY_SPACE,        KEY_VOLUMEUP,
    KEY_VOLUMEDOWN, KEY_MUTE,      KEY_PLAYPAUSE, KEY_NEXTSONG, KEY_PREVIOUSSONG, KEY_BACK,
    KEY_FORWARD,    KEY_REFRESH,
};
static_assert(sizeof NAMED_CODES / sizeof NAMED_CODES[0] == kb_a, "a code for each named key");

constexpr std::uint16_t LETTER_CODES[26] = {
    KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I, KEY_J, KEY_K, KEY_L, KEY_M,
    KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R, KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z,
};
constexpr std::uint16_t F_CODES[24] = {
    KEY_F1,  KEY_F2,  KEY_F3,  KEY_F4,  KEY_F5,  KEY_F6,  KEY_F7,  KEY_F8,
    KEY_F9,  KEY_F10, KEY_F11, KEY_F12, KEY_F13, KEY_F14, KEY_F15, KEY_F16,
    KEY_F17, KEY_F18, KEY_F19, KEY_F20, KEY_F21, KEY_F22, KEY_F23, KEY_F24,
};

std::uint16_t evdev_code(key_id key)
{
    if (key < kb_a)
        return NAMED_CODES[key];
    if (key < kb_0)
        return LETTER_CODES[key - kb_a];
    if (key < kb_f1)
        return key == kb_0 ? KEY_0 : static_cast<std::uint16_t>(KEY_1 + (key - kb_0 - 1));
    return F_CODES[key - kb_f1];
}

// The real modifiers of an XKB keymap, by their fixed indices: Shift 0,
// Control 2, Mod1 3 (Alt), Mod4 6 (Super).
std::uint32_t modifier_of(key_id key)
{
    switch (key) {
    case kb_shift:
    case kb_rshift:
        return 1u << 0;
    case kb_ctrl:
    case kb_rctrl:
        return 1u << 2;
    case kb_alt:
    case kb_ralt:
        return 1u << 3;
    case kb_win:
    case kb_rwin:
        return 1u << 6;
    default:
        return 0;
    }
}

// XKB keycodes are evdev codes plus 8.
std::string keymap_text()
{
    std::string codes;
    std::string symbols;
    std::string modifiers[4];
    const char *modifier_names[4] = {"Shift", "Control", "Mod1", "Mod4"};
    for (int id = 0; id < KEY_ID_COUNT; ++id) {
        auto key = static_cast<key_id>(id);
        std::string name = "<K" + std::to_string(evdev_code(key) + 8) + ">";
        codes += "    " + name + " = " + std::to_string(evdev_code(key) + 8) + ";\n";
        char keysym[64];
        xkb_keysym_get_name(static_cast<xkb_keysym_t>(keysyms_of(key).first), keysym,
                            sizeof keysym);
        if (key >= kb_a && key < kb_0) {
            char upper[64];
            xkb_keysym_get_name(
                xkb_keysym_to_upper(static_cast<xkb_keysym_t>(keysyms_of(key).first)), upper,
                sizeof upper);
            symbols += "    key " + name + " { type = \"ALPHABETIC\", [ " + keysym + ", " + upper +
                       " ] };\n";
        } else {
            symbols += "    key " + name + " { [ " + keysym + " ] };\n";
        }
        std::uint32_t modifier = modifier_of(key);
        int index = modifier == 1u   ? 0
                    : modifier == 4u ? 1
                    : modifier == 8u ? 2
                    : modifier       ? 3
                                     : -1;
        if (index >= 0)
            modifiers[index] += (modifiers[index].empty() ? "" : ", ") + name;
    }
    for (int i = 0; i < 4; ++i)
        symbols +=
            std::string("    modifier_map ") + modifier_names[i] + " { " + modifiers[i] + " };\n";
    return "xkb_keymap {\n  xkb_keycodes \"sorvak\" {\n    minimum = 8;\n    maximum = 255;\n" +
           codes +
           "  };\n  xkb_types \"sorvak\" { include \"complete\" };\n"
           "  xkb_compatibility \"sorvak\" { include \"complete\" };\n"
           "  xkb_symbols \"sorvak\" {\n" +
           symbols + "  };\n};\n";
}

struct found_globals {
    wl_seat *seat = nullptr;
    zwp_virtual_keyboard_manager_v1 *manager = nullptr;
};

void on_global(void *data, wl_registry *registry, std::uint32_t name, const char *interface,
               std::uint32_t)
{
    auto *found = static_cast<found_globals *>(data);
    if (found->seat == nullptr && std::strcmp(interface, wl_seat_interface.name) == 0)
        found->seat =
            static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (found->manager == nullptr &&
             std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        found->manager = static_cast<zwp_virtual_keyboard_manager_v1 *>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
}

void on_global_remove(void *, wl_registry *, std::uint32_t) {}

const wl_registry_listener REGISTRY = {on_global, on_global_remove};

// The compositor's globals, on a new connection; null when there is none.
wl_display *connect(found_globals *found)
{
    wl_display *display = wl_display_connect(nullptr);
    if (display == nullptr)
        return nullptr;
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &REGISTRY, found);
    wl_display_roundtrip(display);
    wl_registry_destroy(registry);
    return display;
}

struct virtual_keyboard {
    wl_display *display = nullptr;
    zwp_virtual_keyboard_v1 *keyboard = nullptr;
    std::uint32_t depressed = 0;
};

// Made on the user-interface thread before the capture thread uses it.
virtual_keyboard made;
std::atomic<bool> ready{false};

bool vk_offered()
{
    found_globals found;
    wl_display *display = connect(&found);
    if (display == nullptr)
        return false;
    bool offered = found.seat != nullptr && found.manager != nullptr;
    wl_display_disconnect(display);
    return offered;
}

bool vk_open()
{
    if (ready.load())
        return true;
    found_globals found;
    wl_display *display = connect(&found);
    if (display == nullptr)
        return false;
    if (found.seat == nullptr || found.manager == nullptr) {
        wl_display_disconnect(display);
        return false;
    }
    std::string keymap = keymap_text();
    int fd = memfd_create("sorvak-keymap", MFD_CLOEXEC);
    bool written = fd >= 0 && write(fd, keymap.c_str(), keymap.size() + 1) ==
                                  static_cast<ssize_t>(keymap.size() + 1);
    if (!written) {
        if (fd >= 0)
            close(fd);
        wl_display_disconnect(display);
        return false;
    }
    made.display = display;
    made.keyboard =
        zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(found.manager, found.seat);
    zwp_virtual_keyboard_v1_keymap(made.keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<std::uint32_t>(keymap.size() + 1));
    close(fd);
    // A compositor that refuses (an unauthorized client) ends the connection.
    if (wl_display_roundtrip(display) < 0) {
        wl_display_disconnect(display);
        made = virtual_keyboard{};
        return false;
    }
    ready.store(true);
    return true;
}

std::uint32_t now_ms()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

int vk_send(key_id key, bool down)
{
    if (!ready.load())
        return 0;
    zwp_virtual_keyboard_v1_key(made.keyboard, now_ms(), evdev_code(key),
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED
                                     : WL_KEYBOARD_KEY_STATE_RELEASED);
    if (std::uint32_t modifier = modifier_of(key)) {
        made.depressed = down ? made.depressed | modifier : made.depressed & ~modifier;
        zwp_virtual_keyboard_v1_modifiers(made.keyboard, made.depressed, 0, 0, 0);
    }
    return wl_display_flush(made.display) >= 0 ? 1 : 0;
}

} // namespace

const wayland_key_way virtual_keyboard_way = {"the compositor's virtual keyboard", vk_offered,
                                              vk_open, vk_send};
