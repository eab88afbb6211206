// Runs a command line on a console and prints, in UTF-8, what that console
// showed (trailing blanks and blank rows at the end left out), then
// "status N". usage: on_console shared|alone DELAY_MS COMMAND_LINE
//   shared: on this helper's console, as from a command prompt;
//   alone:  on a console of its own, as a double-click starts it: after
//           DELAY_MS prints "running" or "ended", reads the console and
//           types Enter there.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

HANDLE open_console(const char *name)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherit, OPEN_EXISTING, 0, nullptr);
}

void print_console_text()
{
    HANDLE screen = open_console("CONOUT$");
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(screen, &info);
    static char text[1 << 16];
    int length = 0;
    int kept = 0; // up to the last row holding something
    for (SHORT row = 0; row <= info.dwCursorPosition.Y && length < 65000; ++row) {
        wchar_t cells[256];
        DWORD read = 0;
        DWORD width = info.dwSize.X < 256 ? static_cast<DWORD>(info.dwSize.X) : 256;
        ReadConsoleOutputCharacterW(screen, cells, width, COORD{0, row}, &read);
        while (read != 0 && cells[read - 1] == L' ')
            --read;
        length += WideCharToMultiByte(CP_UTF8, 0, cells, static_cast<int>(read), text + length,
                                      1024, nullptr, nullptr);
        kept = read != 0 ? length + 1 : kept;
        text[length++] = '\n';
    }
    std::fwrite(text, 1, static_cast<std::size_t>(kept), stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4)
        return 2;
    bool alone = std::strcmp(argv[1], "alone") == 0;
    FreeConsole();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!alone) {
        AllocConsole();
        // As a Windows console starts; Wine's may start in the ANSI one.
        SetConsoleOutputCP(GetOEMCP());
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = open_console("CONIN$");
        startup.hStdOutput = startup.hStdError = open_console("CONOUT$");
    }
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, argv[3], nullptr, nullptr, !alone, alone ? CREATE_NEW_CONSOLE : 0,
                        nullptr, nullptr, &startup, &process))
        return 3;
    if (alone) {
        DWORD delay = static_cast<DWORD>(std::atoi(argv[2]));
        bool running = WaitForSingleObject(process.hProcess, delay) == WAIT_TIMEOUT;
        std::fputs(running ? "running\n" : "ended\n", stdout);
        if (!AttachConsole(process.dwProcessId))
            return 4;
        print_console_text();
        INPUT_RECORD enter[2] = {};
        for (INPUT_RECORD &key : enter) {
            key.EventType = KEY_EVENT;
            key.Event.KeyEvent.bKeyDown = &key == enter;
            key.Event.KeyEvent.wRepeatCount = 1;
            key.Event.KeyEvent.wVirtualKeyCode = VK_RETURN;
            key.Event.KeyEvent.uChar.UnicodeChar = L'\r';
        }
        DWORD written = 0;
        WriteConsoleInputW(open_console("CONIN$"), enter, 2, &written);
    }
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)
        return 5;
    if (!alone)
        print_console_text();
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    std::printf("status %lu\n", status);
    return 0;
}
