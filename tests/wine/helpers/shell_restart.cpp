// Plays a restart of the shell for the running program: "remove" deletes its
// notification icon as a dying shell loses it, "announce" broadcasts the
// message a restarted shell sends. Exit status 0 when done.
#include <windows.h>

#include <shellapi.h>

#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int)
{
    if (std::strcmp(arguments, "announce") == 0) {
        UINT created = RegisterWindowMessageA("TaskbarCreated");
        return created != 0 && PostMessageA(HWND_BROADCAST, created, 0, 0) ? 0 : 1;
    }
    if (std::strcmp(arguments, "remove") != 0)
        return 2;
    HWND window = FindWindowA("sorvak", "sorvak");
    if (window == nullptr)
        return 1;
    NOTIFYICONDATAA notify = {};
    notify.cbSize = NOTIFYICONDATAA_V1_SIZE;
    notify.hWnd = window;
    notify.uID = 1979;
    return Shell_NotifyIconA(NIM_DELETE, &notify) ? 0 : 1;
}
