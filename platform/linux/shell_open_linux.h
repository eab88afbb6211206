// What the Linux shell call offers the Linux program besides platform.h.
#pragma once

// Hands `file` to xdg-open whatever it holds, never running it (Edit
// configuration); a failure is said on the standard error.
void open_document(const char *file);
