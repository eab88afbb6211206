#include "platform/x11/launch_command.h"

#include <glib.h>

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

std::vector<std::string> build_launch_command(const char *program, const char *parameters,
                                              const char *executable, const char *opener)
{
    std::vector<std::string> words;
    if (!split_parameters(parameters, &words))
        return {};
    std::vector<std::string> command;
    if (executable != nullptr) {
        command.emplace_back(executable);
    } else if (opener != nullptr && *program != '\0') {
        command.emplace_back(opener);
        command.emplace_back(program);
    } else {
        return {};
    }
    command.insert(command.end(), words.begin(), words.end());
    return command;
}

std::vector<std::string> resolve_launch_command(const char *program, const char *parameters)
{
    // An empty name would be looked up as the current directory.
    gchar *executable = *program != '\0' ? g_find_program_in_path(program) : nullptr;
    gchar *opener = executable == nullptr ? g_find_program_in_path("xdg-open") : nullptr;
    std::vector<std::string> command =
        build_launch_command(program, parameters, executable, opener);
    g_free(executable);
    g_free(opener);
    return command;
}
