// One running copy per folder: a copy started from the folder of one that
// runs would capture every stroke a second time. Copies from other folders,
// with their own conf.txt, run side by side.
#pragma once

#include <windows.h>

// Claims the executable's folder for this process until it ends. Returns
// false when a copy from the same folder holds it already; true otherwise,
// also when the folder cannot be told (better two copies than none). Sets
// *message to the message a later start from this folder sends the running
// copy (0 when it could not be registered).
bool claim_folder(UINT *message);

// Posts `message` to every window of class `window_class`; only the copy
// whose folder it was registered for knows it.
void tell_running_copy(const char *window_class, UINT message);
