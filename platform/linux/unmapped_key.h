// The Linux program's word on a capture key it cannot read: conf.txt names
// keys by Windows code, and some have nothing to match on X11 or on the
// kernel's input devices.
#pragma once

#include <cstdint>
#include <cstdio>

// Writes one line to `stream` when `key_code` is neither 0 (capture off) nor
// a code the input platform in use knows; returns whether it did.
bool report_unmapped_capture_key(std::int32_t key_code, std::FILE *stream);
