// platform.h's input operations for the Linux program, forwarded to the
// platform chosen at start.
#include "platform/linux/input_platform.h"

#include "platform/platform.h"

#include <cstring>

namespace
{

const input_platform *in_use = &x11_input;

bool is(const char *text, const char *expected)
{
    return text != nullptr && std::strcmp(text, expected) == 0;
}

} // namespace

const input_platform *choose_input_platform(const char *option, const char *wayland_display,
                                            const char *session_type)
{
    if (option != nullptr)
        return is(option, "x11") ? &x11_input : is(option, "libinput") ? &libinput_input : nullptr;
    // Under Wayland an X11 client sees the input only while it is over
    // XWayland's windows.
    return wayland_session(wayland_display, session_type) ? &libinput_input : &x11_input;
}

bool wayland_session(const char *wayland_display, const char *session_type)
{
    return (wayland_display != nullptr && *wayland_display != '\0') || is(session_type, "wayland");
}

void use_input_platform(const input_platform *platform)
{
    in_use = platform;
}

const input_platform &input_in_use()
{
    return *in_use;
}

std::int16_t plat_key_state(std::int32_t key_code)
{
    return in_use->key_state(key_code);
}

int plat_cursor_pos(std::int32_t *x, std::int32_t *y)
{
    return in_use->cursor_pos(x, y);
}

void plat_sleep(std::uint32_t milliseconds)
{
    in_use->sleep(milliseconds);
}
