// sorvak-check.exe: loads a conf.txt exactly as sorvak.exe does, prints what
// the program would run with and, with --live, what each gesture made on the
// desktop would do, without starting anything.
#include "conf/conf_file.h"
#include "conf/diagnostics.h"
#include "gesture/capture_loop.h"
#include "gesture/gesture_context.h"
#include "platform/platform.h"
#include "shell_common/program_path.h"
#include "tools/check/check_report.h"
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
    bool separator = length != 0 && (directory[length - 1] == '\\' || directory[length - 1] == '/');
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

int main(int argc, char **argv)
{
    attach_console();
    check_options options;
    if (!parse_check_options(argc, argv, &options)) {
        std::fputs(CHECK_USAGE, stderr);
        return 2;
    }
    // Live, each line must show as the gesture ends, not at exit.
    if (options.live)
        std::setvbuf(stdout, nullptr, _IONBF, 0);

    static char no_path[] = "";
    init_context(no_path, &g_context);
    std::free(g_context.conf_path);
    g_context.conf_path = conf_to_check(options.path);
    load_conf(&g_context);
    // Where the ANSI code page is UTF-8 itself, UTF-8 text is what it reads.
    long utf8_line = g_context.conf_path != nullptr && GetACP() != CP_UTF8
                         ? first_utf8_line(g_context.conf_path)
                         : 0;

    print_report(stdout, &g_context);
    if (utf8_line != 0)
        print_utf8_note(stdout, utf8_line);
    int status = conf_report_count() != 0 || utf8_line != 0 ? 1 : 0;
    if (!options.live)
        return status;
    no_wait_at_exit();

    std::fputs("\nWatching gestures; nothing is started. Ctrl+Break ends.\n", stdout);
    capture_loop(&g_context);
}
