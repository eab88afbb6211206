#include "platform/linux/window_query.h"

#include "platform/linux/input_platform.h"

namespace
{

const window_query *in_use = &x11_windows;

} // namespace

const window_query *choose_window_query(const char *wayland_display, const char *session_type)
{
    return wayland_session(wayland_display, session_type) ? &wayland_windows : &x11_windows;
}

void use_window_query(const window_query *query)
{
    in_use = query;
}

const window_query &window_query_in_use()
{
    return *in_use;
}

int plat_foreground_program(foreground_program *program)
{
    return in_use->foreground_program(program);
}

// X11 raw events see every button, and focus-follows-mouse window managers
// are common: a stroke may change the focus without a click.
std::uintptr_t plat_foreground_window()
{
    return 0;
}
