// sorvak-sim: the real engine and loader over the stand-in platform, fed by a
// trace on the standard input. Checks a conf.txt and replays gestures.
#include "conf/conf_file.h"
#include "gesture/capture_loop.h"
#include "gesture/gesture_context.h"
#include "platform/platform.h"
#include "platform/stand_in/stand_in.h"
#include "tools/sim/trace.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace
{

const char usage[] =
    "usage: sorvak-sim [--shell-log FILE] [PROGRAM_PATH]\n"
    "  reads conf.txt beside PROGRAM_PATH (default: this program), then\n"
    "  replays the trace on standard input, one capture cycle a line:\n"
    "  'STATE X Y', 'STATE -' (cursor unreadable), 'CODE:STATE,... X Y', 'reload'\n";

std::FILE *shell_log = nullptr;
long trace_line_number = 0;

void log_shell_call(const char *program, const char *parameters, void *)
{
    std::fprintf(shell_log, "%s\t%s\n", program, parameters);
    std::fflush(shell_log);
}

void apply(const trace_cycle &cycle)
{
    if (cycle.per_key) {
        stand_in_clear_keys();
        for (const trace_key &key : cycle.keys)
            stand_in_set_key(key.code, key.state);
    } else {
        // The capture key alone: were the mouse buttons down too, every
        // capture would be a drag.
        stand_in_clear_keys();
        stand_in_set_key(g_context.key_code.load(), cycle.all_keys);
    }
    stand_in_set_cursor(cycle.x, cycle.y, cycle.readable);
}

// Moves to the next cycle of the trace, running reloads on the way; the end
// of the trace is the normal end of the process.
void next_cycle(void *)
{
    std::string line;
    while (std::getline(std::cin, line)) {
        ++trace_line_number;
        trace_cycle cycle;
        switch (parse_trace_line(line, &cycle)) {
        case trace_skip:
            continue;
        case trace_reload:
            load_conf(&g_context);
            continue;
        case trace_cycle_line:
            apply(cycle);
            return;
        case trace_malformed:
            std::fprintf(stderr,
                         "sorvak-sim: trace line %ld is not 'STATE X Y', 'STATE -' or "
                         "'reload': %s\n",
                         trace_line_number, line.c_str());
            plat_exit(2);
        }
    }
    plat_exit(0);
}

} // namespace

int main(int argc, char **argv)
{
    const char *program = argv[0];
    const char *log_path = nullptr;
    bool have_program = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--shell-log") == 0 && i + 1 < argc && log_path == nullptr) {
            log_path = argv[++i];
        } else if (argv[i][0] != '-' && !have_program) {
            program = argv[i];
            have_program = true;
        } else {
            std::fputs(usage, stderr);
            return 2;
        }
    }
    if (log_path != nullptr) {
        shell_log = std::fopen(log_path, "ab");
        if (shell_log == nullptr) {
            std::fprintf(stderr, "sorvak-sim: cannot open shell log %s\n", log_path);
            return 2;
        }
        stand_in_on_shell(log_shell_call, nullptr);
    }
    // Only the log matters; a long trace must not grow memory.
    stand_in_record_shell(false);

    // Plays the command line's first token: writable, and kept for the
    // life of the process like the real one.
    static std::string program_path;
    program_path = program;
    init_context(&program_path[0], &g_context);
    load_conf(&g_context);

    stand_in_on_sleep(next_cycle, nullptr);
    next_cycle(nullptr);
    capture_loop(&g_context);
}
