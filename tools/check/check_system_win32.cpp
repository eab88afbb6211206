// sorvak-check.exe's Windows parts: full paths through the system, the
// checked file beside the checker by default, and the note on UTF-8 text in
// a file read in the ANSI code page.
#include "platform/platform.h"
#include "shell_common/program_path.h"
#include "tools/check/check_report.h"
#include "tools/check/check_system.h"
#include "tools/check/console_win32.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

// A new heap string of `directory` (with or without its trailing separator)
// followed by conf.txt.
char *conf_in(const char *directory)
{
    std::size_t length = std::strlen(directory);
    // The last character, not the last byte: in a double-byte code page a
    // character's second byte may be a backslash.
    const char *last = CharPrevExA(CP_ACP, directory, directory + length, 0);
    bool separator = last == directory + length - 1 && (*last == '\\' || *last == '/');
    const char *name = separator ? "conf.txt" : "\\conf.txt";
    std::size_t name_size = std::strlen(name) + 1;
    char *path = static_cast<char *>(plat_malloc(length + name_size));
    if (path != nullptr) {
        std::memcpy(path, directory, length);
        std::memcpy(path + length, name, name_size);
    }
    return path;
}

// The full path of the file to check: PATH as a file, or conf.txt in PATH as
// a folder; without PATH, conf.txt beside this program.
char *conf_to_check(const char *path)
{
    if (path == nullptr) {
        char *program = find_program_path(GetCommandLineA());
        return program != nullptr ? make_conf_path(program, "conf.txt") : nullptr;
    }
    DWORD size = GetFullPathNameA(path, 0, nullptr, nullptr);
    char *full = size != 0 ? static_cast<char *>(plat_malloc(size)) : nullptr;
    if (full == nullptr)
        return nullptr;
    DWORD length = GetFullPathNameA(path, size, full, nullptr);
    if (length == 0 || length >= size) {
        std::free(full);
        return nullptr;
    }
    DWORD attributes = GetFileAttributesA(full);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return full;
    char *inside = conf_in(full);
    std::free(full);
    return inside;
}

} // namespace

const char WATCHING_TEXT[] = "\nWatching gestures; nothing is started. Ctrl+Break ends.\n";

void choose_checked_file(const char *argument, gesture_context *context)
{
    std::free(context->conf_path);
    context->conf_path = conf_to_check(argument);
}

int report_system_notes(const gesture_context *context)
{
    // Where the ANSI code page is UTF-8 itself, UTF-8 text is what it reads.
    long utf8_line = context->conf_path != nullptr && GetACP() != CP_UTF8
                         ? first_utf8_line(context->conf_path)
                         : 0;
    if (utf8_line == 0)
        return 0;
    print_utf8_note(stdout, utf8_line);
    return 1;
}

void start_check_output()
{
    attach_console();
}

bool can_watch_gestures()
{
    // Ended by Ctrl+Break or by closing the window: nothing to wait for.
    no_wait_at_exit();
    return true;
}
