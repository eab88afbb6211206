// sorvak-check: loads a conf.txt exactly as the desktop program does, prints
// what the program would run with and, with --live, what each gesture made
// on the desktop would do, without starting anything.
#include "conf/conf_file.h"
#include "conf/diagnostics.h"
#include "gesture/capture_loop.h"
#include "gesture/gesture_context.h"
#include "tools/check/check_report.h"
#include "tools/check/check_system.h"

#include <cstdio>

int main(int argc, char **argv)
{
    start_check_output();
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
    choose_checked_file(options.path, &g_context);
    load_conf(&g_context);
    print_report(stdout, &g_context);
    int notes = report_system_notes(&g_context);
    int status = conf_report_count() != 0 || notes != 0 ? 1 : 0;
    if (!options.live)
        return status;
    if (!can_watch_gestures())
        return 1;

    std::fputs(WATCHING_TEXT, stdout);
    watch_presses([](const foreground_program *program) {
        print_foreground(stdout, program);
        print_block(stdout, &g_context, program);
    });
    capture_loop(&g_context);
}
