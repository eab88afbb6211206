// Asking a Wayland desktop which program is in front. No protocol tells an
// ordinary client, but sway (through its i3-compatible IPC), Hyprland
// (through its request socket) and KDE Plasma (through a KWin script that
// reports back over the session bus) do, each its own way.
#pragma once

#include "platform/linux/program_names.h"
#include "platform/platform.h"

struct wayland_window_way {
    // Said by sorvak-check.
    const char *name;
    // Whether this session's desktop is one that tells, from its
    // environment or the session bus, without readying anything.
    bool (*offered)();
    // Readies it on the user-interface thread, at start, and undoes that at
    // the end.
    void (*open)();
    void (*close)();
    // On the capture thread: fills `program`, returns its count.
    int (*foreground)(foreground_program *program);
};

extern const wayland_window_way sway_windows;
extern const wayland_window_way hyprland_windows;
extern const wayland_window_way kwin_windows;
