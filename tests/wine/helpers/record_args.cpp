// Appends its own command line, one line per run, to record_args.log beside
// the executable, so a test can see that a bound program really ran and with
// which parameters.
#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return 1;
    char *slash = std::strrchr(path, '\\');
    if (slash == nullptr)
        return 1;
    const char log_name[] = "record_args.log";
    if (static_cast<std::size_t>(slash + 1 - path) + sizeof log_name > sizeof path)
        return 1;
    std::memcpy(slash + 1, log_name, sizeof log_name);

    // Two copies may start on the same gesture: retry while the other holds
    // the file open.
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE file = CreateFileA(path, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            const char *line = GetCommandLineA();
            DWORD written = 0;
            BOOL ok =
                WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
            ok = ok && WriteFile(file, "\r\n", 2, &written, nullptr);
            CloseHandle(file);
            return ok ? 0 : 1;
        }
        Sleep(10);
    }
    return 1;
}
