// A window that takes the foreground and appends each key it receives to
// log_keys.log beside the executable, one line each: '+' pressed or '-'
// released, the virtual key in decimal, '*' for an extended key, then '^'
// and the modifiers held meanwhile (C Ctrl, S Shift, A Alt).
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace
{

char log_path[MAX_PATH + 32];

void record_key(bool down, WPARAM key, LPARAM flags)
{
    char held[4] = {};
    int count = 0;
    if (GetKeyState(VK_CONTROL) < 0)
        held[count++] = 'C';
    if (GetKeyState(VK_SHIFT) < 0)
        held[count++] = 'S';
    if (GetKeyState(VK_MENU) < 0)
        held[count++] = 'A';
    char line[32];
    int length =
        std::snprintf(line, sizeof line, "%c%d%s%s%s\r\n", down ? '+' : '-', static_cast<int>(key),
                      (flags & (1L << 24)) != 0 ? "*" : "", count != 0 ? "^" : "", held);
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
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
        record_key(message == WM_KEYDOWN || message == WM_SYSKEYDOWN, wparam, lparam);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    DWORD length = GetModuleFileNameA(nullptr, log_path, MAX_PATH);
    char *slash = std::strrchr(log_path, '\\');
    if (length == 0 || length >= MAX_PATH || slash == nullptr)
        return 1;
    std::strcpy(slash + 1, "log_keys.log");
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.lpszClassName = "log keys";
    if (RegisterClassA(&window_class) == 0)
        return 1;
    HWND window = CreateWindowExA(0, "log keys", "log keys", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                                  100, 300, 200, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 1;
    SetForegroundWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
