// The Windows operations behind platform.h, in their ANSI forms. The shell
// call lives apart (shell_open_win32.cpp) so a dry run can replace it.
#include "platform/platform.h"

#include <windows.h>

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
    // A thread that has called the shell is a single-threaded apartment:
    // COM and the shell put windows on it, and programs that broadcast with
    // SendMessage wait until it answers. So the pause dispatches what
    // arrives instead of sleeping deaf.
    const DWORD start = GetTickCount();
    DWORD left = milliseconds;
    for (;;) {
        DWORD woke =
            MsgWaitForMultipleObjectsEx(0, nullptr, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_TIMEOUT)
            return;
        if (woke == WAIT_FAILED) {
            Sleep(left);
            return;
        }
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds)
            return;
        left = milliseconds - elapsed;
    }
}

void plat_exit(int status)
{
    std::exit(status);
}

namespace
{

// Zero-initialised: a slim reader/writer lock needs no set-up.
SRWLOCK slot_lock = SRWLOCK_INIT;

struct thread_start {
    void (*body)(void *);
    void *argument;
};

DWORD WINAPI run_thread(LPVOID block)
{
    thread_start start = *static_cast<thread_start *>(block);
    std::free(block);
    start.body(start.argument);
    return 0;
}

} // namespace

void plat_lock_slots()
{
    AcquireSRWLockExclusive(&slot_lock);
}

void plat_unlock_slots()
{
    ReleaseSRWLockExclusive(&slot_lock);
}

int plat_start_thread(void (*body)(void *), void *argument)
{
    auto *block = static_cast<thread_start *>(plat_malloc(sizeof(thread_start)));
    if (block == nullptr)
        return 0;
    block->body = body;
    block->argument = argument;
    HANDLE thread = CreateThread(nullptr, 0, run_thread, block, 0, nullptr);
    if (thread == nullptr) {
        std::free(block);
        return 0;
    }
    CloseHandle(thread);
    return 1;
}

char *plat_executable_path()
{
    // The buffer grows until the whole path fits; an ANSI path is at most
    // twice the system's 32767-character limit.
    for (DWORD size = MAX_PATH; size <= 65536; size *= 2) {
        char *path = static_cast<char *>(plat_malloc(size));
        if (path == nullptr)
            return nullptr;
        DWORD length = GetModuleFileNameA(nullptr, path, size);
        if (length != 0 && length < size)
            return path;
        std::free(path);
        if (length == 0)
            return nullptr;
    }
    return nullptr;
}
