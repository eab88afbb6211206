// A desktop notification through the freedesktop notification service on
// the session bus. Without a bus or a service nothing is shown and nothing is
// said: the notice is a courtesy, never a condition.
#pragma once

// Long enough to read two lines; the server may keep it longer or shorter.
constexpr int NOTICE_MILLISECONDS = 10000;

// Sends `title` and `body` (any bytes; what is not UTF-8 is replaced) with
// `icon` (a theme name or an absolute file path), asking the server to take
// it away after `milliseconds`. The body is plain text, escaped for a server
// that reads it as markup. Returns at once; needs the GLib main loop running
// for the server's answers.
void show_desktop_notice(const char *title, const char *body, const char *icon,
                         int milliseconds = NOTICE_MILLISECONDS);
