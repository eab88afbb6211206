// A plain white window at (100, 150), 800 by 400 pixels, that appends the
// screen position of each left click it receives, one line each, to
// count_clicks.log beside the executable: what a click that should pass
// through another window reaches.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace
{

char log_path[MAX_PATH + 32];

void record_click(HWND window, LPARAM position)
{
    POINT point = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    ClientToScreen(window, &point);
    char line[32];
    int length = std::snprintf(line, sizeof line, "%ld %ld\r\n", point.x, point.y);
    HANDLE file = CreateFileA(log_path, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_LBUTTONDOWN) {
        record_click(window, lparam);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    DWORD length = GetModuleFileNameA(nullptr, log_path, MAX_PATH);
    char *slash = std::strrchr(log_path, '\\');
    if (length == 0 || length >= MAX_PATH || slash == nullptr)
        return 1;
    std::strcpy(slash + 1, "count_clicks.log");
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    window_class.lpszClassName = "count clicks";
    if (RegisterClassA(&window_class) == 0)
        return 1;
    if (CreateWindowExA(0, "count clicks", "count clicks", WS_POPUP | WS_VISIBLE, 100, 150, 800,
                        400, nullptr, nullptr, instance, nullptr) == nullptr)
        return 1;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
