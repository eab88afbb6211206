#include "shell/one_copy.h"

#include "platform/win32/module_path_win32.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace
{

// "Local\sorvak-" and hexadecimal digits: the folder's own name could
// outgrow an object name and would hold backslashes.
constexpr char NAME_PREFIX[] = "Local\\sorvak-";
// The identity's digits: 8 of the volume and 16 of the folder on it, or 16
// and 32 where the folder's index needs 128 bits.
constexpr std::size_t NAME_SIZE = sizeof NAME_PREFIX + 16 + 32;

char *put_hex(char *out, std::uint64_t value, int digits)
{
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        *out++ = "0123456789ABCDEF"[(value >> shift) & 0xF];
    return out;
}

// The folder's 128-bit identity (Windows 8 and later) as two halves, low
// first, when the 64-bit index is not all of it: on ReFS that index need not
// be unique. Elsewhere the name stays what earlier versions made, so that
// they see each other.
bool wide_identity(HANDLE handle, std::uint64_t index, std::uint64_t (&id)[3])
{
    using info_query = BOOL(WINAPI *)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    // Through the generic function type, which any other may be cast to.
    auto query = reinterpret_cast<info_query>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFileInformationByHandleEx")));
    FILE_ID_INFO info;
    if (query == nullptr || !query(handle, FileIdInfo, &info, sizeof info))
        return false;
    // Little-endian, as every Windows this runs on.
    id[0] = info.VolumeSerialNumber;
    std::memcpy(&id[1], info.FileId.Identifier, 16);
    return id[2] != 0 || id[1] != index;
}

// The folder's identity, its volume's serial number and its index there, the
// same whatever path reaches it: a subst or mapped drive, a UNC path, a
// junction. Written at `out`; null when the system cannot tell it.
char *put_identity(char *out, const wchar_t *folder)
{
    HANDLE handle = CreateFileW(folder, FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) {
        CloseHandle(handle);
        return nullptr;
    }
    std::uint64_t index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    std::uint64_t id[3];
    bool wide = wide_identity(handle, index, id);
    CloseHandle(handle);
    if (wide) {
        out = put_hex(out, id[0], 16);
        out = put_hex(out, id[2], 16);
        return put_hex(out, id[1], 16);
    }
    out = put_hex(out, info.dwVolumeSerialNumber, 8);
    return put_hex(out, index, 16);
}

// Where the identity cannot be read: the folder in its long form and upper
// case, so that at least its spellings by name give one name.
char *put_path_hash(char *out, wchar_t *path)
{
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
    return put_hex(out, hash, 16);
}

// The folder's name for the mutex and the message. Returns false when the
// folder cannot be told.
bool folder_name(char (&name)[NAME_SIZE])
{
    wchar_t *path = module_path_wide();
    if (path == nullptr)
        return false;
    wchar_t *slash = std::wcsrchr(path, L'\\');
    if (slash != nullptr)
        slash[1] = L'\0';
    char *out = name;
    for (const char *c = NAME_PREFIX; *c != '\0'; ++c)
        *out++ = *c;
    char *end = put_identity(out, path);
    if (end == nullptr)
        end = put_path_hash(out, path);
    *end = '\0';
    std::free(path);
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
