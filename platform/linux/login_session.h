// The login session the program runs in, followed through logind on the
// system bus. Input read from the devices themselves reaches every session
// on the seat, so it has to stop while another session (another user's, a
// text console) is in front.
#pragma once

#include "platform/linux/input_platform.h"

// Tells `input` whether the session is the active one on its seat, once
// known and at each change, from the default main context's loop. The
// session is $XDG_SESSION_ID, or the one logind gives for the program.
// Without a system bus, logind or such a session nothing is told: the input
// stays as it is.
void follow_login_session(const input_platform &input);
