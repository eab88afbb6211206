// The Linux desktop entry: which input, which conf.txt, one copy per
// configuration folder, the display, the tray icon, the trail, the capture
// thread, the signals and the GTK main loop; or, with --edit, --reload or
// --exit, the tray menu's command handed to the copy that runs.
#include "conf/conf_file.h"
#include "gesture/capture_loop.h"
#include "gesture/gesture_context.h"
#include "gesture/keys_action.h"
#include "linux/desktop_notice.h"
#include "linux/one_copy.h"
#include "linux/program_icon.h"
#include "linux/trail_linux.h"
#include "linux/tray_linux.h"
#include "linux/user_conf.h"
#include "platform/linux/input_platform.h"
#include "platform/linux/key_sender.h"
#include "platform/linux/login_session.h"
#include "platform/linux/shell_open_linux.h"
#include "platform/linux/window_query.h"
#include "platform/platform.h"
#include "shell_common/conf_notice.h"
#include "shell_common/program_path.h"
#include "shell_common/tray_commands.h"

#include <X11/Xlib.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

constexpr const char TRAY_TIP[] = "sorvak 1.1.8";
constexpr const char USAGE[] = "usage: sorvak [--input=x11|libinput] [--edit|--reload|--exit]\n";
constexpr const char INPUT_OPTION[] = "--input=";
// The tray menu's commands from the command line (the menu entry's actions).
struct command_option {
    const char *option;
    unsigned command_id;
};
constexpr command_option COMMAND_OPTIONS[] = {
    {"--edit", CMD_EDIT_CONF}, {"--reload", CMD_RELOAD_CONF}, {"--exit", CMD_EXIT}};

linux_tray *tray = nullptr;
// Set by the first Exit; what comes after it, until the loop ends, is dropped.
bool quitting = false;

// Start-up and every reload load conf.txt here: the shared loader, then what
// only the Linux program has to say about the file.
void load_configuration()
{
    load_conf(&g_context);
    report_linux_conf_words(&g_context, stderr);
}

// A load that reported problems says so from the desktop, where a program
// started from a menu has no terminal to print them on.
void announce_conf_problems()
{
    conf_notice notice;
    if (latest_conf_notice("sorvak-check", &notice))
        show_desktop_notice(notice.title, notice.body, program_icon());
}

// The way keys are sent is readied once a loaded file binds keys, and only
// then: a portal asks the user. One that cannot be had here is said once.
void ready_key_sender()
{
    static bool readied = false;
    if (readied || !binds_keys(&g_context))
        return;
    readied = true;
    const char *why = "";
    if (key_sender_in_use().open(&why))
        return;
    std::fprintf(stderr, "keys cannot be sent in this session: %s\n", why);
    show_desktop_notice("sorvak cannot send keys",
                        (std::string("keys: bindings do nothing in this session: ") + why +
                         "\nGestures that start programs still work.")
                            .c_str(),
                        program_icon());
}

// The stroke is drawn where the points are the X display's own (the X11
// input); from the input devices (a Wayland session), or on a display it
// cannot draw on, only its outcome is told, as a notice.
void apply_trail()
{
    if (!g_context.trail)
        show_trail(nullptr);
    else if (&input_in_use() != &x11_input || !show_trail(&drawn_trail))
        show_trail(&noticed_trail);
}

// A later start for the same configuration ended at once; the user hears
// from this copy that it runs.
void announce_second_start()
{
    show_desktop_notice("sorvak", "sorvak is already running", program_icon());
}

// The tray menu and the signals both end up here, on the main loop's thread.
void run_command(unsigned command_id)
{
    if (quitting)
        return;
    if (command_id == CMD_RELOAD_CONF) {
        std::int32_t key_before = g_context.key_code.load();
        load_configuration();
        announce_conf_problems();
        ready_key_sender();
        apply_trail();
        // A reload is also the user's way to have a key map change seen.
        input_in_use().remap_keys();
        // The capture thread may be waiting for input with the old key in mind.
        if (g_context.key_code.load() != key_before)
            input_in_use().wake();
        return;
    }
    // The file is opened for editing whatever it holds, never run, even with
    // the execute bit every file has on some mounts.
    if (command_id == CMD_EDIT_CONF) {
        if (g_context.conf_path != nullptr)
            open_document(g_context.conf_path);
        return;
    }
    if (run_tray_command(command_id, &g_context) == tray_command_quit) {
        quitting = true;
        remove_tray(tray);
        tray = nullptr;
        gtk_main_quit();
    }
}

