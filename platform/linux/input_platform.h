// The Linux program reads input one of two ways, X11 or the kernel's input
// devices through libinput (Wayland sessions): a table of the operations
// behind platform.h's input calls (key, cursor, pause), one chosen at start.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <cstdio>

// What to tell the user when no input can be read: lines for the standard
// error, a title and a text for a desktop notice.
struct input_problem {
    const char *lines;
    const char *title;
    const char *body;
};

struct input_platform {
    // Named in the word on a capture key it cannot read.
    const char *name;
    bool (*knows_key)(std::int32_t virtual_key);
    // Readies the input on the thread that then starts the capture thread (or
    // runs the capture loop itself). False when no input can be read;
    // `problem` then says why and what to do.
    bool (*open)(input_problem *problem);
    // sorvak-check's lines on what the input can read: the report on `out`,
    // problems on `err`. Returns how many problems it told of.
    int (*report_access)(std::int32_t key_code, std::FILE *out, std::FILE *err);
    std::int16_t (*key_state)(std::int32_t key_code);
    int (*cursor_pos)(std::int32_t *x, std::int32_t *y);
    void (*sleep)(std::uint32_t milliseconds);
    // Ends the capture thread's pause at once (after its shortest length)
    // when it is waiting for input; any thread may call it.
    void (*wake)();
    // Has the capture thread work the capture key out anew at its next query:
    // a reload calls it, so that a key map change nobody announced is taken.
    void (*remap_keys)();
    // Told whether the login session is the one in front of its seat (null
    // when the input does not care: an X server stops its own clients'
    // input when another session takes the seat). Called on the user
    // interface's thread.
    void (*session_active)(bool active);
};

extern const input_platform x11_input;
extern const input_platform libinput_input;

// Whether the session is a Wayland one, from $WAYLAND_DISPLAY and
// $XDG_SESSION_TYPE.
bool wayland_session(const char *wayland_display, const char *session_type);

// The platform for `option`, the value of --input= (null when not given:
// then the session's, libinput for a Wayland one). Null for an option that
// names none.
const input_platform *choose_input_platform(const char *option, const char *wayland_display,
                                            const char *session_type);

// The platform the forwarders of platform.h use from now on (X11 until told
// otherwise). Chosen before the capture thread starts, never changed after.
void use_input_platform(const input_platform *platform);
const input_platform &input_in_use();
