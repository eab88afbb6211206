// Keys pressed through the XTest extension, on the sending thread's own
// connection, with keycodes from the keyboard map as it is at each press, so
// a layout changed meanwhile is followed.
#include "platform/linux/key_keysyms.h"
#include "platform/linux/key_sender.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdio>

namespace
{

struct xtest_connection {
    bool tried = false;
    Display *display = nullptr;
    // The keycode each key was pressed with, for its release.
    KeyCode pressed[KEY_ID_COUNT] = {};

    ~xtest_connection()
    {
        if (display != nullptr)
            XCloseDisplay(display);
    }
};

thread_local xtest_connection xtest;

Display *xtest_display()
{
    if (!xtest.tried) {
        xtest.tried = true;
        xtest.display = XOpenDisplay(nullptr);
        int event_base = 0;
        int error_base = 0;
        int major = 0;
        int minor = 0;
        if (xtest.display != nullptr &&
            !XTestQueryExtension(xtest.display, &event_base, &error_base, &major, &minor)) {
            std::fputs("the X server has no XTest extension: keys cannot be sent\n", stderr);
            XCloseDisplay(xtest.display);
            xtest.display = nullptr;
        }
    }
    return xtest.display;
}

// The key typing `keysym` in the map as it is now, unshifted where it can
// be: level by level, the first group first. 0 when none does.
KeyCode keycode_for(Display *display, unsigned long keysym)
{
    int min_code = 0;
    int max_code = 0;
    XDisplayKeycodes(display, &min_code, &max_code);
    int per_code = 0;
    KeySym *keysyms = XGetKeyboardMapping(display, static_cast<KeyCode>(min_code),
                                          max_code - min_code + 1, &per_code);
    if (keysyms == nullptr)
        return 0;
    KeyCode found = 0;
    for (int level = 0; level < per_code && found == 0; ++level)
        for (int code = min_code; code <= max_code && found == 0; ++code)
            if (keysyms[(code - min_code) * per_code + level] == keysym)
                found = static_cast<KeyCode>(code);
    XFree(keysyms);
    return found;
}

int xtest_send(key_id key, bool down)
{
    Display *display = xtest_display();
    if (display == nullptr)
        return 0;
    KeyCode code = xtest.pressed[key];
    if (down) {
        key_keysyms wanted = keysyms_of(key);
        code = keycode_for(display, wanted.first);
        if (code == 0 && wanted.second != 0)
            code = keycode_for(display, wanted.second);
        if (code == 0) {
            const char *name = XKeysymToString(wanted.first);
            std::fprintf(stderr, "no key in the keyboard map types %s\n",
                         name != nullptr ? name : "?");
            return 0;
        }
        xtest.pressed[key] = code;
    }
    if (code == 0)
        return 0;
    XTestFakeKeyEvent(display, code, down ? True : False, CurrentTime);
    // Processed before the capture thread asks for its key again, so that
    // the echo of a capture key sent here comes first.
    XSync(display, False);
    return 1;
}

const char *xtest_way(const char **)
{
    return "XTest";
}

bool xtest_open(const char **)
{
    return true;
}

} // namespace

const key_sender xtest_keys = {xtest_way, xtest_open, xtest_send};
