// The shell call of the Windows platform.
#include "platform/platform.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

void plat_shell_open(const char *file, const char *parameters)
{
    // The shell and its extensions need COM, initialised once on each calling
    // thread and kept for its lifetime: a second initialisation only counts
    // up (S_FALSE), so it is undone at once.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (com == S_FALSE)
        CoUninitialize();
    ShellExecuteA(nullptr, nullptr, file, parameters, nullptr, SW_SHOWDEFAULT);
}
