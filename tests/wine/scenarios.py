#!/usr/bin/env python3
"""Acceptance scenarios for sorvak.exe under Wine, one per CTest test.

usage: scenarios.py [--arch win64|win32] [--bin DIR] SCENARIO...
--arch win32 runs the shipped i686 build under scripts/wine32.sh.
Exit status 77 when sorvak.exe has not been built, 1 on failure.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

import harness
from harness import HarnessError, Instance, Session, expect_equal, wait_for

D = 300  # travel of one stroke; well past any threshold at precision 50

KINDS = harness.xdesktop.gesture_kinds(D)
# Bound kinds in the first scenario, with the key spelling used for each.
BOUND = {"right": "right", "down_left": "left down", "vertical": "up-down", "other": "autre"}


def expect_exit(instance, status, timeout=20):
    expect_equal(f"exit status of {instance.directory.name}", instance.wait(timeout), status)


def start_for_kind(kind, segments):
    """A start point from which the movement stays on screen."""
    return harness.xdesktop.centred_start(segments, (512, 360))


def record_args_line(instance, parameters):
    # ShellExecute passes the program quoted, then the parameters.
    return f'"{instance.helper_path("record_args.exe")}" {parameters}'


def bind(instance, key, parameters=None):
    value = instance.helper_path("record_args.exe")
    return f"{key} = {value}" + (f" | {parameters}" if parameters else "") + "\n"


def scenario_gestures(session):
    """All eleven kinds print their label; bound kinds start their program
    with its parameters; a press without movement is too small."""
    def conf(directory):
        program = harness.windows_path(directory / "record_args.exe")
        text = "// bindings for the gesture scenario\n\n"
        for kind, key in BOUND.items():
            text += f"{key} = {program} | {kind} two%words\n"
        return text

    instance = session.start_sorvak(conf)
    expected_out, expected_runs, launched = "", [], 0
    for kind, segments, label in KINDS:
        session.gesture(segments, start=start_for_kind(kind, segments))
        expected_out += label + "\n"
        if kind in BOUND:
            launched += 1
            expected_out += f" -> {instance.helper_path('record_args.exe')}\n"
            expected_runs.append(record_args_line(instance, f"{kind} two%words"))
            # Wait for the launch, so a missing one is pinned to its gesture.
            instance.wait_recorded(launched)
        else:
            time.sleep(0.2)
    session.gesture([])
    expected_out += "insufficient movement\n"
    session.send_close(instance)
    expect_exit(instance, 0)
    expect_equal("stdout", instance.stdout(), expected_out)
    expect_equal("stderr", instance.stderr(), "")
    expect_equal("record_args.exe runs", instance.recorded(), expected_runs)


def scenario_key_and_precision(session):
    """Another capture key replaces Ctrl; a larger precision needs a longer stroke."""
    instance = session.start_sorvak("key = 0x10\nprec = 200\n")
    session.gesture([(D, 0)], key="ctrl", start=(300, 300))
    session.gesture([(150, 0)], key="shift", start=(300, 300))
    session.gesture([(D, 0)], key="shift", start=(300, 300))
    session.gesture([(0, -D)], key="shift", start=(300, 500))
    session.send_close(instance)
    expect_exit(instance, 0)
    # Ctrl is ignored entirely; 150 / 200 = 0 is too small; 300 / 200 = 1 is enough.
    expect_equal("stdout", instance.stdout(), "insufficient movement\ndroite\nhaut\n")
    expect_equal("stderr", instance.stderr(), "")


def start_windows_program(session, name, title_word):
    """Starts a program of the prefix (it becomes the foreground window) and
    waits for its window."""
    session.others.append(subprocess.Popen(
        [*harness.WINE, name], env=harness.wine_env(session.display),
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    session.wait_for_window(title_word, f"the window of {name}", timeout=30 * harness.TIME_SCALE)
    time.sleep(harness.TIME_SCALE)


def scenario_drag_and_exclude(session):
    """A Ctrl stroke with the left button held, or clicked once, is a drag and
    launches nothing, a plain one launches; a button as the key is not its own
    drag. A stroke begun while a program named by an exclude line (any case)
    is in the foreground launches nothing; over another program it does. A
    stroke during which another window comes to the front is a drag (as a
    click into an elevated window, which the buttons do not show). A program
    block gives its bindings in front of its program only, and the kinds it
    leaves unbound keep the binding for every program."""
    instance = session.start_sorvak(
        lambda directory: f"right = {harness.windows_path(directory / 'record_args.exe')}\n")
    start = (300, 300)
    session.xdotool(*harness.xdesktop.gesture_script(
        [(D, 0)], start, ["keydown", "ctrl", "mousedown", 1], ["mouseup", 1, "keyup", "ctrl"],
        lambda x, y: True))
    # A click in the press's own cycle does not count: the click comes well
    # after the press, which the emulated build may see late.
    pause = 0.3 * harness.TIME_SCALE
    session.xdotool("mousemove", *start, "keydown", "ctrl", "sleep", pause, "mousemove", 450, 300,
                    "mousedown", 1, "mouseup", 1, "mousemove", 600, 300, "sleep", pause,
                    "keyup", "ctrl", "sleep", 0.2)
    session.gesture([(D, 0)], start=start)
    instance.wait_recorded(1)

    instance.write_conf(bind(instance, "right") + "exclude = NOTEPAD.EXE\n")
    session.tray_menu(instance, "reload")
    start_windows_program(session, "notepad.exe", "notepad")
    session.gesture([(D, 0)], start=start)
    start_windows_program(session, "winemine.exe", "mine")
    session.gesture([(D, 0)], start=start)
    instance.wait_recorded(2)
    session.xdotool("mousemove", *start, "keydown", "ctrl", "sleep", pause, "mousemove", 450, 300)
    start_windows_program(session, "regedit.exe", "registry")
    session.xdotool("mousemove", 600, 300, "sleep", pause, "keyup", "ctrl", "sleep", 0.2)
    session.gesture([(D, 0)], start=start)
    instance.wait_recorded(3)

    # A block for the program in front overrides the kinds it binds.
    instance.write_conf(bind(instance, "right", "every") + bind(instance, "up", "up") +
                        "program = Notepad.exe\n" + bind(instance, "right", "notepad"))
    session.tray_menu(instance, "reload")
    start_windows_program(session, "notepad.exe", "notepad")
    session.gesture([(D, 0)], start=start)
    session.gesture([(0, -D)], start=(300, 500))
    start_windows_program(session, "winemine.exe", "mine")
    session.gesture([(D, 0)], start=start)
    instance.wait_recorded(6)
    session.send_close(instance)
    expect_exit(instance, 0)
    program = instance.helper_path("record_args.exe")
    expect_equal("stdout", instance.stdout(),
                 f"drag, no gesture\ndrag, no gesture\ndroite\n -> {program}\n"
                 f"excluded: NOTEPAD.EXE\ndroite\n -> {program}\ndrag, no gesture\n"
                 f"droite\n -> {program}\n" +
                 f"droite\n -> {program}\nhaut\n -> {program}\ndroite\n -> {program}\n")
    expect_equal("record_args.exe runs",
                 [run.split()[-1] for run in instance.recorded()[3:]], ["notepad", "up", "every"])

    middle = session.start_sorvak("key = 4\n", name="middle")
    session.gesture([(0, D)], key=None, button=2, start=start)
    session.xdotool("mousemove", *start, "mousedown", 2, "sleep", pause, "mousemove", 300, 450,
                    "click", 1, "mousemove", 300, 600, "sleep", pause, "mouseup", 2, "sleep", 0.2)
    session.send_close(middle)
    expect_exit(middle, 0)
    expect_equal("stdout (middle button)", middle.stdout(), "bas\ndrag, no gesture\n")


def scenario_keys(session):
    """keys: bindings press their keys in the foreground window: a sequence
    types its letters in order, a chord holds its modifiers over its last
    key and releases all in reverse, arrows carry the extended flag, and the
    capture key among them starts no capture. A binding with an unknown name
    is said at load and presses nothing."""
    shutil.copy2(session.bin_dir / "log_keys.exe", session.work)
    log = session.work / "log_keys.log"
    instance = session.start_sorvak("right = keys: a b c\nleft = KEYS: Ctrl+Shift+T\n"
                                    "down = keys: alt+left\nup = keys: nosuch+a\n")
    start_windows_program(session, harness.windows_path(session.work / "log_keys.exe"), "log keys")
    user = ["+17^C", "-17"]
    expected = (user + ["+65", "-65", "+66", "-66", "+67", "-67"] +
                user + ["+17^C", "+16^CS", "+84^CS", "-84^CS", "-16^C", "-17"] +
                user + ["+18^A", "+37*^A", "-37*^A", "-18"] + user)
    for kind in ("right", "left", "down", "up"):
        segments = dict((k, s) for k, s, _ in KINDS)[kind]
        session.gesture(segments, start=start_for_kind(kind, segments))
    wait_for(lambda: log.exists() and len(log.read_text().split()) >= len(expected),
             10 * harness.TIME_SCALE, "the keys in the window")
    time.sleep(0.5 * harness.TIME_SCALE)
    session.send_close(instance)
    expect_exit(instance, 0)
    expect_equal("keys the window got", log.read_text().split(), expected)
    expect_equal("stdout", instance.stdout(),
                 "droite\n -> keys: a b c\ngauche\n -> KEYS: Ctrl+Shift+T\n"
                 "bas\n -> keys: alt+left\nhaut\n")
    expect_equal("stderr", instance.stderr(),
                 "unknown key name nosuch in keys definition, binding ignored\n")


def scenario_tray_icon(session):
    """The icon is shown; a left click does nothing; a right click opens the menu."""
    instance = session.start_sorvak("")
    expect_equal("icons in the notification area", len(session.tray_icons()), 1)
    session.screenshot("icon")
    session.xdotool("mousemove", instance.icon_x, harness.SCREEN_H - 10, "sleep", 0.1, "click", 1)
    time.sleep(1.0)
    session.screenshot("after-left-click")
    if session.menu_visible():
        raise HarnessError("a left click opened a menu")
    if not instance.running():
        raise HarnessError("a left click ended the program")
    # Closed with Escape, the menu opens again on the next right click.
    for attempt in ("menu", "menu-again"):
        session.open_tray_menu(instance)
        session.screenshot(attempt)
        session.xdotool("key", "Escape")
        wait_for(lambda: not session.menu_visible(), 10, "the menu to close on Escape")
    if not instance.running():
        raise HarnessError("closing the menu ended the program")
    session.send_close(instance)
    expect_exit(instance, 0)
    expect_equal("stdout", instance.stdout(), "")
    expect_equal("stderr", instance.stderr(), "")


def scenario_reload(session):
    """Reload applies a changed file over the current values and reports its
    problems, in a balloon too; a reload with the file gone keeps everything."""
    instance = session.start_sorvak("")
    instance.write_conf(bind(instance, "right", "first") + "prec = 20\n")
    session.tray_menu(instance, "reload")
    session.gesture([(D, 0)])
    instance.wait_recorded(1)
    # A balloon shows within two seconds of its load (three times that emulated).
    time.sleep(3 * harness.TIME_SCALE)
    expect_equal("a balloon after a clean start and reload", session.balloon_shown(), False)

    # up is new; right and prec are absent and must be kept.
    instance.write_conf("// second version\n" + bind(instance, "up", "second")
                        + "prec = 0\nfoo = bar\nnoequals\n")
    session.tray_menu(instance, "reload")
    wait_for(session.balloon_shown, 15, "the balloon on the reload's problems")
    expect_equal("icons with a balloon", len(session.tray_icons()), 1)
    session.gesture([(0, -D)], start=(512, 500))
    instance.wait_recorded(2)
    session.gesture([(D, 0)])
    instance.wait_recorded(3)
    # prec = 0 fell back to 50: 45 px, enough at 20, is now too little.
    session.gesture([(45, 0)])

    instance.conf.unlink()
    session.tray_menu(instance, "reload")
    session.gesture([(0, -D)], start=(512, 500))
    instance.wait_recorded(4)
    session.tray_menu(instance, "exit")
    expect_exit(instance, 0)

    program = instance.helper_path("record_args.exe")
    expect_equal("stdout", instance.stdout(),
                 f"droite\n -> {program}\nhaut\n -> {program}\ndroite\n -> {program}\n"
                 "insufficient movement\n"
                 f"haut\n -> {program}\n")
    expect_equal("stderr", instance.stderr(),
                 "imposible to have a precision of zero\n"
                 "   it'll be set to default value : 50\n"
                 "error in conf file, line 4\n"
                 "   unknown parameter foo\n"
                 "error in conf file, line 5\n"
                 "   missing value, line skipped\n"
                 "unable to find conf.txt\n")
    expect_equal("record_args.exe runs", instance.recorded(), [
        record_args_line(instance, "first"), record_args_line(instance, "second"),
        record_args_line(instance, "first"), record_args_line(instance, "second")])


def scenario_edit(session):
    """Edit with no conf.txt reports nothing and keeps running; once the file
    exists, Edit opens it in the associated editor."""
    instance = session.start_sorvak(None)
    before = session.window_titles()
    session.tray_menu(instance, "edit")
    # Whatever the shell makes of a missing file, give it time to show it.
    time.sleep(2.0)
    session.screenshot("edit-without-file")
    if not instance.running():
        raise HarnessError("Edit without conf.txt ended the program")
    expect_equal("windows after Edit without conf.txt", session.window_titles(), before)

    instance.write_conf("prec = 50\n")
    session.tray_menu(instance, "edit")
    titles = session.wait_for_window("conf", "a window showing conf.txt")
    session.screenshot("editor")
    if not any("notepad" in t.lower() for t in titles):
        raise HarnessError(f"conf.txt is not open in Notepad: {titles}")
    session.send_close(instance)
    expect_exit(instance, 0)
    expect_equal("stdout", instance.stdout(), "")
    expect_equal("stderr", instance.stderr(), "unable to find conf.txt\n")


def scenario_exit(session):
    """Exit and WM_CLOSE end the process with status 0 and remove its icon
    (a second copy keeps the desktop and its notification area up)."""
    keeper = session.start_sorvak("", "keeper")
    target = session.start_sorvak("")
    expect_equal("icons with two copies", len(session.tray_icons()), 2)
    session.tray_menu(target, "exit")
    expect_exit(target, 0)
    if not keeper.running():
        raise HarnessError("Exit of one copy ended the other")
    wait_for(lambda: len(session.tray_icons()) == 1, 10, "the icon to go")
    session.screenshot("after-exit")

    # Either copy may receive the WM_CLOSE; each must end the same way.
    second = session.start_sorvak("")
    copies = [keeper, second]
    session.send_close(second)
    wait_for(lambda: any(not c.running() for c in copies), 20, "a copy to end on WM_CLOSE")
    closed = next(c for c in copies if not c.running())
    expect_exit(closed, 0)
    wait_for(lambda: len(session.tray_icons()) == 1, 10, "the closed copy's icon to go")
    left = next(c for c in copies if c is not closed)
    if not left.running():
        raise HarnessError("WM_CLOSE ended both copies")
    session.send_close(left)
    expect_exit(left, 0)
    for copy in (target, keeper, second):
        expect_equal(f"stdout of {copy.directory.name}", copy.stdout(), "")


def scenario_bad_conf(session):
    """Problems in conf.txt are reported exactly and skipped, and a balloon
    says there are some; a malformed hexadecimal key on reload ends the
    process."""
    conf = ("noequals\n"                 # 1
            "prec = 0\n"                 # 2
            "bogus = 1\n"                # 3
            "prec = 1000\n"              # 4
            "prec = 201 | 1\n"           # 5
            "key = ctrl\n"               # 6
            "key = 0x11 | extra\n"       # 7
            "====\n"                     # 8
            "UP\t= x\n"                  # 9
            "prec = -5\n"                # 10
            "prec = 50\n")               # 11
    instance = session.start_sorvak(conf)
    wait_for(session.balloon_shown, 15, "the balloon on the start's problems")
    harness.SHOTS.mkdir(parents=True, exist_ok=True)
    # Kept for a reader to see what the user sees.
    shutil.copy2(session.screenshot("conf-notice"), harness.SHOTS / f"conf-notice-{harness.ARCH}.png")
    session.gesture([(0, D)], start=(512, 200))  # the key is Ctrl again after all that
    instance.write_conf("// broken key\nkey = 0xG1\nprec = 7\n")
    # The process ends inside the menu command, so the menu is not waited on.
    session.pick_menu_item(session.open_tray_menu(instance), "reload")
    expect_exit(instance, 1)
    expect_equal("stdout", instance.stdout(), "bas\n")
    expect_equal("stderr", instance.stderr(),
                 "error in conf file, line 1\n"
                 "   missing value, line skipped\n"
                 "imposible to have a precision of zero\n"
                 "   it'll be set to default value : 50\n"
                 "error in conf file, line 3\n"
                 "   unknown parameter bogus\n"
                 "it'll be impossible to use me with a precison higher or equal to 1000\n"
                 "   i restore it to default value : 50\n"
                 "warning : too much parameter for precision definition\n"
                 "it'll be hard to use me with a precison of 201\n"
                 "   i let it but i advice you to restore it to default value : 50\n"
                 "unknown key value ctrl, key value must be integer, restore to ctrl key\n"
                 "warning : too much parameter for key definition\n"
                 "error in conf file, line 8\n"
                 "   missing value, line skipped\n"
                 "error in conf file, line 9\n"
                 "   unknown parameter UP\t\n"
                 "invalid hexadecimal value : G1\n")


def scenario_two_copies(session):
    """A second start from the folder of a running copy, also through another
    drive letter, ends at once with status 0, and the running copy says so in
    a balloon: one icon, one launch per gesture. Copies from two folders run
    side by side and both launch."""
    def conf(word):
        return lambda directory: (
            f"down = {harness.windows_path(directory / 'record_args.exe')} | {word}\n")

    # Made first: Wine's volume serial numbers follow its drives.
    drive = session.drive_letter(session.work)
    first = session.start_sorvak(conf("from-first"), "first")
    expect_equal("a balloon before the second start", session.balloon_shown(), False)
    for program in (first.directory / "sorvak.exe",
                    f"{drive}\\{first.directory.name}\\sorvak.exe"):
        again = session.run_windows(program)
        expect_equal(f"second start as {program}",
                     (again.returncode, again.stdout, again.stderr), (0, "", ""))
    wait_for(session.balloon_shown, 15, "the running copy's balloon")
    session.screenshot("balloon")
    expect_equal("icons from one folder", len(session.tray_icons()), 1)
    second = session.start_sorvak(conf("from-second"), "second")
    expect_equal("icons from two folders", len(session.tray_icons()), 2)
    session.gesture([(0, D)], start=(512, 200))
    first.wait_recorded(1)
    second.wait_recorded(1)
    session.send_close(first)
    session.send_close(second)
    for copy, word in ((first, "from-first"), (second, "from-second")):
        expect_exit(copy, 0)
        expect_equal(f"stderr of {copy.directory.name}", copy.stderr(), "")
        expect_equal(f"stdout of {copy.directory.name}", copy.stdout(),
                     f"bas\n -> {copy.helper_path('record_args.exe')}\n")
        expect_equal(f"runs from {copy.directory.name}", copy.recorded(),
                     [record_args_line(copy, word)])


def scenario_start_paths(session):
    """conf.txt is the one beside the executable, in a folder whose name holds
    a comma and a blank, and when the program is started with an unquoted
    command line whose argument holds a slash."""
    # Keeps the desktop up between the copies, captures nothing: a program
    # started as the last one's desktop closes may wait for it in vain.
    session.start_sorvak("key = 0\n", "keeper")
    for name, argument in (("Smith, John ", None), ("unquoted", "/x")):
        def conf(directory, word=name.split(",")[0]):
            return f"right = {harness.windows_path(directory / 'record_args.exe')} | {word}\n"

        copy = session.start_sorvak(conf, name, unquoted_argument=argument)
        session.gesture([(D, 0)])
        copy.wait_recorded(1)
        session.send_close(copy)
        expect_exit(copy, 0)
        expect_equal(f"stderr of {copy.directory.name}", copy.stderr(), "")
        expect_equal(f"stdout of {copy.directory.name}", copy.stdout(),
                     f"droite\n -> {copy.helper_path('record_args.exe')}\n")
        expect_equal(f"runs from {copy.directory.name}", copy.recorded(),
                     [record_args_line(copy, name.split(",")[0])])

    # Folders named with a letter the ANSI code page lacks, one of them beside
    # the folder its best-fit look-alike names: both programs read their own
    # conf.txt, whose malformed key ends them.
    for digit, name in enumerate(("Alpha", "Ālpha", "Ωmega"), 1):
        folder = session.work / name
        folder.mkdir()
        (folder / "conf.txt").write_bytes(f"key = 0xG{digit}\n".encode("ascii"))
        for program in ("sorvak.exe", "sorvak-check.exe"):
            shutil.copy2(session.bin_dir / program, folder / program)
            result = session.run_windows(folder / program)
            expect_equal(f"{program} in {name}",
                         (result.returncode, result.stdout, result.stderr),
                         (1, "", f"invalid hexadecimal value : G{digit}\n"))


def scenario_shell_restart(session):
    """The icon a dying shell took away comes back when the restarted shell
    announces itself, and its menu still works; the balloon on conf.txt's
    problems is not shown again. An icon the shell refused at start-up, as at
    logon, comes by itself, and the balloon with it."""
    bogus = "error in conf file, line 1\n   unknown parameter bogus\n"
    instance = session.start_sorvak("bogus = 1\n")
    expect_equal("icons at start", len(session.tray_icons()), 1)
    wait_for(session.balloon_shown, 15, "the balloon on the start's problems")
    expect_equal("shell_restart.exe remove", session.run_helper(instance, "shell_restart.exe",
                                                                 "remove"), 0)
    wait_for(lambda: not session.tray_icons(), 10, "the icon to go with the shell")
    wait_for(lambda: not session.balloon_shown(), 15, "the balloon to go")
    expect_equal("shell_restart.exe announce", session.run_helper(instance, "shell_restart.exe",
                                                                   "announce"), 0)
    icons = wait_for(lambda: session.tray_icons(), 20, "the icon to come back")
    expect_equal("icons after the restart", len(icons), 1)
    time.sleep(3 * harness.TIME_SCALE)
    expect_equal("a balloon after the restart", session.balloon_shown(), False)
    instance.icon_x = icons[0]
    session.tray_menu(instance, "exit")
    expect_exit(instance, 0)
    wait_for(lambda: not session.tray_icons(), 10, "no icon left after Exit")
    expect_equal("stdout", instance.stdout(), "")
    expect_equal("stderr", instance.stderr(), bogus)

    # Its first two adds refused: the icon shows at the third, two seconds
    # apart. The same when the third add takes but is reported failed, as
    # when the shell times out.
    late = session.start_sorvak("bogus = 1\n", "late", program="sorvak_late_tray.exe")
    wait_for(session.balloon_shown, 15, "the balloon once the icon is there")
    wait_for(lambda: not session.balloon_shown(), 15, "the balloon to go")
    lost = session.start_sorvak("bogus = 1\n", "lost", program="sorvak_lost_add.exe")
    wait_for(session.balloon_shown, 15, "the balloon once the icon reported lost is there")
    # The later icon first: the earlier one keeps its place.
    for copy in (lost, late):
        session.tray_menu(copy, "exit")
        expect_exit(copy, 0)
        expect_equal(f"stderr of {copy.directory.name}", copy.stderr(), bogus)


def trail_window(session):
    """What window_state.exe says of the trail's window: "shown L T R B",
    "hidden" or "none"."""
    result = session.run_windows(session.bin_dir / "window_state.exe", "sorvak trail")
    return result.stdout.strip()


def scenario_trail(session):
    """trail = 1 draws the stroke over every window while the key is held,
    clicks on it reaching the window under it; at release the line goes and
    the outcome shows beside the pointer for about a second. With trail = 0
    nothing shows, before it was turned on as after. A press of the key
    without movement shows no window, a stroke shows one over its monitor, a
    stroke begun over an excluded program neither line nor label."""
    shutil.copy2(session.bin_dir / "count_clicks.exe", session.work)
    session.others.append(subprocess.Popen(
        [*harness.WINE, harness.windows_path(session.work / "count_clicks.exe")],
        env=harness.wine_env(session.display), stdin=subprocess.DEVNULL,
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    session.wait_for_window("count clicks", "the window that counts clicks")
    time.sleep(harness.TIME_SCALE)
    bare = harness.xdesktop.TrailScreen(session)
    instance = session.start_sorvak(
        lambda directory: f"right = {harness.windows_path(directory / 'record_args.exe')}\n"
                          "trail = 0\n")

    def set_trail(value):
        instance.write_conf(bind(instance, "right") + f"trail = {value}\n")
        session.tray_menu(instance, "reload")

    shots = harness.xdesktop.check_trail(session, bare, set_trail,
                                         session.work / "count_clicks.log", harness.TIME_SCALE)
    harness.SHOTS.mkdir(parents=True, exist_ok=True)
    for shot in shots:
        shutil.copy2(shot, harness.SHOTS / f"{shot.stem[3:]}-{harness.ARCH}.png")

    pause = 0.5 * harness.TIME_SCALE
    set_trail(1)
    # Ctrl+C with the hand on a still mouse.
    session.xdotool("mousemove", 300, 500, "keydown", "ctrl", "sleep", pause)
    pressed = trail_window(session)
    session.xdotool("keyup", "ctrl", "sleep", pause)
    expect_equal("the trail window, key held then released without a move",
                 (pressed, trail_window(session)), ("hidden", "hidden"))
    session.xdotool("mousemove", 300, 500, "keydown", "ctrl", "sleep", pause, "mousemove", 300, 440,
                    "sleep", pause)
    expect_equal("the trail window during a stroke", trail_window(session),
                 f"shown 0 0 {harness.SCREEN_W} {harness.SCREEN_H}")
    session.xdotool("keyup", "ctrl")
    wait_for(lambda: trail_window(session) == "hidden", 10, "the label to go", interval=0.5)

    instance.write_conf(bind(instance, "right") + "trail = 1\nexclude = COUNT_CLICKS.EXE\n")
    session.tray_menu(instance, "reload")
    # The click brings the window that counts them to the front.
    session.xdotool("mousemove", 850, 500, "click", 1, "sleep", pause)
    session.xdotool(*harness.xdesktop.gesture_script(
        [(harness.xdesktop.TRAIL_END[0] - harness.xdesktop.TRAIL_START[0], 0)],
        harness.xdesktop.TRAIL_START, ["keydown", "ctrl"], [], lambda x, y: True))
    time.sleep(pause)
    excluded = harness.xdesktop.TrailScreen(session)
    held = trail_window(session)
    session.xdotool("keyup", "ctrl", "sleep", pause)
    released = harness.xdesktop.TrailScreen(session)
    expect_equal("the trail window during a stroke over an excluded program", held, "hidden")
    expect_equal("the pixels on the stroke over an excluded program",
                 excluded.at(harness.xdesktop.ON_LINE), bare.at(harness.xdesktop.ON_LINE))
    expect_equal("rows of the label after it", released.label_height(), 0)
    session.send_close(instance)
    expect_exit(instance, 0)
    program = instance.helper_path("record_args.exe")
    expect_equal("stdout", instance.stdout(),
                 f"droite\n -> {program}\ndrag, no gesture\ndroite\n -> {program}\n"
                 f"droite\n -> {program}\ninsufficient movement\nhaut\n"
                 "excluded: COUNT_CLICKS.EXE\n")
    expect_equal("stderr", instance.stderr(), "")


def scenario_answers_messages(session):
    """A thread that called the shell and owns a window answers messages sent
    to it while it pauses between capture cycles."""
    result = session.run_windows(session.bin_dir / "answers_messages.exe", timeout=60)
    if result.returncode != 0:
        raise HarnessError(f"answers_messages.exe: status {result.returncode}, {result.stdout!r}")


CHECK_CONF = ("up = notepad.exe | readme.txt\n"
              "prec = 0\n"
              "bogus = 1\n"
              "left down = C:\\Outils\\été.exe\n"
              "key = 4\n")


def check_report(path, key, precision, bindings, trail="off"):
    text = f"file: {path}\ncapture key: {key}\nprecision: {precision}\ntrail: {trail}\n"
    for kind, _, label in sorted(KINDS, key=lambda k: SLOT_ORDER.index(k[0])):
        text += f"{kind:<11} {label:<17} {bindings.get(kind, 'unbound')}\n"
    return text


SLOT_ORDER = ["up", "down", "right", "up_right", "down_right", "vertical", "other", "horizontal",
              "up_left", "down_left", "left"]


def scenario_check_report(session):
    """sorvak-check prints what the program would run with and the loader's
    diagnostics byte for byte, accented ANSI text included; its status tells
    whether there were any."""
    folder = session.work / "chécked, conf"
    folder.mkdir()
    check = session.work / "sorvak-check.exe"
    shutil.copy2(session.bin_dir / "sorvak-check.exe", check)
    (folder / "conf.txt").write_bytes(CHECK_CONF.encode("cp1252"))
    conf = harness.windows_path(folder / "conf.txt")
    bound = {"up": "notepad.exe | readme.txt", "down_left": "C:\\Outils\\été.exe"}
    report = check_report(conf, "4 (middle mouse button)", 50, bound)
    diagnostics = ("imposible to have a precision of zero\n"
                   "   it'll be set to default value : 50\n"
                   "error in conf file, line 3\n"
                   "   unknown parameter bogus\n")
    for argument in (harness.windows_path(folder), conf):
        result = session.run_windows(check, argument)
        expect_equal(f"status for {argument}", result.returncode, 1)
        expect_equal("report", result.stdout, report)
        expect_equal("diagnostics", result.stderr, diagnostics)

    # On a console the same text shows, in order; started beside another
    # program on it (a command prompt) the checker ends, alone on it (a
    # double-click) it waits for Enter.
    command = f'"{harness.windows_path(check)}" "{harness.windows_path(folder)}"'
    delay = str(int(3000 * harness.TIME_SCALE))
    for mode, shown in (("shared", ""), ("alone", "running\n")):
        result = session.run_windows(session.bin_dir / "on_console.exe", mode, delay, command,
                                     timeout=60)
        tail = "\nPress Enter to close.\n" if mode == "alone" else ""
        expect_equal(f"console, {mode}",
                     (result.returncode, result.stdout.encode("latin-1").decode("utf-8")),
                     (0, shown + diagnostics + report + tail + "status 1\n"))

    (folder / "conf.txt").write_bytes(b"// clean\nright = calc.exe\nkey = 0x10\ntrail = 1\n")
    result = session.run_windows(check, harness.windows_path(folder))
    expect_equal("status of a clean file", result.returncode, 0)
    expect_equal("clean report", result.stdout,
                 check_report(conf, "16 (Shift)", 50, {"right": "calc.exe"}, trail="on"))
    expect_equal("clean diagnostics", result.stderr, "")

    # Without a path: the conf.txt beside the checker, here none.
    result = session.run_windows(check, cwd=folder)
    expect_equal("status without conf.txt", result.returncode, 1)
    expect_equal("missing file", result.stderr, "unable to find conf.txt\n")
    expect_equal("report of the defaults", result.stdout,
                 check_report(harness.windows_path(session.work / "conf.txt"), "17 (Ctrl)", 50, {}))

    # In code page 932 the second byte of 表 is a backslash: neither the
    # folder given nor the checker's own name, both ending with one, is cut
    # there.
    wide = session.work / "表"
    wide.mkdir()
    shutil.copy2(check, wide / "表.exe")
    (wide / "conf.txt").write_bytes(b"key = 0x10\n")
    report = check_report(harness.windows_path(wide / "conf.txt"), "16 (Shift)", 50, {})
    for args in ((), (harness.windows_path(wide),)):
        result = session.run_windows(wide / "表.exe", *args, locale="ja_JP.UTF-8")
        expect_equal(f"code page 932, arguments {args}",
                     (result.returncode, result.stdout, result.stderr),
                     (0, report.encode("cp932").decode("latin-1"), ""))

    (folder / "conf.txt").write_bytes(b"key = 0xG1\n")
    result = session.run_windows(check, harness.windows_path(folder))
    expect_equal("status on a malformed key", (result.returncode, result.stdout, result.stderr),
                 (1, "", "invalid hexadecimal value : G1\n"))

    for args in (("a", "b"), ("--bogus",)):
        result = session.run_windows(check, *args)
        expect_equal(f"usage error {args}", (result.returncode, result.stdout, result.stderr),
                     (2, "", "usage: sorvak-check [--live] [PATH]\n"))


def scenario_check_live(session):
    """sorvak-check --live prints the foreground program at each press and
    each gesture's lines as the gesture ends, while it runs, and starts
    nothing."""
    keeper = session.start_sorvak("key = 0\n", "keeper")  # keeps the desktop up, captures nothing
    start_windows_program(session, "notepad.exe", "notepad")
    directory = keeper.directory
    (directory / "conf.txt").write_bytes(
        f"right = {keeper.helper_path('record_args.exe')} | live\n".encode("ascii"))
    out = directory / "live.txt"
    with open(out, "wb") as stream:
        process = subprocess.Popen([*harness.WINE, keeper.helper_path("sorvak-check.exe"), "--live"],
                                   cwd=directory, env=harness.wine_env(session.display),
                                   stdin=subprocess.DEVNULL, stdout=stream,
                                   stderr=subprocess.DEVNULL)
    session.others.append(process)
    text = lambda: out.read_bytes().decode("latin-1").replace("\r\n", "\n")  # noqa: E731
    wait_for(lambda: "Watching gestures" in text(), 30, "the live checker to start")
    # Presses without movement until one shows: the loop is sampling then.
    for attempt in range(5):
        session.gesture([])
        try:
            wait_for(lambda: "insufficient movement" in text(), 5, "a press without movement")
            break
        except HarnessError:
            if attempt == 4:
                raise
    seen = [text()]
    wait_for(lambda: seen.append(text()) or seen[-1] == seen[-2], 10, "the output to settle",
             interval=1.0)
    before = seen[-1]
    session.gesture([(D, 0)])
    wait_for(lambda: text() == before + "foreground program: notepad.exe\n"
             f"droite\n -> {keeper.helper_path('record_args.exe')}\n",
             10, "the rightward stroke's lines while the checker runs")
    time.sleep(1.0)
    expect_equal("programs started by the live checker", keeper.recorded(), [])
    if process.poll() is not None:
        raise HarnessError(f"the live checker ended with status {process.returncode}")


RUN_COMMAND = harness.REPO / "scripts" / "run.sh"


def scenario_run_display(session):
    """The README's run command with a display: the program opens in a Wine
    desktop there, beside the sample conf.txt, answers a gesture, and prints
    what it printed when Exit ends it."""
    run_dir = session.work / "run"
    output = session.work / "run.out"
    env = {**os.environ, "DISPLAY": session.display, "RUN_DIR": str(run_dir)}
    with open(output, "wb") as out:
        process = subprocess.Popen([str(RUN_COMMAND)], env=env, stdin=subprocess.DEVNULL,
                                   stdout=out, stderr=subprocess.STDOUT)
    # The run command may first have to set the Wine prefix up.
    instance = session.adopt(Instance(session, run_dir, process), [], timeout=120)
    expect_equal("conf.txt beside the program",
                 instance.conf.read_bytes(),
                 (harness.REPO / "shell" / "dist" / "conf.txt").read_bytes())
    session.gesture([(D, 0)], start=(300, 300))
    session.wait_for_window("notepad", "Notepad, bound to the rightward stroke by the sample")
    session.gesture([])
    session.tray_menu(instance, "exit")
    expect_exit(instance, 0)
    text = output.read_bytes().decode("latin-1").replace("\r\n", "\n")
    expect_equal("run command output", text,
                 f"sorvak runs in the Wine desktop on {session.display} with {run_dir}/conf.txt.\n"
                 "Hold Ctrl, move the mouse, release Ctrl: right opens Notepad, left Explorer.\n"
                 "Right-click its icon (bottom right) to edit or reload conf.txt, or to exit.\n"
                 "What it prints appears here when it exits.\n"
                 "droite\n -> notepad.exe\ninsufficient movement\n")


def scenario_run_demo(session):
    """The README's run command without a display plays its demonstration on
    a private Xvfb, prints what the program printed and keeps a screenshot."""
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    result = subprocess.run([str(RUN_COMMAND)], env=env, stdin=subprocess.DEVNULL,
                            capture_output=True, timeout=240)
    out = result.stdout.decode("latin-1")
    if result.returncode != 0:
        raise HarnessError(f"run command: status {result.returncode}\n{out}"
                           f"{result.stderr.decode('latin-1')}")
    shot = harness.REPO / "build" / "demo.png"
    expect_equal("the end of the demonstration's output", out[out.index("sorvak.exe printed:"):],
                 "sorvak.exe printed:\ndroite\n -> notepad.exe\nhaut\nbas gauche\n"
                 f"trait horizontal\ninsufficient movement\nexit status 0; screenshot: {shot}\n")
    expect_equal("screenshot format", shot.read_bytes()[:8], b"\x89PNG\r\n\x1a\n")


SCENARIOS = {
    "gestures": scenario_gestures,
    "key_and_precision": scenario_key_and_precision,
    "drag_and_exclude": scenario_drag_and_exclude,
    "keys": scenario_keys,
    "tray_icon": scenario_tray_icon,
    "reload": scenario_reload,
    "edit": scenario_edit,
    "exit": scenario_exit,
    "bad_conf": scenario_bad_conf,
    "two_copies": scenario_two_copies,
    "start_paths": scenario_start_paths,
    "shell_restart": scenario_shell_restart,
    "answers_messages": scenario_answers_messages,
    "trail": scenario_trail,
    "check_report": scenario_check_report,
    "check_live": scenario_check_live,
    "run_display": scenario_run_display,
    "run_demo": scenario_run_demo,
}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--arch", choices=sorted(harness.ARCHES), default=harness.ARCH,
                        help="which build, and so which Wine, to run")
    parser.add_argument("--bin", help="directory holding sorvak.exe and the helpers "
                        "(default: build/ARCH/bin)")
    parser.add_argument("scenarios", nargs="+", choices=sorted(SCENARIOS) + ["all"])
    args = parser.parse_args()
    harness.use_arch(args.arch)
    args.bin = args.bin or str(harness.bin_dir())
    return harness.xdesktop.run_scenarios(SCENARIOS, args.scenarios,
                                          lambda name: Session(name, args.bin))


if __name__ == "__main__":
    sys.exit(main())
