#include "platform/linux/launch_command.h"

#include <glib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace
{

// Whether `text` starts with an address's scheme and its colon, as in
// "https:" or "mailto:"; a single letter is a Windows drive, not a scheme.
bool names_address(const char *text)
{
    std::size_t length = 0;
    while (g_ascii_isalnum(text[length]) || std::strchr("+-.", text[length]) != nullptr)
        ++length;
    return length >= 2 && g_ascii_isalpha(text[0]) && text[length] == ':';
}

// Whether the kernel runs the executable at `path` itself. One that may be
// run but not read is left to the kernel to judge: the start never falls
// back on a shell, so a wrong guess only fails.
bool runs_itself(const char *path)
{
    // Non-blocking: an executable named pipe must not hold the launch up.
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno == EACCES;
    char head[4];
    ssize_t length = read(fd, head, sizeof head);
    close(fd);
    return length > 0 && kernel_runs(head, static_cast<std::size_t>(length));
}

} // namespace

bool split_parameters(const char *parameters, std::vector<std::string> *words)
{
    words->clear();
    gint count = 0;
    gchar **parsed = nullptr;
    GError *error = nullptr;
    if (!g_shell_parse_argv(parameters, &count, &parsed, &error)) {
        // GLib refuses blank text; for a launch it just means no arguments.
        bool blank = g_error_matches(error, G_SHELL_ERROR, G_SHELL_ERROR_EMPTY_STRING);
        g_error_free(error);
        return blank;
    }
    words->assign(parsed, parsed + count);
    g_strfreev(parsed);
    return true;
}

bool kernel_runs(const char *head, std::size_t length)
{
    return (length >= 4 && std::memcmp(head, "\177ELF", 4) == 0) ||
           (length >= 2 && head[0] == '#' && head[1] == '!');
}

launch_plan build_launch_command(const char *parameters, const char *executable,
                                 const char *document, const char *opener)
{
    launch_plan plan;
    std::vector<std::string> words;
    if (!split_parameters(parameters, &words)) {
        plan.problem = "unclosed quote in parameters";
        return plan;
    }
    if (executable != nullptr) {
        plan.command.emplace_back(executable);
    } else if (document == nullptr) {
        plan.problem = "program not found";
        return plan;
    } else if (opener == nullptr) {
        plan.problem = "xdg-open not found";
        return plan;
    } else {
        plan.command.emplace_back(opener);
        plan.command.emplace_back(document);
    }
    plan.command.insert(plan.command.end(), words.begin(), words.end());
    return plan;
}

launch_plan resolve_launch_command(const char *program, const char *parameters)
{
    // An empty name would be looked up as the current directory.
    gchar *found = *program != '\0' ? g_find_program_in_path(program) : nullptr;
    bool runs = found != nullptr && runs_itself(found);
    // What xdg-open would take: the document found, an address, or a file
    // or folder named from the current one.
    const char *document = found;
    struct stat info;
    if (found == nullptr && *program != '\0' &&
        (names_address(program) || stat(program, &info) == 0))
        document = program;
    gchar *opener = runs ? nullptr : g_find_program_in_path("xdg-open");
    launch_plan plan =
        build_launch_command(parameters, runs ? found : nullptr, runs ? nullptr : document, opener);
    g_free(found);
    g_free(opener);
    return plan;
}

launch_plan open_command(const char *file)
{
    gchar *opener = g_find_program_in_path("xdg-open");
    launch_plan plan = build_launch_command("", nullptr, file, opener);
    g_free(opener);
    return plan;
}
