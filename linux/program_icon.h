// The program's icon as the desktop is told it: by the theme name "sorvak"
// when the program runs installed beside its icons (<prefix>/bin/sorvak with
// <prefix>/share/icons/hicolor/...), so a host draws it at the size it wants;
// otherwise by the absolute path of a PNG written for this user at the first
// call, so a program run from its build or a portable folder shows it too.
// The tray uses it; anything else that shows the program's icon should too.
#pragma once

// The icon name or absolute file path. Never null; the text lives as long as
// the process.
const char *program_icon();

// The installed program's icon folder, "<prefix>/share/icons", for hosts that
// do not search that prefix themselves; "" when the icon is a file.
const char *program_icon_theme_path();
