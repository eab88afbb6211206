// The Windows operations behind platform.h, in their ANSI forms but for a
// program folder the ANSI code page cannot spell. The shell call lives apart
// (shell_open_win32.cpp) so a dry run can replace it.
#include "platform/platform.h"
#include "platform/utf8.h"
#include "platform/win32/module_path_win32.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

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

namespace
{

// Through the generic function type, which any other may be cast to.
template <typename Function> Function look_up(HMODULE module, const char *name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The image file's path of `process_id` into `path`: Vista's call with the
// least access that tells it, or on XP the older one, whose path begins with
// a device name rather than a drive (only its last part is used). An elevated
// or protected process refuses either, and is then not excluded.
bool image_path(DWORD process_id, char (&path)[MAX_PATH * 2])
{
    using full_name_query = BOOL(WINAPI *)(HANDLE, DWORD, LPSTR, PDWORD);
    using file_name_query = DWORD(WINAPI *)(HANDLE, LPSTR, DWORD);
    auto full_name =
        look_up<full_name_query>(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA");
    file_name_query file_name = nullptr;
    if (full_name == nullptr) {
        // From the system's folder: never a psapi.dll put beside the program.
        char library[MAX_PATH + 16];
        UINT length = GetSystemDirectoryA(library, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return false;
        lstrcpyA(library + length, "\\psapi.dll");
        HMODULE psapi = GetModuleHandleA(library);
        if (psapi == nullptr)
            psapi = LoadLibraryA(library);
        if (psapi != nullptr)
            file_name = look_up<file_name_query>(psapi, "GetProcessImageFileNameA");
        if (file_name == nullptr)
            return false;
    }
    DWORD access =
        full_name != nullptr ? PROCESS_QUERY_LIMITED_INFORMATION : PROCESS_QUERY_INFORMATION;
    HANDLE process = OpenProcess(access, FALSE, process_id);
    if (process == nullptr)
        return false;
    DWORD size = sizeof path;
    bool named = full_name != nullptr ? full_name(process, 0, path, &size) != 0
                                      : file_name(process, path, size) != 0;
    CloseHandle(process);
    return named;
}

} // namespace

int plat_foreground_program(foreground_program *program)
{
    program->count = 0;
    DWORD process_id = 0;
    HWND window = GetForegroundWindow();
    if (window == nullptr || GetWindowThreadProcessId(window, &process_id) == 0)
        return 0;
    char path[MAX_PATH * 2];
    if (!image_path(process_id, path))
        return 0;
    const char *name = path;
    for (const char *p = path; *p != '\0'; p = CharNextA(p))
        if (*p == '\\')
            name = p + 1;
    lstrcpynA(program->names[0], name, FOREGROUND_NAME_SIZE);
    program->count = 1;
    return 1;
}

std::uintptr_t plat_foreground_window()
{
    // Where the active window follows the pointer, a stroke across windows
    // changes it without a click.
    BOOL tracking = FALSE;
    if (SystemParametersInfoA(SPI_GETACTIVEWINDOWTRACKING, 0, &tracking, 0) && tracking)
        return 0;
    return reinterpret_cast<std::uintptr_t>(GetForegroundWindow());
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

// A critical section, which every Windows has; made before main, as the
// lock is only taken once the program runs.
CRITICAL_SECTION slot_lock;
struct slot_lock_maker {
    slot_lock_maker() { InitializeCriticalSection(&slot_lock); }
} make_slot_lock;

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
    EnterCriticalSection(&slot_lock);
}

void plat_unlock_slots()
{
    LeaveCriticalSection(&slot_lock);
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

// `wide` in the ANSI code page as a new heap string, or null when it cannot
// be made. `exact`: also null when a letter has no exact form there (a
// best-fit look-alike could name another folder); otherwise such a letter
// becomes the code page's default character, which no file name holds.
char *ansi_form(const wchar_t *wide, bool exact)
{
    // UTF-8 spells every letter, and refuses the best-fit flag and question.
    bool utf8 = GetACP() == CP_UTF8;
    DWORD flags = utf8 ? (exact ? WC_ERR_INVALID_CHARS : 0) : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    BOOL *ask = exact && !utf8 ? &lossy : nullptr;
    int bytes = WideCharToMultiByte(CP_ACP, flags, wide, -1, nullptr, 0, nullptr, ask);
    if (bytes == 0 || lossy)
        return nullptr;
    auto *text = static_cast<char *>(plat_malloc(bytes));
    if (text != nullptr &&
        WideCharToMultiByte(CP_ACP, flags, wide, -1, text, bytes, nullptr, nullptr) == 0) {
        std::free(text);
        text = nullptr;
    }
    return text;
}

// The exact ANSI form of the short (8.3) form of `wide`, which stays within
// ASCII; null where the volume keeps no short names for it.
char *short_form(const wchar_t *wide)
{
    DWORD size = GetShortPathNameW(wide, nullptr, 0);
    auto *brief = size != 0 ? static_cast<wchar_t *>(plat_malloc(size * sizeof(wchar_t))) : nullptr;
    DWORD length = brief != nullptr ? GetShortPathNameW(wide, brief, size) : 0;
    char *path = length != 0 && length < size ? ansi_form(brief, true) : nullptr;
    std::free(brief);
    return path;
}

// Where the program's folder has no exact ANSI form: the inexact one handed
// out, up to and including its last separator, and the folder as the system
// holds it.
char *inexact_folder = nullptr;
wchar_t *wide_folder = nullptr;

// The inexact form of `wide`, its folder kept to be opened through the wide
// calls.
char *inexact_form(wchar_t *wide)
{
    char *path = ansi_form(wide, false);
    wchar_t *slash = std::wcsrchr(wide, L'\\');
    if (path == nullptr || slash == nullptr)
        return path;
    // Converted letter by letter, the folder's form begins the path's.
    slash[1] = L'\0';
    char *folder = ansi_form(wide, false);
    wchar_t *kept = folder != nullptr ? _wcsdup(wide) : nullptr;
    if (kept == nullptr) {
        std::free(folder);
        return path;
    }
    std::free(inexact_folder);
    std::free(wide_folder);
    inexact_folder = folder;
    wide_folder = kept;
    return path;
}

} // namespace

wchar_t *module_path_wide()
{
    return module_path<wchar_t>(GetModuleFileNameW);
}

char *plat_executable_path()
{
    wchar_t *wide = module_path_wide();
    if (wide == nullptr)
        return nullptr;
    char *path = ansi_form(wide, true);
    if (path == nullptr)
        path = short_form(wide);
    if (path == nullptr)
        path = inexact_form(wide);
    std::free(wide);
    return path;
}

wchar_t *inexact_path_wide(const char *path)
{
    std::size_t folder_length = inexact_folder != nullptr ? std::strlen(inexact_folder) : 0;
    if (folder_length == 0 || std::strncmp(path, inexact_folder, folder_length) != 0)
        return nullptr;
    const char *rest = path + folder_length;
    std::size_t kept = std::wcslen(wide_folder);
    int added = MultiByteToWideChar(CP_ACP, 0, rest, -1, nullptr, 0);
    std::size_t size = (kept + static_cast<std::size_t>(added)) * sizeof(wchar_t);
    auto *wide = added != 0 ? static_cast<wchar_t *>(plat_malloc(size)) : nullptr;
    if (wide == nullptr)
        return nullptr;
    std::memcpy(wide, wide_folder, kept * sizeof(wchar_t));
    MultiByteToWideChar(CP_ACP, 0, rest, -1, wide + kept, added);
    return wide;
}

std::FILE *plat_open_file(const char *path)
{
    wchar_t *wide = inexact_path_wide(path);
    if (wide == nullptr)
        return std::fopen(path, "rb");
    std::FILE *file = _wfopen(wide, L"rb");
    std::free(wide);
    return file;
}

unsigned plat_char_size(unsigned char first)
{
    if (GetACP() == CP_UTF8)
        return utf8_char_size(first);
    return IsDBCSLeadByteEx(CP_ACP, first) ? 2 : 1;
}
