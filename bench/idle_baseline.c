/* Baselines for the idle CPU of sorvak.exe under Wine. Started plain it only
   sleeps 10 ms in a loop; started with the argument "poll" it also makes the
   two queries of every capture cycle (the capture key's state, then the
   cursor), the least that any program watching them this way can cost. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    const int poll = lstrcmpA(command_line, "poll") == 0;
    volatile LONG sink = 0;
    POINT cursor;
    (void)instance;
    (void)previous;
    (void)show;
    for (;;) {
        if (poll) {
            sink += GetAsyncKeyState(VK_CONTROL);
            if (GetCursorPos(&cursor))
                sink += cursor.x;
        }
        Sleep(10);
    }
}
