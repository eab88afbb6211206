// Preloaded into the program by a scenario: the X server then seems to lack
// the input extension, as an old or minimal one does, to the program and
// to GTK alike. Every other extension is asked of the real library. It also
// stands for an Xlib before 1.8, which needs XInitThreads before any other
// call in a program that uses it from two threads: a display opened before
// it is said on the standard error.
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstring>

namespace
{

std::atomic<bool> threads_initialised{false};
bool loaded = false;

// Run after the constructors of Xlib, on which this library depends.
__attribute__((constructor)) void on_load()
{
    loaded = true;
}

template <typename Function> Function real(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" Bool XQueryExtension(Display *display, const char *name, int *opcode, int *first_event,
                                int *first_error)
{
    if (std::strcmp(name, "XInputExtension") == 0) {
        *opcode = *first_event = *first_error = 0;
        return False;
    }
    using query = Bool (*)(Display *, const char *, int *, int *, int *);
    static const auto next = real<query>("XQueryExtension");
    return next(display, name, opcode, first_event, first_error);
}

extern "C" Status XInitThreads()
{
    // Xlib 1.8 calls it itself as it loads, before this library is ready;
    // only the program's own call is one an older Xlib would get.
    if (loaded)
        threads_initialised = true;
    static const auto next = real<Status (*)()>("XInitThreads");
    return next();
}

extern "C" Display *XOpenDisplay(const char *name)
{
    if (!threads_initialised)
        std::fputs("XOpenDisplay before XInitThreads\n", stderr);
    static const auto next = real<Display *(*)(const char *)>("XOpenDisplay");
    return next(name);
}
