// Starts a program with its own arguments joined by blanks as an unquoted
// command line, as a scheduled task or a launcher may, and ends with the
// started program's exit status. The standard streams are passed on.
#include <windows.h>

#include <cstdlib>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    static char command_line[32768];
    std::size_t length = 0;
    for (int i = 1; i < __argc; ++i) {
        std::size_t part = std::strlen(__argv[i]);
        if (length + part + 2 > sizeof command_line)
            return 2;
        if (i > 1)
            command_line[length++] = ' ';
        std::memcpy(command_line + length, __argv[i], part + 1);
        length += part;
    }
    if (length == 0)
        return 2;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command_line, nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process))
        return 3;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 3;
    GetExitCodeProcess(process.hProcess, &status);
    return static_cast<int>(status);
}
