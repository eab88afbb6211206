#include "shell/window_proc.h"

#include "shell_common/tray_commands.h"

HINSTANCE g_instance = nullptr;
HWND g_main_window = nullptr;
gesture_context *g_context_pointer = nullptr;
tray_icon *g_tray = nullptr;
UINT g_taskbar_created = 0;

namespace
{

// Exit and close share this; whichever comes first deletes the icon object.
void remove_tray_and_window(HWND window)
{
    if (g_tray != nullptr) {
        g_tray->hide();
        delete g_tray;
        g_tray = nullptr;
    }
    DestroyWindow(window);
}

// Where the pop-up opens when the cursor cannot be read: the last position
// read, or the screen's top-left corner before any.
POINT last_cursor = {0, 0};

void track_tray_menu(HWND window, HMENU popup)
{
    POINT cursor;
    if (GetCursorPos(&cursor))
        last_cursor = cursor;
    // Without this the menu would stay open after a click elsewhere.
    SetForegroundWindow(window);
    TrackPopupMenu(popup, TPM_RECURSE, last_cursor.x, last_cursor.y, 0, window, nullptr);
}

LRESULT handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam, HMENU popup)
{
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_CLOSE:
        remove_tray_and_window(window);
        return 0;
    case WM_COMMAND:
        if (run_tray_command(LOWORD(wparam), g_context_pointer) == tray_command_quit) {
            remove_tray_and_window(window);
            PostQuitMessage(0);
        }
        return 0;
    case WM_TRAY_NOTIFY:
        if (lparam == WM_RBUTTONDOWN)
            track_tray_menu(window, popup);
        return 0;
    default:
        // A restarted shell has lost the icon: add it again, as at start-up.
        if (message == g_taskbar_created && message != 0) {
            if (g_tray != nullptr)
                g_tray->show(g_instance);
            return 0;
        }
        return DefWindowProcA(window, message, wparam, lparam);
    }
}

} // namespace

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    HMENU menu = LoadMenuA(g_instance, MAKEINTRESOURCEA(IDR_TRAY_MENU));
    if (menu == nullptr)
        return -1;
    HMENU popup = GetSubMenu(menu, 0);
    LRESULT result = -1;
    if (popup != nullptr)
        result = handle_message(window, message, wparam, lparam, popup);
    // Also releases the pop-up, which belongs to the menu.
    DestroyMenu(menu);
    return result;
}
