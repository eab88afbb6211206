// The running program's path as the system holds it, for what the ANSI form
// cannot name: letters outside the ANSI code page.
#pragma once

// The program's own file path in UTF-16, as a new heap string (std::free),
// or null when the system cannot tell it.
wchar_t *module_path_wide();

// `path` in UTF-16 when it lies in the program's folder as
// plat_executable_path spelt it without an exact ANSI or short form: that
// folder as the system holds it, then the rest of `path` from the ANSI code
// page. A new heap string (std::free); null for any other path, which the
// ANSI calls take as it stands.
wchar_t *inexact_path_wide(const char *path);
