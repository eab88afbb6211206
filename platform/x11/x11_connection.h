// The X server connection of the calling thread, shared by the X11 facets
// that the capture thread uses (the input, the program in front): opened as
// it is first asked for, with what the server sent meanwhile taken.
#pragma once

#include <X11/Xlib.h>

// Null when the display cannot be opened (asked again a second later).
Display *x11_thread_display();
