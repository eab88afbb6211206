#include "tools/check/console_win32.h"

#include "conf/text_tools.h"
#include "platform/platform.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

constexpr char PRESS_ENTER[] = "\nPress Enter to close.";
constexpr int RELAY_SIZE = 512;

HANDLE console = nullptr;       // the console the output goes to, or null
bool output_on_console = false; // the report shows there
bool errors_on_console = false;
bool wait_at_exit = true;
HANDLE pipe_read = nullptr;
HANDLE relay_thread = nullptr;

void show(const char *bytes, DWORD length)
{
    wchar_t wide[RELAY_SIZE];
    int count = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(length), wide, RELAY_SIZE);
    DWORD written = 0;
    WriteConsoleW(console, wide, static_cast<DWORD>(count), &written, nullptr);
}

// Shows what the streams write on the console. A character cut between two
// reads (double-byte, or UTF-8 where that is the code page) waits for the
// rest of its bytes.
DWORD WINAPI relay(LPVOID)
{
    char bytes[RELAY_SIZE];
    DWORD kept = 0;
    DWORD got = 0;
    while (ReadFile(pipe_read, bytes + kept, sizeof bytes - kept, &got, nullptr) && got != 0) {
        DWORD length = kept + got;
        auto whole = static_cast<DWORD>(whole_chars(bytes, length, plat_char_size));
        show(bytes, whole);
        kept = length - whole;
        std::memmove(bytes, bytes + whole, kept);
    }
    // What never got its end shows as the system converts it.
    if (kept != 0)
        show(bytes, kept);
    return 0;
}

void finish()
{
    std::fflush(stdout);
    std::fflush(stderr);
    if (relay_thread != nullptr) {
        // Closing the pipe's last writers lets the relay show the rest and end.
        if (output_on_console)
            _close(1);
        if (errors_on_console)
            _close(2);
        WaitForSingleObject(relay_thread, INFINITE);
    }
    DWORD processes[2];
    if (!wait_at_exit || !output_on_console || GetConsoleProcessList(processes, 2) != 1)
        return;
    // Alone on its console: opened by a double-click, whose window closes
    // with the program.
    DWORD written = 0;
    WriteConsoleA(console, PRESS_ENTER, sizeof PRESS_ENTER - 1, &written, nullptr);
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') {
    }
}

bool is_console(HANDLE handle)
{
    DWORD mode;
    return GetConsoleMode(handle, &mode) != 0;
}

} // namespace

void attach_console()
{
    output_on_console = is_console(GetStdHandle(STD_OUTPUT_HANDLE));
    errors_on_console = is_console(GetStdHandle(STD_ERROR_HANDLE));
    if (!output_on_console && !errors_on_console)
        return;
    // A handle of its own: the streams' handles close when they are moved.
    console = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE)
        return;
    std::atexit(finish);

    HANDLE pipe_write;
    if (!CreatePipe(&pipe_read, &pipe_write, nullptr, 0))
        return;
    relay_thread = CreateThread(nullptr, 0, relay, nullptr, 0, nullptr);
    int descriptor = relay_thread != nullptr
                         ? _open_osfhandle(reinterpret_cast<std::intptr_t>(pipe_write), _O_TEXT)
                         : -1;
    if (descriptor == -1) {
        // The streams stay as they are; the relay, if any, ends at once.
        CloseHandle(pipe_write);
        if (relay_thread != nullptr)
            WaitForSingleObject(relay_thread, INFINITE);
        relay_thread = nullptr;
        return;
    }
    if (output_on_console)
        _dup2(descriptor, 1);
    if (errors_on_console)
        _dup2(descriptor, 2);
    _close(descriptor);
    // The runtime buffers streams that are not a console; written through at
    // once, in order, as the console showed them.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stderr, nullptr, _IONBF, 0);
}

void no_wait_at_exit()
{
    wait_at_exit = false;
}
