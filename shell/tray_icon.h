// The notification-area icon: the program's only visible presence.
#pragma once

#include "shell_common/tray_commands.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdint>

constexpr std::uint32_t TRAY_ICON_ID = 1979;
constexpr UINT WM_TRAY_NOTIFY = 13524;
constexpr WORD IDI_TRAY_ICON = 103;

class tray_icon
{
  public:
    void set_window(HWND owner) { window = owner; }
    void set_id(std::uint32_t id) { icon_id = id; }
    // At most 63 characters are kept.
    void set_tip(const char *text) { copy_tip(tip, text); }
    // Adds the icon (again, after the shell restarted); returns the shell's
    // success flag.
    BOOL show(HINSTANCE instance);
    // Removes the icon added by show.
    BOOL hide();

    HWND window;
    char tip[TRAY_TIP_SIZE];
    NOTIFYICONDATAA notify;
    std::uint32_t icon_id;
};
