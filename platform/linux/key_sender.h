// The Linux program presses the keys of a keys binding one of several ways,
// chosen at start by the session: XTest on an X11 display; in a Wayland
// session the compositor's virtual keyboard where it offers one, else the
// desktop's RemoteDesktop portal. A table of each way's operations; the one
// in use answers plat_send_key.
#pragma once

#include "platform/key_ids.h"

struct key_sender {
    // How keys would be sent here, in words (said by sorvak-check), found
    // without readying anything; null when they cannot be, `why` then says
    // why in a line.
    const char *(*way)(const char **why);
    // Readies the way on the user-interface thread, after a load that has a
    // keys binding (a way may ask the user once). False when keys cannot be
    // sent in this session: `why` then says why, in a line.
    bool (*open)(const char **why);
    // plat_send_key, on the capture thread.
    int (*send)(key_id key, bool down);
};

extern const key_sender xtest_keys;
extern const key_sender wayland_keys;

// The way for the session: Wayland's in a Wayland session
// (wayland_session).
const key_sender *choose_key_sender(const char *wayland_display, const char *session_type);

// The way plat_send_key uses from now on (XTest until told otherwise).
// Chosen before the capture thread starts, never changed after.
void use_key_sender(const key_sender *sender);
const key_sender &key_sender_in_use();
