#include "shell/window_proc.h"

#include "shell/trail_window.h"
#include "shell_common/conf_notice.h"
#include "shell_common/tray_commands.h"

HINSTANCE g_instance = nullptr;
HWND g_main_window = nullptr;
gesture_context *g_context_pointer = nullptr;
tray_icon *g_tray = nullptr;
UINT g_taskbar_created = 0;
UINT g_second_start = 0;

namespace
{

// The icon's retries after a refused add; given up quietly after the last,
// until the shell announces itself again.
constexpr UINT_PTR ICON_RETRY_TIMER = 1;
constexpr UINT ICON_RETRY_MS = 2000;
constexpr int ICON_RETRIES = 30;
int icon_retries_left = 0;

// Until the icon is first added its balloon cannot show: the latest load's
// notice waits for it. Once shown it is not kept, so an icon added again
// after a shell restart repeats nothing.
bool icon_added = false;
bool notice_waits = false;
conf_notice waiting_notice;

void icon_now_added(HWND window)
{
    KillTimer(window, ICON_RETRY_TIMER);
    icon_added = true;
    if (notice_waits && g_tray != nullptr)
        g_tray->balloon(waiting_notice.title, waiting_notice.body, NIIF_WARNING);
    notice_waits = false;
}

void retry_tray_icon(HWND window)
{
    if (g_tray == nullptr)
        KillTimer(window, ICON_RETRY_TIMER);
    else if (g_tray->show(g_instance))
        icon_now_added(window);
    else if (--icon_retries_left <= 0)
        KillTimer(window, ICON_RETRY_TIMER);
}

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
    // Otherwise, when the window lost the foreground meanwhile (Esc, a click
    // elsewhere), the next menu would close as soon as it opens.
    PostMessageA(window, WM_NULL, 0, 0);
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
        } else if (LOWORD(wparam) == CMD_RELOAD_CONF) {
            announce_conf_problems();
            show_trail(g_context_pointer->trail, window);
        }
        return 0;
    case WM_TRAY_NOTIFY:
        if (lparam == WM_RBUTTONDOWN)
            track_tray_menu(window, popup);
        return 0;
    case WM_TIMER:
        if (wparam != ICON_RETRY_TIMER)
            return DefWindowProcA(window, message, wparam, lparam);
        retry_tray_icon(window);
        return 0;
    default:
        // A restarted shell has lost the icon: add it again, as at start-up.
        if (message == g_taskbar_created && message != 0) {
            add_tray_icon(window);
            return 0;
        }
        if (message == g_second_start && message != 0) {
            if (g_tray != nullptr)
                g_tray->balloon("sorvak", "sorvak is already running", NIIF_INFO);
            return 0;
        }
        return DefWindowProcA(window, message, wparam, lparam);
    }
}

} // namespace

void add_tray_icon(HWND window)
{
    if (g_tray == nullptr)
        return;
    if (g_tray->show(g_instance)) {
        icon_now_added(window);
        return;
    }
    icon_retries_left = ICON_RETRIES;
    SetTimer(window, ICON_RETRY_TIMER, ICON_RETRY_MS, nullptr);
}

void remove_tray_icon_at_exit()
{
    if (g_tray != nullptr)
        g_tray->hide();
}

void announce_conf_problems()
{
    notice_waits = false;
    if (g_tray == nullptr || !latest_conf_notice("sorvak-check.exe", &waiting_notice))
        return;
    // Refused with the icon in place, the shell shows no balloons: nothing
    // more to do.
    if (!g_tray->balloon(waiting_notice.title, waiting_notice.body, NIIF_WARNING))
        notice_waits = !icon_added;
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    // A stroke's points come a hundred a second: they need no menu.
    if (trail_message(message, wparam, lparam))
        return 0;
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