gboolean on_hangup(gpointer)
{
    run_command(CMD_RELOAD_CONF);
    return G_SOURCE_CONTINUE;
}

gboolean on_terminate(gpointer)
{
    run_command(CMD_EXIT);
    return G_SOURCE_CONTINUE;
}

bool take_command_option(const char *argument, unsigned *command_id)
{
    for (const command_option &known : COMMAND_OPTIONS)
        if (std::strcmp(argument, known.option) == 0) {
            *command_id = known.command_id;
            return true;
        }
    return false;
}

// Takes --input=x11|libinput and a command out of the arguments GTK sees,
// the last of each counting: the input's name (null when not given) and the
// command's id (0 when none is given).
const char *take_options(int *argc, char **argv, unsigned *command_id)
{
    const char *value = nullptr;
    *command_id = 0;
    int kept = 1;
    for (int i = 1; i < *argc; ++i) {
        if (std::strncmp(argv[i], INPUT_OPTION, sizeof INPUT_OPTION - 1) == 0)
            value = argv[i] + sizeof INPUT_OPTION - 1;
        else if (!take_command_option(argv[i], command_id))
            argv[kept++] = argv[i];
    }
    *argc = kept;
    argv[kept] = nullptr;
    return value;
}

// The copy that runs for this configuration carries out the command; the
// file is neither read nor written here.
int hand_command_over(unsigned command_id)
{
    if (ask_running_copy(g_context.conf_path, command_id))
        return 0;
    std::fputs("sorvak is not running\n", stderr);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    // The capture thread's Xlib connection and GDK's are used at the same
    // time; Xlib before 1.8 is safe for that only when told so before any
    // other call of it.
    XInitThreads();

    // Until their handlers are in place the signals wait, blocked; threads
    // started meanwhile (the capture thread, the libraries' own) keep them
    // blocked, so they are taken on this thread only.
    sigset_t handled;
    sigemptyset(&handled);
    sigaddset(&handled, SIGHUP);
    sigaddset(&handled, SIGINT);
    sigaddset(&handled, SIGTERM);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &handled, &previous);

    unsigned command_id = 0;
    const input_platform *input =
        choose_input_platform(take_options(&argc, argv, &command_id),
                              std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE"));
    if (input == nullptr) {
        std::fputs(USAGE, stderr);
        return 2;
    }
    use_input_platform(input);
    use_key_sender(
        choose_key_sender(std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE")));
    use_window_query(
        choose_window_query(std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE")));

    char *program_path = find_program_path(nullptr);
    if (program_path == nullptr)
        return 1;
    init_context(program_path, &g_context);
    if (command_id != 0) {
        use_linux_conf_path(&g_context, nullptr);
        return hand_command_over(command_id);
    }
    use_linux_conf_path(&g_context, stderr);
    // A second copy for the same configuration would start every gesture's
    // program twice; the running one is told, and this start ends.
    if (!claim_conf_folder(g_context.conf_path, announce_second_start, run_command))
        return 0;
    load_configuration();

    // The loader reads conf.txt in the C locale, at start and on reloads alike.
    gtk_disable_setlocale();
    // A capture thread that speaks X11 would be blind beside a Wayland
    // display; one that reads the devices does not care.
    gdk_set_allowed_backends(input == &x11_input ? "x11" : "wayland,x11");
    if (!gtk_init_check(&argc, &argv)) {
        std::fputs("cannot open display\n", stderr);
        return 1;
    }

    tray = show_tray(TRAY_TIP, run_command);
    announce_conf_problems();
    // Without input the icon and its menu stay: the user reads what to do.
    input_problem problem;
    if (!input->open(&problem)) {
        std::fputs(problem.lines, stderr);
        show_desktop_notice(problem.title, problem.body, program_icon());
    }
    ready_key_sender();
    // A desktop that tells which program is in front only through a script
    // of sorvak's (KDE Plasma) gets it now.
    window_query_in_use().open();
    // Another session in front of the seat must not have its strokes acted on.
    follow_login_session(*input);
    apply_trail();
    // A thread that cannot start leaves the icon and no gesture capture, as
    // on Windows.
    plat_start_thread(capture_thread, &g_context);

    g_unix_signal_add(SIGHUP, on_hangup, nullptr);
    g_unix_signal_add(SIGINT, on_terminate, nullptr);
    g_unix_signal_add(SIGTERM, on_terminate, nullptr);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);

    gtk_main();
    window_query_in_use().close();
    // The icon's removal must reach the server before the connection closes.
    gdk_display_flush(gdk_display_get_default());
    return 0;
}
