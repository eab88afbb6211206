// How the Linux program shows the stroke when conf.txt asks for it (trail =
// 1): drawn over every window on X11; where a program cannot draw over the
// others (a Wayland session), only the capture's outcome, as a desktop
// notice. The capture thread hands each step of a stroke to the GLib main
// loop (an idle callback each) and never waits for it: it keeps its own X11
// connection for the key and the pointer, and the drawing is done on GDK's,
// on the thread that already owns the windows, the label's text and its
// timer.
#pragma once

// One way of showing strokes; every function runs on the user-interface
// thread and any may be null.
struct trail_display {
    // Readies what it draws with; false when it cannot here.
    bool (*open)();
    void (*close)();
    void (*begin)(int x, int y);
    void (*move)(int x, int y);
    // `outcome` is what the capture printed, newlines included.
    void (*end)(const char *outcome);
};

// The line over every window while the key is held, through an
// override-redirect window on the root whose shape follows the stroke and
// which takes no input; then the outcome beside the pointer for a second.
extern const trail_display drawn_trail;
// The outcome alone, as a desktop notice of about a second.
extern const trail_display noticed_trail;

// After each load: shows the strokes from the next press on through
// `display`, or none (null), opening it and closing the one before. Without
// one nothing is made and the capture thread hands nothing over. False when
// `display` could not open: then none is shown.
bool show_trail(const trail_display *display);
