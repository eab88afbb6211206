// Preloaded into the program by a scenario: the X server then seems to lack
// the input extension, as an old or minimal one does, to the program and
// to GTK alike. Every other extension is asked of the real library.
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <cstring>

extern "C" Bool XQueryExtension(Display *display, const char *name, int *opcode, int *first_event,
                                int *first_error)
{
    if (std::strcmp(name, "XInputExtension") == 0) {
        *opcode = *first_event = *first_error = 0;
        return False;
    }
    using query = Bool (*)(Display *, const char *, int *, int *, int *);
    static const auto real = reinterpret_cast<query>(dlsym(RTLD_NEXT, "XQueryExtension"));
    return real(display, name, opcode, first_event, first_error);
}
