// The notification-area icon: the program's only visible presence.
#pragma once

#include "shell_common/tray_commands.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdint>

constexpr std::uint32_t TRAY_ICON_ID = 1979;
constexpr UINT WM_TRAY_NOTIFY = 13524;
constexpr WORD IDI_TRAY_ICON = 103;

// Asks the shell to add the icon `record` describes (NIM_ADD). Apart so that
// a test build can link one that refuses at first, as a notification area not
// yet ready does.
BOOL tray_add(NOTIFYICONDATAA *record);

class tray_icon
{
  public:
    void set_window(HWND owner) { window = owner; }
    void set_id(std::uint32_t id) { icon_id = id; }
    // At most 63 characters are kept.
    void set_tip(const char *text) { copy_tip(tip, text); }
    // Adds the icon (again, after the shell restarted); returns whether it is
    // there.
    BOOL show(HINSTANCE instance);
    // Removes the icon added by show.
    BOOL hide();
    // Shows a balloon from the icon: `title` and `text` cut to what the
    // record holds, `icon` one of the NIIF_ values. Returns the shell's
    // success flag; a shell that shows no balloons simply refuses.
    BOOL balloon(const char *title, const char *text, DWORD icon);

    HWND window;
    char tip[TRAY_TIP_SIZE];
    NOTIFYICONDATAA notify;
    std::uint32_t icon_id;
};
