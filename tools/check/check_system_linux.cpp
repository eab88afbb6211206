// sorvak-check's Linux parts: by default the file the Linux program would
// read, after the load what that program says about it, which bindings it
// could not start, and the input the program would read in this session.
#include "gesture/keys_action.h"
#include "linux/user_conf.h"
#include "platform/linux/input_platform.h"
#include "platform/linux/key_sender.h"
#include "platform/linux/launch_command.h"
#include "platform/linux/window_query.h"
#include "platform/platform.h"
#include "tools/check/check_report.h"
#include "tools/check/check_system.h"

#include <glib.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

const char WATCHING_TEXT[] = "\nWatching gestures; nothing is started. Ctrl+C ends.\n";

void start_check_output()
{
    use_input_platform(choose_input_platform(nullptr, std::getenv("WAYLAND_DISPLAY"),
                                             std::getenv("XDG_SESSION_TYPE")));
    use_key_sender(
        choose_key_sender(std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE")));
    use_window_query(
        choose_window_query(std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE")));
}

void choose_checked_file(const char *argument, gesture_context *context)
{
    if (argument == nullptr) {
        char *program = plat_executable_path();
        std::free(context->conf_path);
        context->conf_path = program != nullptr ? make_conf_path(program, "conf.txt") : nullptr;
        std::free(program);
        use_linux_conf_path(context, stderr);
        return;
    }
    // Made absolute, "." and ".." resolved, symbolic links kept.
    gchar *full = g_canonicalize_filename(argument, nullptr);
    std::string path = full;
    g_free(full);
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        path += path.back() == '/' ? "conf.txt" : "/conf.txt";
    std::free(context->conf_path);
    context->conf_path = copy_text(path.c_str());
}

int report_system_notes(const gesture_context *context)
{
    int notes = report_linux_conf_words(context, stderr);
    // The program's own words for a launch that fails, after the kind's name.
    // Found or not is judged from here, with this PATH and folder.
    // A block's bindings are named with the block's first name.
    for (int block = -1; block < context->block_count; ++block)
        for (int kind = 0; kind < GESTURE_KIND_COUNT; ++kind) {
            const action_slot &slot =
                block < 0 ? context->slots[kind] : context->blocks[block].slots[kind];
            if (slot.program == nullptr || is_keys_binding(slot.program))
                continue;
            launch_plan plan = resolve_launch_command(
                slot.program, slot.parameters != nullptr ? slot.parameters : "");
            if (plan.problem == nullptr)
                continue;
            std::fprintf(
                stderr, "%s%s%s: unable to start %s: %s\n",
                gesture_kind_name(static_cast<gesture_kind>(kind)), block < 0 ? "" : " in program ",
                block < 0 ? "" : context->blocks[block].names[0], slot.program, plan.problem);
            ++notes;
        }
    // How keys would be sent: in a Wayland session there are several ways,
    // or none.
    bool keys = binds_keys(context);
    if (keys || &key_sender_in_use() != &xtest_keys) {
        const char *why = "";
        const char *way = key_sender_in_use().way(&why);
        std::fprintf(stdout, "keys sent through: %s\n", way != nullptr ? way : "nothing");
        if (keys && way == nullptr) {
            std::fprintf(stderr, "keys cannot be sent in this session: %s\n", why);
            ++notes;
        }
    }
    // And which program is in front, in a Wayland session, where some
    // desktops tell and others do not.
    if (&window_query_in_use() != &x11_windows) {
        const char *why = "";
        const char *way = window_query_in_use().way(&why);
        std::fprintf(stdout, "program in front: %s%s\n", way != nullptr ? "asked of " : "unknown, ",
                     way != nullptr ? way : why);
    }
    return notes + input_in_use().report_access(context->key_code.load(), stdout, stderr);
}

bool can_watch_gestures()
{
    // A desktop that tells through a script of sorvak's (KDE Plasma) calls
    // back over the session bus: its calls are taken on a loop of their own.
    window_query_in_use().open();
    g_thread_unref(g_thread_new(
        "bus",
        [](gpointer) -> gpointer {
            g_main_loop_run(g_main_loop_new(nullptr, FALSE));
            return nullptr;
        },
        nullptr));
    input_problem problem;
    if (!input_in_use().open(&problem)) {
        std::fputs(problem.lines, stderr);
        return false;
    }
    std::int32_t x = 0;
    std::int32_t y = 0;
    if (plat_cursor_pos(&x, &y))
        return true;
    std::fputs("cannot open display\n", stderr);
    return false;
}
