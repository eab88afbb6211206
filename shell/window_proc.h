// The hidden main window's procedure and the process-wide values it reads,
// each set once by start-up before the first message that uses it.
#pragma once

#include "gesture/gesture_context.h"
#include "shell/tray_icon.h"

#include <windows.h>

constexpr WORD IDR_TRAY_MENU = 104;

extern HINSTANCE g_instance;
extern HWND g_main_window;
extern gesture_context *g_context_pointer;
extern tray_icon *g_tray;
// The shell's "TaskbarCreated" message; 0 when it could not be registered.
extern UINT g_taskbar_created;
// The message a second start from this folder sends; 0 when there is none.
extern UINT g_second_start;

// Adds the tray icon; while the shell refuses (its notification area not yet
// ready at logon), tries again every two seconds for a minute.
void add_tray_icon(HWND window);

// Removes the icon, if still there, as the process ends on another path than
// Exit or a close (a malformed key in a reload ends it at once): the window's
// icon would stay in the notification area until the pointer passed over it.
void remove_tray_icon_at_exit();

// After a load of conf.txt that reported problems, says so in a balloon from
// the icon (once it is there, if it is still being added).
void announce_conf_problems();

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
