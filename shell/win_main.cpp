// The Windows desktop entry: conf.txt beside the executable, the hidden main
// window, the tray icon, the capture thread and the message loop.
#include "conf/conf_file.h"
#include "gesture/capture_loop.h"
#include "gesture/gesture_context.h"
#include "platform/platform.h"
#include "shell/one_copy.h"
#include "shell/trail_window.h"
#include "shell/tray_icon.h"
#include "shell/window_proc.h"
#include "shell_common/program_path.h"

#include <windows.h>

#include <cstdlib>
#include <new>

namespace
{

constexpr const char WINDOW_CLASS_NAME[] = "sorvak";
constexpr const char WINDOW_TITLE[] = "sorvak";
constexpr const char TRAY_TIP[] = "sorvak 1.1.8";

// Start-up failures are shown, and reported by the exit status.
int fail(const char *text)
{
    MessageBoxA(nullptr, text, "Error", MB_OK);
    return 1;
}

bool register_window_class(HINSTANCE instance)
{
    WNDCLASSEXA window_class = {};
    window_class.cbSize = sizeof(WNDCLASSEXA);
    window_class.style = CS_DBLCLKS;
    window_class.lpfnWndProc = main_window_proc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.lpszClassName = WINDOW_CLASS_NAME;
    return RegisterClassExA(&window_class) != 0;
}

// Run as administrator, the program hears nothing from the shell or a plain
// later start, which run without, unless it lets their messages through. The
// window's own filter is Windows 7's; Vista has only the process's. Both are
// looked up, as systems before them lack them.
void let_through(HWND window, const UINT *messages, int count)
{
    using window_filter = BOOL(WINAPI *)(HWND, UINT, DWORD, void *);
    using process_filter = BOOL(WINAPI *)(UINT, DWORD);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    // Through the generic function type, which any other may be cast to.
    auto for_window = reinterpret_cast<window_filter>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")));
    auto for_process = reinterpret_cast<process_filter>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "ChangeWindowMessageFilter")));
    for (int i = 0; i < count; ++i) {
        if (messages[i] == 0)
            continue;
        if (for_window != nullptr)
            for_window(window, messages[i], MSGFLT_ALLOW, nullptr);
        else if (for_process != nullptr)
            for_process(messages[i], MSGFLT_ADD);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    g_instance = instance;
    char *command_line = GetCommandLineA();
    // Without a path there is no directory to find conf.txt in.
    char *program_path = find_program_path(command_line);
    if (program_path == nullptr)
        return command_line == nullptr ? 0 : 1;

    // A second copy from this folder would launch every gesture again; it
    // lets the running one say so, and ends.
    if (!claim_folder(&g_second_start)) {
        tell_running_copy(WINDOW_CLASS_NAME, g_second_start);
        return 0;
    }

    g_context_pointer = &g_context;
    init_context(program_path, &g_context);
    load_conf(&g_context);

    if (!register_window_class(instance))
        return fail("Unable to register window class, exiting");
    // The shell broadcasts this when it restarts, with every icon gone.
    g_taskbar_created = RegisterWindowMessageA("TaskbarCreated");
    g_main_window =
        CreateWindowExA(0, WINDOW_CLASS_NAME, WINDOW_TITLE, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 42, 42, nullptr, nullptr, instance, nullptr);
    if (g_main_window == nullptr)
        return fail("Unable to create window, exiting");
    const UINT from_outside[] = {g_taskbar_created, g_second_start};
    let_through(g_main_window, from_outside, 2);

    // Without the icon object the program still captures gestures; it can
    // then be ended only from outside, as the menu is out of reach.
    g_tray = new (std::nothrow) tray_icon;
    if (g_tray != nullptr) {
        g_tray->set_window(g_main_window);
        g_tray->set_id(TRAY_ICON_ID);
        g_tray->set_tip(TRAY_TIP);
        std::atexit(remove_tray_icon_at_exit);
        add_tray_icon(g_main_window);
        announce_conf_problems();
    }

    show_trail(g_context.trail, g_main_window);
    // A thread that cannot start leaves the program running with its icon
    // and no gesture capture.
    plat_start_thread(capture_thread, &g_context);

    MSG message;
    for (;;) {
        BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0)
            break;
        // A failed retrieval would repeat forever; give up instead.
        if (got == -1)
            return 1;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
