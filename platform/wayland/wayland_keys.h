// The ways of pressing keys in a Wayland session, tried in this order by the
// Linux program's Wayland key sender: the compositor's virtual keyboard,
// then the desktop's RemoteDesktop portal.
#pragma once

#include "platform/key_ids.h"

struct wayland_key_way {
    // Said by sorvak-check.
    const char *name;
    // Whether the session offers it, asked without readying anything.
    bool (*offered)();
    // Readies it, on the user-interface thread; false when it cannot be.
    bool (*open)();
    // On the capture thread.
    int (*send)(key_id key, bool down);
};

extern const wayland_key_way virtual_keyboard_way;
extern const wayland_key_way portal_way;
