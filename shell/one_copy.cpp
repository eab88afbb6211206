#include "shell/one_copy.h"

#include "platform/win32/module_path_win32.h"

#include <cstdint>
#include <cstdlib>
#include <cwchar>

namespace
{

// "Local\sorvak-" and 16 hexadecimal digits: the folder's own name could
// outgrow an object name and would hold backslashes.
constexpr char NAME_PREFIX[] = "Local\\sorvak-";
constexpr std::size_t NAME_SIZE = sizeof NAME_PREFIX + 16;

// The folder in its long form and upper case, so that every spelling of one
// folder gives one name. Returns false when it cannot be told.
bool folder_name(char (&name)[NAME_SIZE])
{
    wchar_t *path = module_path_wide();
    if (path == nullptr)
        return false;
    wchar_t *slash = std::wcsrchr(path, L'\\');
    if (slash != nullptr)
        slash[1] = L'\0';
    // Started through its short name, the program is told that name.
    DWORD size = GetLongPathNameW(path, nullptr, 0);
    auto *folder =
        size != 0 ? static_cast<wchar_t *>(std::malloc(size * sizeof(wchar_t))) : nullptr;
    DWORD length = folder != nullptr ? GetLongPathNameW(path, folder, size) : 0;
    wchar_t *text = length != 0 && length < size ? folder : path;
    length = static_cast<DWORD>(std::wcslen(text));
    CharUpperBuffW(text, length);
    // FNV-1a over the UTF-16 units.
    std::uint64_t hash = 14695981039346656037ull;
    for (DWORD i = 0; i < length; ++i) {
        hash ^= static_cast<std::uint16_t>(text[i]);
        hash *= 1099511628211ull;
    }
    std::free(folder);
    std::free(path);
    char *out = name;
    for (const char *c = NAME_PREFIX; *c != '\0'; ++c)
        *out++ = *c;
    for (int shift = 60; shift >= 0; shift -= 4)
        *out++ = "0123456789ABCDEF"[(hash >> shift) & 0xF];
    *out = '\0';
    return true;
}

} // namespace

bool claim_folder(UINT *message)
{
    *message = 0;
    char name[NAME_SIZE];
    if (!folder_name(name))
        return true;
    // The same name without the namespace, which messages do not have.
    *message = RegisterWindowMessageA(name + sizeof "Local\\" - 1);
    // Kept until the process ends, when the system releases it.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    DWORD error = GetLastError();
    // An elevated copy's mutex is out of a plain copy's reach: it runs too.
    if (mutex == nullptr)
        return error != ERROR_ACCESS_DENIED;
    return error != ERROR_ALREADY_EXISTS;
}

void tell_running_copy(const char *window_class, UINT message)
{
    if (message == 0)
        return;
    for (HWND window = FindWindowExA(nullptr, nullptr, window_class, nullptr); window != nullptr;
         window = FindWindowExA(nullptr, window, window_class, nullptr))
        PostMessageA(window, message, 0, 0);
}
