// What the X11 platform offers the Linux programs besides platform.h.
#pragma once

// Ends the capture thread's pause at once (after its shortest length) when
// it is waiting for input: a reload that changes the capture key calls it,
// so that a new key already held is seen without waiting for an event.
void wake_capture_thread();

// Has the capture thread work the capture key's keycodes out again at its
// next query: a reload calls it, so that a key map change the server did not
// announce is still taken.
void redo_key_mapping();
