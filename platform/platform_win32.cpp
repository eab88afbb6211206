// The Windows operations behind platform.h, in their ANSI forms.
#include "platform/platform.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <cstdlib>

std::int16_t plat_key_state(std::int32_t key_code)
{
    return GetAsyncKeyState(key_code);
}

int plat_cursor_pos(std::int32_t *x, std::int32_t *y)
{
    POINT point;
    if (!GetCursorPos(&point))
        return 0;
    *x = point.x;
    *y = point.y;
    return 1;
}

void plat_sleep(std::uint32_t milliseconds)
{
    Sleep(milliseconds);
}

void plat_shell_open(const char *file, const char *parameters)
{
    // Some shell extensions need COM; each calling thread initialises it
    // once and keeps it for its lifetime.
    thread_local bool com_ready = false;
    if (!com_ready) {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        com_ready = true;
    }
    ShellExecuteA(nullptr, nullptr, file, parameters, nullptr, SW_SHOWDEFAULT);
}

void plat_exit(int status)
{
    std::exit(status);
}
