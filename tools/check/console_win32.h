// sorvak-check on a console: its ANSI text shown right whatever the
// console's code page, and a window opened by a double-click kept open until
// the text has been read.
#pragma once

// Call before anything is printed. Routes the standard output and error,
// where they are the console, through the console's UTF-16 interface;
// redirected output stays byte for byte. At exit, on every path, waits for
// Enter when the output is a console this program has to itself.
void attach_console();

// The exit needs no wait: the live mode, ended by Ctrl+Break or by closing
// the window.
void no_wait_at_exit();
