// How the Linux program asks which program is in front, for exclude lines
// and program blocks: from the X server in an X11 session, from the
// compositor where a Wayland desktop tells (sway, Hyprland, KDE Plasma).
// Chosen at start by the session, whatever the input is read from; the one
// in use answers plat_foreground_program.
#pragma once

#include "platform/platform.h"

struct window_query {
    // How the program in front is asked here, in words (said by
    // sorvak-check); null when it cannot be: `why` then says why in a line.
    const char *(*way)(const char **why);
    // Readies it on the user-interface thread at start, and undoes that at
    // the end.
    void (*open)();
    void (*close)();
    // plat_foreground_program, on the capture thread.
    int (*foreground_program)(foreground_program *program);
};

extern const window_query x11_windows;
extern const window_query wayland_windows;

// The query for the session: Wayland's in a Wayland session
// (wayland_session).
const window_query *choose_window_query(const char *wayland_display, const char *session_type);

// The query plat_foreground_program uses from now on (X11's until told
// otherwise). Chosen before the capture thread starts, never changed after.
void use_window_query(const window_query *query);
const window_query &window_query_in_use();
