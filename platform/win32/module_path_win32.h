// The running program's path as the system holds it, for what the ANSI form
// cannot name: letters outside the ANSI code page.
#pragma once

// The program's own file path in UTF-16, as a new heap string (std::free),
// or null when the system cannot tell it.
wchar_t *module_path_wide();
