// The Windows operations behind platform.h, in their ANSI forms. The shell
// call lives apart (shell_open_win32.cpp) so a dry run can replace it.
#include "platform/platform.h"
#include "platform/win32/module_path_win32.h"

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

int plat_foreground_program(foreground_program *program)
{
    program->count = 0;
    DWORD process_id = 0;
    HWND window = GetForegroundWindow();
    if (window == nullptr || GetWindowThreadProcessId(window, &process_id) == 0)
        return 0;
    // The least access that tells the image's name; an elevated or protected
    // process refuses even that, and is then not excluded.
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
    if (process == nullptr)
        return 0;
    char path[MAX_PATH * 2];
    DWORD size = sizeof path;
    BOOL named = QueryFullProcessImageNameA(process, 0, path, &size);
    CloseHandle(process);
    if (!named)
        return 0;
    const char *name = path;
    for (const char *p = path; *p != '\0'; p = CharNextA(p))
        if (*p == '\\')
            name = p + 1;
    lstrcpynA(program->names[0], name, FOREGROUND_NAME_SIZE);
    program->count = 1;
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

namespace
{

// GetModuleFileName into a buffer that grows until the whole path fits; a
// path is at most 32767 characters, an ANSI one at most twice as many bytes.
template <typename Char, typename Get> Char *module_path(Get get)
{
    for (DWORD size = MAX_PATH; size <= 65536; size *= 2) {
        auto *path = static_cast<Char *>(plat_malloc(size * sizeof(Char)));
        if (path == nullptr)
            return nullptr;
        DWORD length = get(nullptr, path, size);
        if (length != 0 && length < size)
            return path;
        std::free(path);
        if (length == 0)
            return nullptr;
    }
    return nullptr;
}

// The short (8.3) form of the program's path, which stays within ASCII, in
// the ANSI code page; null when the volume keeps no short names for it or it
// still holds a letter the code page lacks.
char *short_module_path()
{
    wchar_t *wide = module_path_wide();
    if (wide == nullptr)
        return nullptr;
    char *path = nullptr;
    DWORD size = GetShortPathNameW(wide, nullptr, 0);
    auto *brief = size != 0 ? static_cast<wchar_t *>(plat_malloc(size * sizeof(wchar_t))) : nullptr;
    DWORD length = brief != nullptr ? GetShortPathNameW(wide, brief, size) : 0;
    if (length != 0 && length < size) {
        BOOL lossy = FALSE;
        int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, brief, -1, nullptr, 0,
                                        nullptr, &lossy);
        path = bytes != 0 && !lossy ? static_cast<char *>(plat_malloc(bytes)) : nullptr;
        if (path != nullptr && WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, brief, -1, path,
                                                   bytes, nullptr, nullptr) == 0) {
            std::free(path);
            path = nullptr;
        }
    }
    std::free(brief);
    std::free(wide);
    return path;
}

} // namespace

wchar_t *module_path_wide()
{
    return module_path<wchar_t>(GetModuleFileNameW);
}

char *plat_executable_path()
{
    char *path = module_path<char>(GetModuleFileNameA);
    if (path != nullptr && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return path;
    // Letters the ANSI code page lacks come back as '?' or a look-alike, and
    // that path names nothing.
    std::free(path);
    return short_module_path();
}
