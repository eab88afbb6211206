// Sends WM_CLOSE to the running program's hidden window, as the system does
// when a session ends. Exit status 0 when the window was found, 1 otherwise.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    HWND window = FindWindowA("sorvak", "sorvak");
    if (window == nullptr)
        return 1;
    SendMessageA(window, WM_CLOSE, 0, 0);
    return 0;
}
