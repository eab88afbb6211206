// A desktop notification through the freedesktop notification service on
// the session bus. Without a bus or a service nothing is shown and nothing is
// said: the notice is a courtesy, never a condition.
#pragma once

#include <cstdint>

// Long enough to read two lines; the server may keep it longer or shorter.
constexpr int NOTICE_MILLISECONDS = 10000;

// Notices that each take the place of the one before, and that the server
// is asked to keep out of its list of past notices (some servers, GNOME
// Shell's among them, keep every notice there whatever its expiry time).
struct notice_series {
    // The server's number for the latest notice; 0 before its answer.
    std::uint32_t latest = 0;
};

// Sends `title` and `body` (any bytes; what is not UTF-8 is replaced) with
// `icon` (a theme name or an absolute file path), asking the server to take
// it away after `milliseconds`. The body is plain text, escaped for a server
// that reads it as markup. With `series` (which must outlive the answer) the
// notice is one of it. Returns at once; needs the GLib main loop running for
// the server's answers.
void show_desktop_notice(const char *title, const char *body, const char *icon,
                         int milliseconds = NOTICE_MILLISECONDS, notice_series *series = nullptr);
