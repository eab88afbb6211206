// The Linux program's window query in a Wayland session: the first desktop
// way that this session offers, or none (GNOME, without an extension of its
// own, tells no program).
#include "platform/linux/window_query.h"
#include "platform/wayland/wayland_windows.h"

#include <atomic>

namespace
{

constexpr const char NO_WAY[] = "this Wayland desktop does not tell which program is in front "
                                "(sway, Hyprland and KDE Plasma do)";

const wayland_window_way *const WAYS[] = {&sway_windows, &hyprland_windows, &kwin_windows};

// Chosen on the user-interface thread at start, read by the capture thread.
std::atomic<const wayland_window_way *> chosen{nullptr};

const wayland_window_way *offered_way()
{
    for (const wayland_window_way *way : WAYS)
        if (way->offered())
            return way;
    return nullptr;
}

const char *wayland_way(const char **why)
{
    const wayland_window_way *way = offered_way();
    if (way == nullptr)
        *why = NO_WAY;
    return way != nullptr ? way->name : nullptr;
}

void wayland_open()
{
    const wayland_window_way *way = offered_way();
    if (way != nullptr)
        way->open();
    chosen.store(way);
}

void wayland_close()
{
    if (const wayland_window_way *way = chosen.load())
        way->close();
}

int wayland_foreground(foreground_program *program)
{
    program->count = 0;
    const wayland_window_way *way = chosen.load();
    return way != nullptr ? way->foreground(program) : 0;
}

} // namespace

const window_query wayland_windows = {wayland_way, wayland_open, wayland_close, wayland_foreground};
