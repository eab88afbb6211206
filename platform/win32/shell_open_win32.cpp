// The shell call of the Windows platform.
#include "platform/platform.h"
#include "platform/win32/module_path_win32.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <cstdlib>

void plat_shell_open(const char *file, const char *parameters)
{
    // The shell and its extensions need COM, initialised once on each calling
    // thread and kept for its lifetime: a second initialisation only counts
    // up (S_FALSE), so it is undone at once.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (com == S_FALSE)
        CoUninitialize();
    wchar_t *wide_file = inexact_path_wide(file);
    if (wide_file == nullptr) {
        ShellExecuteA(nullptr, nullptr, file, parameters, nullptr, SW_SHOWDEFAULT);
        return;
    }
    // A file in a folder the ANSI code page cannot spell: the wide call, with
    // the parameters converted as the ANSI call would.
    int size = MultiByteToWideChar(CP_ACP, 0, parameters, -1, nullptr, 0);
    auto *wide_parameters =
        size != 0 ? static_cast<wchar_t *>(plat_malloc(size * sizeof(wchar_t))) : nullptr;
    if (wide_parameters != nullptr &&
        MultiByteToWideChar(CP_ACP, 0, parameters, -1, wide_parameters, size) != 0)
        ShellExecuteW(nullptr, nullptr, wide_file, wide_parameters, nullptr, SW_SHOWDEFAULT);
    std::free(wide_parameters);
    std::free(wide_file);
}
