#!/usr/bin/env python3
"""Acceptance scenarios for the native Linux sorvak, one per CTest test.

usage: scenarios.py --program PATH [--no-xinput LIBRARY] SCENARIO...
Run under dbus-run-session. Exit status 77 when the program has not been
built, there is no session bus or no_xinput lacks its library, 1 on failure.
"""

import argparse
import grp
import os
import shutil
import signal
import socket
import subprocess
import sys
import time

import harness
from harness import Session, expect_equal, read_records, wait_for

D = 200  # travel of one stroke; well past any threshold at precision 50

SAMPLE = harness.REPO / "linux" / "resources" / "conf-linux.txt"
VERSION = "1.1.8"

KINDS = harness.xdesktop.gesture_kinds(D)
SEGMENTS = {kind: segments for kind, segments, _ in KINDS}
LABELS = {kind: label for kind, _, label in KINDS}


def start_for(segments):
    """A start point from which the movement stays on screen."""
    return harness.xdesktop.centred_start(segments, (400, 260))


def make(session, kind, **press):
    session.gesture(SEGMENTS[kind], start=start_for(SEGMENTS[kind]), **press)


def recorder_in(directory):
    """A recording program in a folder whose name holds a space."""
    path = directory / "my tools" / "record args"
    harness.install_recorder(path)
    return path


def wait_records(log, count, timeout=10):
    return wait_for(lambda: len(read_records(log)) >= count and read_records(log), timeout,
                    f"{count} run(s) recorded in {log}")


def expect_exit(instance, status, timeout=10):
    expect_equal(f"exit status of {instance.directory.name}", instance.wait(timeout), status)


def wakeup_rate(instance, seconds):
    """Wakeups a second of all the program's threads over `seconds`."""
    before = instance.wakeups()
    time.sleep(seconds)
    return (instance.wakeups() - before) / seconds


# -- scenarios ----------------------------------------------------------------

def scenario_gestures(session):
    """All eleven kinds print their label, bound ones their program too; a
    press without movement is too small, and so is each of ten taps with no
    time between press and release; the output is whole at exit."""
    bound = {"right", "down_left", "vertical", "other"}

    def conf(directory):
        program = recorder_in(directory)
        return "// bindings\n" + "".join(f"{k} = {program} | {k}\n" for k in sorted(bound))

    instance = session.start_sorvak(conf)
    program = instance.directory / "my tools" / "record args"
    expected = ""
    for kind, _, label in KINDS:
        make(session, kind)
        expected += f"{label}\n" + (f" -> {program}\n" if kind in bound else "")
    session.gesture([])
    session.xdotool(*["keydown", "--delay", 0, "ctrl", "keyup", "--delay", 0, "ctrl",
                      "sleep", 0.1] * 10)
    expected += "insufficient movement\n" * 11
    runs = wait_records(program.parent / "record.log", len(bound))
    expect_equal("programs started", sorted(r["args"][0] for r in runs), sorted(bound))
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)
    expect_equal("standard output", instance.stdout(), expected)
    expect_equal("standard error", instance.stderr(), "")


def scenario_bound_program(session):
    """A bound executable gets its parameters split as a shell splits words,
    starts with no blocked signal, /dev/null as input and a session of its
    own (the terminal sorvak came from does not end it), and leaves no child
    behind."""
    parameters = r"""plain "two words" 'single "inner"' back\ slash "say \"hi\"" $HOME end"""
    expected_args = ["plain", "two words", 'single "inner"', "back slash", 'say "hi"', "$HOME",
                     "end"]

    def conf(directory):
        return f"right = {recorder_in(directory)} | {parameters}\nup = record-on-path | x y\n"

    harness.install_recorder(session.bin / "record-on-path")
    instance = session.start_sorvak(conf)
    make(session, "right")
    make(session, "up")
    log = instance.directory / "my tools" / "record.log"
    run = wait_records(log, 1)[0]
    expect_equal("arguments", run["args"], expected_args)
    expect_equal("blocked signals", run["blocked"], "0000000000000000")
    expect_equal("standard input", run["stdin"], "/dev/null")
    pid, group, session_id = run["ids"].split()
    expect_equal("process group and session", (group, session_id), (pid, pid))
    expect_equal("program found on PATH", wait_records(session.bin / "record.log", 1)[0]["args"],
                 ["x", "y"])
    # Ended programs are reaped; nothing stays.
    wait_for(lambda: instance.children() == [], 5, "no child of sorvak left")
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)


def scenario_document(session):
    """Anything that is not a program the kernel runs goes to xdg-open, with
    the parameters as further arguments only when there are some: a text
    file with the execute bit (every file on a FAT or NTFS mount) too. A
    file the kernel refuses is never handed to a shell: the launch fails and
    says why."""
    def conf(directory):
        (directory / "notes.txt").write_text("notes\n")
        for name, head in (("exec.txt", ""), ("broken", "\x7fELF\n")):
            (directory / name).write_text(f"{head}touch {directory / 'ran'}\n")
            (directory / name).chmod(0o755)
        return (f"down = {directory / 'notes.txt'}\n"
                f"left = {directory}\n"
                "up = https://example.org/a?b | --flag 'two words'\n"
                f"right = {directory / 'exec.txt'}\n"
                f"up_right = {directory / 'broken'}\n")

    instance = session.start_sorvak(conf)
    for kind in ("down", "left", "up", "right", "up_right"):
        make(session, kind)
    runs = wait_records(session.bin / "record.log", 4)
    expect_equal("xdg-open arguments", [r["args"] for r in runs],
                 [[str(instance.directory / "notes.txt")], [str(instance.directory)],
                  ["https://example.org/a?b", "--flag", "two words"],
                  [str(instance.directory / "exec.txt")]])
    refused = f"unable to start {instance.directory / 'broken'}: Exec format error\n"
    wait_for(lambda: instance.stderr() == refused, 5, "the refused start's line")
    expect_equal("lines run by a shell", (instance.directory / "ran").exists(), False)
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)


def scenario_shift_key(session):
    """A reload to key = 0x10 takes effect at once, for a Shift held already
    too (no key event comes until its stroke ends); then Shift captures
    (either side), Ctrl no longer does."""
    instance = session.start_sorvak("")
    session.xdotool("mousemove", *start_for(SEGMENTS["down"]), "keydown", "shift", "sleep", 0.3)
    instance.write_conf("key = 0x10\n")
    instance.send(signal.SIGHUP)
    make(session, "down", key="shift", held=True)
    make(session, "right", key="ctrl")
    make(session, "left", key="shift")
    make(session, "up", key="Shift_R")
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)
    expect_equal("standard output", instance.stdout(), "bas\ngauche\nhaut\n")


def click_during_stroke(session, press=("keydown", "ctrl"), release=("keyup", "ctrl")):
    """A stroke right with a left click of no duration in the middle of it."""
    session.xdotool("mousemove", 200, 200, *press, "sleep", 0.15, "mousemove", 350, 200,
                    "mousedown", 1, "mouseup", 1, "mousemove", 500, 200, "sleep", 0.15,
                    *release, "sleep", 0.15)


def scenario_mouse_button_key(session):
    """key = 4 is the middle button, and a button pressed during its stroke
    makes it a drag, but not its own; key = 5 the first side button. With
    Ctrl, a drag with the left button held and a quick click during the
    stroke launch nothing."""
    instance = session.start_sorvak("key = 4\n")
    make(session, "right", key="ctrl")
    make(session, "down", button=2)
    make(session, "up", button=3)
    click_during_stroke(session, press=("mousedown", 2), release=("mouseup", 2))
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)
    expect_equal("standard output (middle button)", instance.stdout(),
                 "bas\ndrag, no gesture\n")

    ctrl = session.start_sorvak(lambda directory: f"right = {recorder_in(directory)} | r\n")
    session.xdotool(*harness.xdesktop.gesture_script(
        [(D, 0)], (200, 300), ["keydown", "ctrl", "mousedown", 1],
        ["mouseup", 1, "keyup", "ctrl"], lambda x, y: True))
    click_during_stroke(session)
    make(session, "right")
    log = ctrl.directory / "my tools" / "record.log"
    wait_records(log, 1)
    ctrl.send(signal.SIGTERM)
    expect_exit(ctrl, 0)
    expect_equal("standard output (Ctrl)", ctrl.stdout(),
                 f"drag, no gesture\ndrag, no gesture\ndroite\n -> {log.parent / 'record args'}\n")
    expect_equal("runs (Ctrl)", len(read_records(log)), 1)

    side = session.start_sorvak("key = 5\n")
    make(session, "left", button=8)
    make(session, "up", button=2)
    # A click with no time between press and release still counts.
    session.xdotool("mousedown", 8, "mouseup", 8, "sleep", 0.1)
    side.send(signal.SIGTERM)
    expect_exit(side, 0)
    expect_equal("standard output (side button)", side.stdout(),
                 "gauche\ninsufficient movement\n")


PROBE_WINDOW = """
import gi, sys
gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk
GLib.set_prgname(sys.argv[1])
window = Gtk.Window(title=sys.argv[1])
window.set_default_size(300, 200)
window.show_all()
Gtk.main()
"""


def focused_window(session, command, name):
    """Starts `command`, waits for its window of instance name `name` and
    gives it the keyboard focus (there is no window manager to do it).
    Returns the window and the process."""
    process = subprocess.Popen(command, env=session.env(), stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    session.others.append(process)
    found = subprocess.run(["xdotool", "search", "--sync", "--classname", f"^{name}$"],
                           env=session.env(), capture_output=True, text=True, timeout=20)
    window = found.stdout.split()[0]
    session.xdotool("windowmap", "--sync", window, "windowfocus", "--sync", window)
    return window, process


def set_property(session, window, name, form, value):
    subprocess.run(["xprop", "-id", window, "-f", name, form, "-set", name, str(value)],
                   env=session.env(), check=True, timeout=20)


def scenario_exclude(session):
    """An exclude line turns gestures off while the program it names has the
    focus, named by its executable or either WM_CLASS name, in any case; over
    another program the same stroke launches. A window from another host
    (forwarded by ssh -X) whose _NET_WM_PID is a process here is not taken
    for that process: only a WM_CLIENT_MACHINE naming this host is."""
    python = os.path.basename(os.path.realpath("/usr/bin/python3"))

    def conf(excluded):
        return lambda directory: (f"right = {recorder_in(directory)} | r\n" +
                                  "".join(f"exclude = {name}\n" for name in excluded))

    def reload(excluded):
        instance.write_conf(conf(excluded)(instance.directory))
        instance.send(signal.SIGHUP)
        time.sleep(0.3)

    instance = session.start_sorvak(conf([python.upper()]))
    _, probe = focused_window(session, ["/usr/bin/python3", "-c", PROBE_WINDOW, "notes"], "notes")
    make(session, "right")
    for excluded in (["NOTES"], ["mstsc.exe", "notes"]):
        reload(excluded)
        make(session, "right")
    memo, _ = focused_window(session, ["xmessage", "-name", "memo", "-geometry", "+500+50", "memo"],
                             "memo")
    make(session, "right")
    reload([python.upper()])
    set_property(session, memo, "_NET_WM_PID", "32c", probe.pid)
    for machine in ("elsewhere.example", socket.gethostname()):
        set_property(session, memo, "WM_CLIENT_MACHINE", "8s", machine)
        make(session, "right")
    log = instance.directory / "my tools" / "record.log"
    wait_records(log, 2)

    # Program blocks, by a WM_CLASS name and by the executable's name: in
    # front of their program a kind they bind uses their binding, another
    # the one for every program.
    program = recorder_in(instance.directory)
    instance.write_conf(f"right = {program} | every\nup = {program} | up\n"
                        f"program = JOT\nright = {program} | jot\n"
                        f"program = xmessage\nup = {program} | xmessage\n")
    instance.send(signal.SIGHUP)
    time.sleep(0.3)
    focused_window(session, ["/usr/bin/python3", "-c", PROBE_WINDOW, "jot"], "jot")
    make(session, "right")
    make(session, "up")
    focused_window(session, ["xmessage", "-name", "pad", "-geometry", "+500+50", "pad"], "pad")
    make(session, "up")
    make(session, "right")
    runs = wait_records(log, 6)
    expect_equal("blocks' programs", [run["args"][0] for run in runs[2:]],
                 ["jot", "up", "xmessage", "every"])
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)
    launched = f"droite\n -> {log.parent / 'record args'}\n"
    expect_equal("standard output", instance.stdout(),
                 f"excluded: {python.upper()}\nexcluded: NOTES\nexcluded: notes\n"
                 f"{launched}{launched}excluded: {python.upper()}\n" + launched +
                 launched.replace("droite", "haut") * 2 + launched)
    expect_equal("standard error", instance.stderr(), "")


def scenario_keys(session):
    """keys: bindings press their keys in the focused window through XTest:
    a sequence types its letters in order, a chord holds its modifiers over
    its last key and releases all in reverse, and the capture key among them
    starts no capture. A binding with an unknown name is said at load and
    presses nothing."""
    log = session.work / "keys.log"
    focused_window(session, ["/usr/bin/python3", "-c", harness.KEY_WINDOW, "keylog", str(log)],
                   "keylog")
    instance = session.start_sorvak("right = keys: a b c\nleft = KEYS: Ctrl+Shift+T\n"
                                    "up = keys: nosuch+a\n")
    for kind in ("right", "left", "up"):
        make(session, kind)
    user = ["+Control_L", "-Control_L^C"]
    expected = (user + ["+a", "-a", "+b", "-b", "+c", "-c"] + user +
                ["+Control_L", "+Shift_L^C", "+T^CS", "-T^CS", "-Shift_L^CS", "-Control_L^C"] +
                user)
    wait_for(lambda: log.exists() and len(log.read_text().split()) >= len(expected), 10,
             "the keys in the window")
    time.sleep(0.3)
    expect_equal("keys the window got", log.read_text().split(), expected)
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)
    expect_equal("standard output", instance.stdout(),
                 "droite\n -> keys: a b c\ngauche\n -> KEYS: Ctrl+Shift+T\nhaut\n")
    expect_equal("standard error", instance.stderr(),
                 "unknown key name nosuch in keys definition, binding ignored\n")


def scenario_keys_portal(session):
    """In a Wayland session whose compositor offers no virtual keyboard, keys
    go through the desktop's RemoteDesktop portal: one session with the
    keyboard, which the portal may keep (its token is saved for the next
    start), then each key as a keysym, pressed and released in order.
    Without the portal either, keys cannot be sent, which is said once, on
    the standard error and in a notice; programs still start."""
    import desktop_stand_ins
    state = session.work / "state"
    env = {**session.env(), "WAYLAND_DISPLAY": "sorvak-no-compositor",
           "XDG_STATE_HOME": str(state)}
    conf = "right = keys: ctrl+a b\nleft = true\n"
    portal = desktop_stand_ins.RemoteDesktopPortal()
    started = [("CreateSession",), ("SelectDevices", 1, 2, None), ("Start",)]
    first = session.start_sorvak(conf, env=env, args=["--input=x11"])
    wait_for(lambda: portal.received() == started, 10, "the remote desktop session to start")
    make(session, "right")
    keys = [("key", 0xFFE3, 1), ("key", 0x61, 1), ("key", 0x61, 0), ("key", 0xFFE3, 0),
            ("key", 0x62, 1), ("key", 0x62, 0)]
    wait_for(lambda: len(portal.received()) >= len(started + keys), 10, "the keys at the portal")
    expect_equal("portal calls", portal.received(), started + keys)
    expect_equal("token kept", (state / "sorvak" / "remote-desktop-token").read_text(), "token-1")
    first.send(signal.SIGTERM)
    expect_exit(first, 0)
    second = session.start_sorvak(conf, env=env, args=["--input=x11"])
    wait_for(lambda: ("Start",) in portal.received()[len(started + keys):], 10,
             "the second session to start")
    expect_equal("the permission restored", portal.received()[len(started + keys) + 1],
                 ("SelectDevices", 1, 2, "token-1"))
    second.send(signal.SIGTERM)
    expect_exit(second, 0)
    portal.close()

    server = session.start_notification_server()
    neither = session.start_sorvak(conf, env=env, args=["--input=x11"])
    wait_for(server.received, 10, "the notice that keys cannot be sent")
    make(session, "right")
    make(session, "left")
    time.sleep(0.3)
    neither.send(signal.SIGTERM)
    expect_exit(neither, 0)
    why = ("the compositor offers no virtual keyboard and no RemoteDesktop portal answers on "
           "the session bus")
    expect_equal("standard error", neither.stderr(),
                 f"keys cannot be sent in this session: {why}\n")
    expect_equal("standard output", neither.stdout(),
                 "droite\n -> keys: ctrl+a b\ngauche\n -> true\n")
    expect_equal("notice", [note[2:4] for note in server.received()],
                 [("sorvak cannot send keys", f"keys: bindings do nothing in this session: {why}\n"
                   "Gestures that start programs still work.")])


def scenario_wayland_windows(session):
    """In a Wayland session the program in front is asked of the desktop:
    Hyprland through its request socket, KDE Plasma through a KWin script
    sorvak loads at start and unloads at its end, which reports each window
    activated. Exclude lines and program blocks then work there, by the
    process's executable or the desktop's names for the window."""
    import desktop_stand_ins
    sleeper = subprocess.Popen(["sleep", "600"])
    session.others.append(sleeper)
    conf = ("right = true\nexclude = sleep\nprogram = Firefox\nright = /bin/true\n")
    env = {**session.env(), "WAYLAND_DISPLAY": "sorvak-no-compositor"}
    expected = "excluded: sleep\ndroite\n -> /bin/true\ndroite\n -> true\n"

    hyprland = desktop_stand_ins.HyprlandSocket(str(session.runtime), "sorvak-test")
    instance = session.start_sorvak(conf, env={**env, "HYPRLAND_INSTANCE_SIGNATURE": "sorvak-test"},
                                    args=["--input=x11"])
    for window in (("kitty", "kitty", sleeper.pid), ("firefox", "firefox", 0),
                   ("kitty", "kitty", 0)):
        hyprland.activate(*window)
        make(session, "right")
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)
    hyprland.close()
    expect_equal("standard output (Hyprland)", instance.stdout(), expected)
    expect_equal("standard error (Hyprland)", instance.stderr(), "")
    expect_equal("requests (Hyprland)", set(hyprland.requests), {"j/activewindow"})

    kwin = desktop_stand_ins.KWinScripting()
    instance = session.start_sorvak(conf, env=env, args=["--input=x11"])
    script = f"sorvak-{instance.process.pid}"
    wait_for(lambda: ("start",) in kwin.received(), 10, "the script to be started")
    for window in (("Navigator", "navigator", sleeper.pid), ("navigator", "firefox", 0),
                   ("konsole", "konsole", 0)):
        kwin.activate(*window)
        time.sleep(0.3)
        make(session, "right")
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)
    kwin.close()
    expect_equal("standard output (KWin)", instance.stdout(), expected)
    expect_equal("standard error (KWin)", instance.stderr(), "")
    expect_equal("calls (KWin)", kwin.received(),
                 [("unloadScript", script), ("loadScript", script), ("start",),
                  ("unloadScript", script)])


def scenario_unmapped_key(session):
    """A key code with no X11 equivalent is said once a load, and captures
    nothing. --input=x11 keeps the X11 input in what looks like a Wayland
    session."""
    line = "key value 3 has no X11 equivalent, the capture key is never down\n"
    env = dict(session.env(), WAYLAND_DISPLAY="wayland-none", XDG_SESSION_TYPE="wayland")
    instance = session.start_sorvak("key = 3\n", env=env, args=["--input=x11"])
    make(session, "right", key="ctrl")
    expect_equal("standard error after start", instance.stderr(), line)
    instance.send(signal.SIGHUP)
    wait_for(lambda: instance.stderr() == line * 2, 5, "the notice again after SIGHUP")
    instance.write_conf("key = 17\n")
    instance.send(signal.SIGHUP)
    time.sleep(0.3)
    make(session, "left")
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)
    expect_equal("standard output", instance.stdout(), "gauche\n")
    expect_equal("standard error at exit", instance.stderr(), line * 2)


def scenario_keyboard_layout(session):
    """A layout set after the start is seen: with key = 0x41 (A) the key is
    found where the new layout puts it (setxkbmap fr moves A to the key Q
    had)."""
    if not shutil.which("setxkbmap"):
        raise harness.HarnessError("missing setxkbmap: run scripts/setup.sh")
    instance = session.start_sorvak("key = 0x41\n")
    make(session, "right", key="a")
    subprocess.run(["setxkbmap", "-display", session.display, "fr"], check=True, timeout=20)
    time.sleep(0.3)
    make(session, "left", key="a")
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)
    expect_equal("standard output", instance.stdout(), "droite\ngauche\n")


def scenario_one_copy(session):
    """One copy per configuration folder: a second start for the running
    copy's, reached by another path and after an editor replaced the file,
    ends at once with status 0 and says nothing, and the running copy shows
    a notice; a copy with a conf.txt of its own runs beside it, and the
    folder is free again once its copy has ended."""
    server = session.start_notification_server()
    first = session.start_sorvak(None)
    conf = session.home / ".config" / "sorvak" / "conf.txt"
    saved = conf.with_name("conf.txt.new")
    saved.write_text("prec = 40\n")
    saved.replace(conf)
    alias = session.work / "alias"
    alias.symlink_to(session.home / ".config")
    for env in (session.env(), {**session.env(), "XDG_CONFIG_HOME": str(alias)}):
        second = session.start_sorvak(None, env=env, ready=False)
        expect_exit(second, 0)
        expect_equal("the second start's output", (second.stdout(), second.stderr()), ("", ""))
    icon = str(session.runtime / "sorvak-icons" / "sorvak.png")
    wait_for(lambda: len(server.received()) >= 2, 5, "the running copy's notices")
    expect_equal("notices", server.received(),
                 [("sorvak", icon, "sorvak", "sorvak is already running", 10000)] * 2)
    beside = session.start_sorvak("")
    expect_equal("copies running", (first.running(), beside.running()), (True, True))
    first.send(signal.SIGTERM)
    expect_exit(first, 0)
    again = session.start_sorvak(None)
    expect_equal("a start after the copy ended", again.running(), True)
    for instance in (beside, again):
        instance.send(signal.SIGTERM)
        expect_exit(instance, 0)


def reload_scenario(session, reload):
    """The file is read again: a new binding applies, an absent key keeps
    its value, and errors are reported as at start."""
    def conf(directory):
        recorder_in(directory)
        return "right = first\n"

    instance = session.start_sorvak(conf)
    program = instance.directory / "my tools" / "record args"
    make(session, "right")
    instance.write_conf(f"right = {program} | again\nbogus = 1\n")
    reload(instance)
    wait_for(lambda: "unknown parameter" in instance.stderr(), 5, "the reload's diagnostics")
    make(session, "right")
    expect_equal("arguments after reload",
                 wait_records(program.parent / "record.log", 1)[0]["args"], ["again"])
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)
    expect_equal("standard output", instance.stdout(),
                 f"droite\n -> first\ndroite\n -> {program}\n")
    expect_equal("standard error", instance.stderr(),
                 "unable to start first: program not found\n"
                 "error in conf file, line 2\n   unknown parameter bogus\n")


def scenario_reload_sighup(session):
    reload_scenario(session, lambda instance: instance.send(signal.SIGHUP))


def scenario_reload_menu(session):
    reload_scenario(session, lambda instance: session.tray_menu("reload"))


def scenario_notice(session):
    """A start and a reload that report problems each send one desktop
    notification, a clean reload none; the body is escaped for a server
    that reads markup, plain for one that does not; without a notification
    service the program says nothing about it and runs on."""
    server = session.start_notification_server()
    marked = "a&<b> = notepad.exe\n"
    instance = session.start_sorvak(marked)
    icon = str(session.runtime / "sorvak-icons" / "sorvak.png")
    advice = "\nRun sorvak-check to see them all."
    expected = [("sorvak", icon, "sorvak: conf.txt has 1 problem",
                 "line 1: unknown parameter a&amp;&lt;b&gt;" + advice, 10000)]
    wait_for(lambda: len(server.received()) >= 1, 5, "the start's notification")
    # Not UTF-8: what the bus cannot carry is replaced, not refused.
    broken = b"// c\nbad\xe9 = 1\nprec = 0\n"
    instance.conf.write_bytes(broken)
    instance.send(signal.SIGHUP)
    expected.append(("sorvak", icon, "sorvak: conf.txt has 2 problems",
                     "line 2: unknown parameter bad\ufffd" + advice, 10000))
    wait_for(lambda: len(server.received()) >= 2, 5, "the reload's notification")
    instance.write_conf("up = notepad.exe\n")
    instance.send(signal.SIGHUP)
    time.sleep(0.5)
    make(session, "up")
    expect_equal("notifications", server.received(), expected)
    server.close()

    plain = session.start_notification_server(markup=False)
    instance.write_conf(marked)
    instance.send(signal.SIGHUP)
    wait_for(plain.received, 5, "the notification to a plain-text server")
    expect_equal("plain-text notification", plain.received(),
                 [("sorvak", icon, "sorvak: conf.txt has 1 problem",
                   "line 1: unknown parameter a&<b>" + advice, 10000)])
    plain.close()
    session.notifications = None
    diagnostics = (b"error in conf file, line 2\n   unknown parameter bad\xe9\n"
                   b"imposible to have a precision of zero\n"
                   b"   it'll be set to default value : 50\n")
    instance.conf.write_bytes(broken)
    instance.send(signal.SIGHUP)
    wait_for(lambda: instance.stderr().count("bad") == 2, 5, "the diagnostics without a service")
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)
    expect_equal("standard output", instance.stdout(), "haut\n -> notepad.exe\n")
    marked_error = b"error in conf file, line 1\n   unknown parameter a&<b>\n"
    expect_equal("standard error", instance.stderr().encode("utf-8", "surrogateescape"),
                 marked_error + diagnostics + b"unable to start notepad.exe: program not found\n"
                 + marked_error + diagnostics)


def scenario_edit_menu(session):
    """Edit hands conf.txt to xdg-open whatever it holds: never run, even
    with the execute bit and a first line naming an interpreter."""
    instance = session.start_sorvak("#!/bin/sh\nprec = 50\n")
    instance.conf.chmod(0o755)
    session.tray_menu("edit")
    expect_equal("xdg-open arguments", wait_records(session.bin / "record.log", 1)[0]["args"],
                 [str(instance.directory / "conf.txt")])
    expect_equal("still running", instance.running(), True)
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)


def scenario_exit_menu(session):
    """Exit removes the icon and ends the program with status 0, its output
    complete."""
    instance = session.start_sorvak("")
    make(session, "down")
    session.tray_menu("exit")
    expect_exit(instance, 0)
    expect_equal("standard output", instance.stdout(), "bas\n")
    wait_for(session.icon_gone, 5, "the icon to go")


def scenario_terminate(session):
    """SIGTERM and SIGINT end the program as Exit does, icon removed."""
    for signal_number in (signal.SIGTERM, signal.SIGINT):
        instance = session.start_sorvak("")
        make(session, "up")
        instance.send(signal_number)
        expect_exit(instance, 0)
        expect_equal(f"standard output ({signal_number.name})", instance.stdout(), "haut\n")
        wait_for(lambda: session.icon_centre() is None, 5, "the icon to go")


def scenario_no_tray_host(session):
    """Without a tray host, gestures, reloads and signals still work, and
    the program says once how the menu's commands are reached. A launch that
    fails says why on the standard error, its output as always."""
    instance = session.start_sorvak('up = nothing-here\ndown = true | -e "vim\n')
    make(session, "up")
    make(session, "down")
    instance.write_conf("up =|\n")
    instance.send(signal.SIGHUP)
    time.sleep(0.3)
    make(session, "up")
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)
    expect_equal("standard output", instance.stdout(),
                 "haut\n -> nothing-here\nbas\n -> true\nhaut\n")
    expect_equal("standard error", instance.stderr(),
                 NO_TRAY + "unable to start nothing-here: program not found\n"
                 "unable to start true: unclosed quote in parameters\n")


def scenario_idle(session):
    """Idle, the program wakes at most twice a second; a stroke made after
    10 s of it is seen from its start (a horizontal one would be "gauche"
    without it)."""
    instance = session.start_sorvak("")
    rate = wakeup_rate(instance, 10)
    if rate > 2:
        raise harness.HarnessError(f"{rate:.1f} wakeups a second idle")
    make(session, "horizontal")
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)
    expect_equal("standard output", instance.stdout(), "trait horizontal\n")


def scenario_no_xinput(session):
    """A server without the input extension, and an Xlib that must be told
    of threads: the key is sampled, as the program's threads waking a
    hundred times a second show, and strokes work."""
    if NO_XINPUT is None:
        raise harness.SkipScenario("no --no-xinput library given")
    env = session.env()
    env["LD_PRELOAD"] = NO_XINPUT
    instance = session.start_sorvak("", env=env)
    rate = wakeup_rate(instance, 1)
    if rate < 50:
        raise harness.HarnessError(f"{rate:.1f} wakeups a second: the key is not sampled")
    make(session, "right")
    make(session, "up_left")
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)
    expect_equal("standard output", instance.stdout(), "droite\nhaut gauche\n")
    # The library also stands for an Xlib before 1.8, which says when a
    # display is opened before XInitThreads.
    expect_equal("standard error", instance.stderr(), "")


def scenario_no_display(session):
    """No display: one line on the standard error and status 1, after the
    configuration's own diagnostics. An --input= that names no input: its
    usage and status 2, before anything else."""
    wrong = session.start_sorvak("prec = 0\n", ready=False, args=["--input=wayland"])
    expect_exit(wrong, 2)
    expect_equal("standard error (--input=wayland)", wrong.stderr(),
                 "usage: sorvak [--input=x11|libinput] [--edit|--reload|--exit]\n")
    env = session.env()
    env.pop("DISPLAY")
    instance = session.start_sorvak("prec = 0\n", env=env, ready=False)
    expect_exit(instance, 1)
    expect_equal("standard error", instance.stderr(),
                 "imposible to have a precision of zero\n"
                 "   it'll be set to default value : 50\n"
                 "cannot open display\n")
    expect_equal("standard output", instance.stdout(), "")


def created_line(conf):
    return f"created {conf} from the commented sample\n"


def permission_line(conf, problem):
    return f"warning : {conf} is {problem}: whoever can change it chooses what runs\n"


def scenario_xdg_conf(session):
    """Without conf.txt beside the program the user's is used: written from
    the sample at the first start (folder 0700, file 0600), opened by Edit,
    and warned about at each load while others can change it."""
    instance = session.start_sorvak(None)
    conf = session.home / ".config" / "sorvak" / "conf.txt"
    expected_err = created_line(conf)
    expect_equal("standard error at the first start", instance.stderr(), expected_err)
    expect_equal("the file written", conf.read_text(), SAMPLE.read_text())
    expect_equal("modes of the folders and the file",
                 [oct(p.stat().st_mode & 0o777) for p in (conf.parents[1], conf.parent, conf)],
                 ["0o700", "0o700", "0o600"])
    session.tray_menu("edit")
    expect_equal("file Edit opens", wait_records(session.bin / "record.log", 1)[0]["args"],
                 [str(conf)])

    # (mode, owner, group, the warning): only root can give the file away.
    root = os.geteuid() == 0
    problems = [(0o606, -1, -1, "writable by others")]
    if root:
        users = grp.getgrnam("users").gr_gid
        problems += [(0o620, -1, users, "writable by group"),
                     (0o622, 1, users, "owned by uid 1 and writable by group and others")]
    for mode, owner, group, problem in problems:
        conf.chmod(mode)
        os.chown(conf, owner, group)
        instance.send(signal.SIGHUP)
        expected_err += permission_line(conf, problem)
        wait_for(lambda: instance.stderr() == expected_err, 5, f"the warning for {problem}")
    # Put right, the file is read without a word; the load always went on.
    # root's own private group, which holds no one else, may write it.
    os.chown(conf, os.geteuid(), os.getegid())
    conf.chmod(0o660 if root else 0o600)
    with conf.open("a") as file:
        file.write("bogus = 1\n")
    instance.send(signal.SIGHUP)
    lines = len(conf.read_text().splitlines())
    expected_err += f"error in conf file, line {lines}\n   unknown parameter bogus\n"
    wait_for(lambda: instance.stderr() == expected_err, 5, "the reload of the file put right")
    harness.install_recorder(session.bin / "x-terminal-emulator")
    make(session, "right")
    expect_equal("the sample's binding of right",
                 wait_records(session.bin / "record.log", 2)[1]["args"], [])
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)


def item_summary(session, item):
    properties = session.host.properties(item)
    return {key: properties[key] for key in ("Id", "Title", "Status", "Category", "IconName",
                                              "IconThemePath")}


def scenario_sni_item(session):
    """With a StatusNotifier host on the bus the icon is an item there, read
    as a panel reads it: id, title, status, icon, and a menu of the three
    commands and the separator. The XEmbed fall-back does not show as well."""
    instance = session.start_sorvak("")
    items = session.host.registered()
    expect_equal("items registered", len(items), 1)
    expect_equal("the item", item_summary(session, items[0]),
                 {"Id": "sorvak", "Title": f"sorvak {VERSION}", "Status": "Active",
                  "Category": "ApplicationStatus",
                  "IconName": str(session.runtime / "sorvak-icons" / "sorvak.png"),
                  "IconThemePath": ""})
    expect_equal("the menu", [(p.get("type", "standard"), p.get("label"))
                              for _, p in session.host.menu_layout(items[0])],
                 [("standard", "Edit configuration"), ("standard", "Reload configuration"),
                  ("separator", None), ("standard", "Exit")])
    for _ in range(5):
        expect_equal("an icon in trayer's panel too", session.icon_centre(), None)
        time.sleep(0.2)
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)
    wait_for(session.icon_gone, 5, "the item to leave the bus")


def scenario_package(session):
    """The package cpack makes, unpacked into a temporary root, nothing
    installed on the machine: it holds what an installed program needs,
    depends on libinput, and lintian finds no error or warning in it, nor
    desktop-file-validate in its menu entry; run from there, the program
    writes the user's conf.txt from the sample, a gesture bound in it starts
    its program, and the icon is the theme's, found under that root, in
    trayer's panel and then through a StatusNotifier host that comes up
    later."""
    build = session.program.parents[1]
    out = session.work / "package"
    subprocess.run([shutil.which("cpack"), "--config", build / "CPackConfig.cmake", "-B", out],
                   check=True, capture_output=True, timeout=120)
    deb = out / f"sorvak_{VERSION}_amd64.deb"
    root = session.work / "root"
    subprocess.run(["dpkg-deb", "-x", deb, root], check=True, timeout=30)
    files = sorted(str(p.relative_to(root)) for p in root.rglob("*") if not p.is_dir())
    icons = [f"usr/share/icons/hicolor/{n}x{n}/apps/sorvak.png"
             for n in (16, 22, 24, 32, 48, 64, 128)]
    expect_equal("files", files, sorted(
        ["usr/bin/sorvak", "usr/bin/sorvak-check", "usr/share/applications/sorvak.desktop",
         "usr/share/doc/sorvak/changelog.gz", "usr/share/doc/sorvak/conf.txt",
         "usr/share/doc/sorvak/copyright", "usr/share/man/man1/sorvak-check.1.gz",
         "usr/share/man/man1/sorvak.1.gz", *icons]))
    # The libraries found by dpkg-shlibdeps: a Wayland session needs libinput.
    depends = subprocess.run(["dpkg-deb", "-f", deb, "Depends"], check=True, capture_output=True,
                             text=True, timeout=30).stdout
    expect_equal("libinput among the dependencies", "libinput10" in depends, True)
    lint = subprocess.run(["lintian", "--fail-on", "error,warning", deb], capture_output=True,
                          text=True, timeout=120)
    if lint.returncode != 0:
        raise harness.HarnessError(f"lintian failed:\n{lint.stdout}{lint.stderr}")
    if not shutil.which("desktop-file-validate"):
        raise harness.HarnessError("missing desktop-file-validate: run scripts/setup.sh")
    entry = root / "usr/share/applications/sorvak.desktop"
    checked = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True,
                             timeout=30)
    expect_equal("desktop-file-validate", (checked.returncode, checked.stdout + checked.stderr),
                 (0, ""))

    harness.install_recorder(session.bin / "x-terminal-emulator")
    # Its folder holds a file named as its icon, the executable: the icon
    # must still come from the theme.
    instance = session.start_sorvak(None, directory=root / "usr" / "bin")
    conf = session.home / ".config" / "sorvak" / "conf.txt"
    expect_equal("standard error", instance.stderr(), created_line(conf))
    expect_equal("the file written", conf.read_bytes(),
                 (root / "usr/share/doc/sorvak/conf.txt").read_bytes())
    make(session, "right")
    expect_equal("terminal started", wait_records(session.bin / "record.log", 1)[0]["args"], [])
    expect_equal("icon file written", (session.runtime / "sorvak-icons").exists(), False)

    session.start_sni_host()
    item = wait_for(session.host.registered, 10, "the item's registration")[0]
    expect_equal("the item's icon", {k: v for k, v in item_summary(session, item).items()
                                      if k.startswith("Icon")},
                 {"IconName": "sorvak", "IconThemePath": str(root / "usr/share/icons")})
    wait_for(lambda: session.icon_centre() is None, 5, "the XEmbed icon to give way")
    session.tray_menu("exit")
    expect_exit(instance, 0)


def scenario_check(session):
    """sorvak-check reads the file the program would (beside it, else the
    user's, written from the sample) or the PATH given, reports it with the
    program's Linux warnings, and with --live prints each gesture's lines at
    once, starting nothing."""
    folder = session.work / "checker"
    folder.mkdir()
    shutil.copy2(session.program.parent / "sorvak-check", folder)

    def check(*args, env=None):
        result = subprocess.run([folder / "sorvak-check", *args], env=env or session.env(),
                                cwd=session.work, capture_output=True, text=True, timeout=20)
        shown = [line for line in result.stdout.splitlines()
                 if line.startswith(("file: ", "capture key: ", "right ", "exclude "))]
        return result.returncode, shown, result.stderr

    harness.install_recorder(session.bin / "x-terminal-emulator")
    conf = session.home / ".config" / "sorvak" / "conf.txt"
    report = [f"file: {conf}", "capture key: 17 (Ctrl)",
              "right       droite            x-terminal-emulator"]
    expect_equal("no file yet", check(), (0, report, created_line(conf)))
    expect_equal("the user's file", check(), (0, report, ""))

    beside = folder / "conf.txt"
    beside.write_text("key = 3\nbogus\nright = a b | c\nexclude = mstsc.exe\n"
                      "program = firefox\nup = nowhere-at-all\n")
    beside.chmod(0o646)
    for argument in ([], ["checker/../checker"], [str(beside)]):
        expect_equal(f"the file beside, {argument}", check(*argument),
                     (1, [f"file: {beside}", "capture key: 3",
                          "right       droite            a b | c", "exclude     mstsc.exe"],
                      "error in conf file, line 2\n   missing value, line skipped\n"
                      + permission_line(beside, "writable by others")
                      + "key value 3 has no X11 equivalent, the capture key is never down\n"
                      + "right: unable to start a b: program not found\n"
                      + "up in program firefox: unable to start nowhere-at-all: program not "
                      "found\n"))
    wayland = check(str(beside), env={**session.env(), "XDG_SESSION_TYPE": "wayland"})
    expect_equal("in a Wayland session, a line of", "note : the foreground program cannot be "
                 "known in a Wayland session: exclude lines are ignored and gestures work "
                 "everywhere" in wayland[2].splitlines(), True)
    beside.unlink()

    blocked = session.work / "not a folder"
    blocked.write_text("")
    user = blocked / "sorvak" / "conf.txt"
    expect_equal("no user folder", check(env={**session.env(), "XDG_CONFIG_HOME": str(blocked)}),
                 (1, [f"file: {user}", "capture key: 17 (Ctrl)",
                      "right       droite            unbound"],
                  f"unable to create {user}: Not a directory\nunable to find conf.txt\n"))
    expect_equal("usage", check("a", "b"), (2, [], "usage: sorvak-check [--live] [PATH]\n"))
    no_display = {k: v for k, v in session.env().items() if k != "DISPLAY"}
    expect_equal("live without a display", check("--live", env=no_display)[::2],
                 (1, "cannot open display\n"))

    conf.write_text('right = x-terminal-emulator | -e "vim\n')
    expect_equal("a binding that cannot start", check(),
                 (1, report[:2] + [report[2] + ' | -e "vim'],
                  "right: unable to start x-terminal-emulator: unclosed quote in parameters\n"))

    recorder = recorder_in(folder)
    conf.write_text(f"right = {recorder} | live\n")
    output = session.work / "live.txt"
    with open(output, "wb") as stream:
        live = subprocess.Popen([folder / "sorvak-check", "--live"], env=session.env(),
                                stdin=subprocess.DEVNULL, stdout=stream, stderr=subprocess.DEVNULL)
    session.others.append(live)
    wait_for(lambda: "Watching gestures" in output.read_text(), 10, "the live checker to start")
    focused_window(session, ["xmessage", "-name", "memo", "memo"], "memo")
    time.sleep(0.3)
    before = output.read_text()
    make(session, "right")
    wait_for(lambda: output.read_text() == before + "foreground program: memo, Xmessage\n"
             f"droite\n -> {recorder}\n", 10,
             "the stroke's lines while the checker runs")
    time.sleep(0.5)
    expect_equal("programs started", read_records(recorder.parent / "record.log"), [])
    expect_equal("still watching", live.poll(), None)

# A window at (100, 150), 800 by 400, that logs where each press lands.
CLICK_WINDOW = """
import gi, sys
gi.require_version("Gtk", "3.0")
from gi.repository import Gtk
window = Gtk.Window(title="count clicks")
window.set_default_size(800, 400)
window.move(100, 150)
seen = []
def pressed(widget, event):
    if event.time not in seen:  # GTK may hand one press over twice
        seen.append(event.time)
        with open(sys.argv[1], "a") as log:
            log.write(f"{event.x_root:.0f} {event.y_root:.0f}\\n")
window.connect("button-press-event", pressed)
window.show_all()
Gtk.main()
"""


def trail_over_a_window(session, env=None):
    """The trail's checks over a window that logs its clicks, the program
    started with `env` added to the session's; returns the screenshots."""
    clicks = session.work / "clicks.log"
    session.others.append(subprocess.Popen(["/usr/bin/python3", "-c", CLICK_WINDOW, str(clicks)],
                                           env=session.env(), stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL))
    subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^count clicks$"],
                   env=session.env(), capture_output=True, timeout=20)
    time.sleep(0.5)
    bare = harness.xdesktop.TrailScreen(session)
    instance = session.start_sorvak("right = true\ntrail = 0\n",
                                    env={**session.env(), **(env or {})})

    def set_trail(value):
        instance.write_conf(f"right = true\ntrail = {value}\n")
        instance.send(signal.SIGHUP)
        time.sleep(0.3)

    shots = harness.xdesktop.check_trail(session, bare, set_trail, clicks)
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)
    expect_equal("standard output", instance.stdout(),
                 "droite\n -> true\ndrag, no gesture\ndroite\n -> true\ndroite\n -> true\n")
    expect_equal("standard error", instance.stderr(), "")
    return shots


def trail_window(session):
    """The trail's window, if the program made one."""
    found = subprocess.run(["xdotool", "search", "--name", "^sorvak trail$"], env=session.env(),
                           capture_output=True, text=True, timeout=20)
    return found.stdout.split()


def scenario_trail(session):
    """trail = 1 draws the stroke over every window while the key is held,
    clicks on it reaching the window under it; at release the line goes and
    the outcome shows beside the pointer for about a second. With trail = 0
    nothing shows, before it was turned on as after. The input in use
    decides, not the session: read from X11 (--input=x11) in what looks like
    a Wayland session the line is drawn; read from
    the input devices (--input=libinput), whose points are not the display's,
    even in an X11 session, nothing is drawn. Which program is in front is
    asked of the session's desktop, whatever the input: the X server here,
    so exclude lines get no note."""
    shots = trail_over_a_window(session)
    harness.SHOTS.mkdir(parents=True, exist_ok=True)
    for shot in shots:
        shutil.copy2(shot, harness.SHOTS / f"{shot.stem[3:]}.png")

    conf = "trail = 1\nexclude = nothing-here\n"
    x11 = session.start_sorvak(conf, env={**session.env(), "XDG_SESSION_TYPE": "wayland"},
                               args=["--input=x11"])
    points = harness.xdesktop.ON_LINE
    session.xdotool(*harness.xdesktop.gesture_script(
        [(harness.xdesktop.TRAIL_END[0] - harness.xdesktop.TRAIL_START[0], 0)],
        harness.xdesktop.TRAIL_START, ["keydown", "ctrl"], [], lambda x, y: True))
    wait_for(lambda: harness.xdesktop.TrailScreen(session).at(points)
             == [harness.xdesktop.LINE_COLOUR] * len(points), 10, "the line read from X11")
    session.xdotool("keyup", "ctrl")
    x11.send(signal.SIGTERM)
    expect_exit(x11, 0)
    # The program in front is the session's desktop's to tell, whatever the
    # input: this one does not.
    expect_equal("standard error (X11 input)", x11.stderr(),
                 "note : the foreground program cannot be known in a Wayland session: exclude "
                 "lines are ignored and gestures work everywhere\n")

    devices = session.start_sorvak(conf, args=["--input=libinput"])
    expect_equal("the trail's window (devices)", trail_window(session), [])
    expect_equal("the exclude note (devices)",
                 [line for line in devices.stderr().splitlines() if line.startswith("note :")], [])
    devices.send(signal.SIGTERM)
    expect_exit(devices, 0)


def scenario_trail_scaled(session):
    """On a desktop scaled 2x, where GTK places windows in pixels twice the
    server's (GDK_SCALE=2), the label still shows beside the pointer."""
    trail_over_a_window(session, {"GDK_SCALE": "2"})


def scenario_trail_notice(session):
    """Where the line cannot be drawn (a server without the shape
    extension) each stroke's outcome is a desktop notice of about a second,
    which takes the place of the one before and is marked transient, so a
    desktop that lists past notices does not keep them."""
    if NO_SHAPE is None:
        raise harness.SkipScenario("no --no-shape library given")
    server = session.start_notification_server()
    instance = session.start_sorvak("trail = 1\n", env={**session.env(), "LD_PRELOAD": NO_SHAPE})
    expect_equal("the trail's window", trail_window(session), [])
    for count, kind in enumerate(("up", "right"), 1):
        make(session, kind)
        wait_for(lambda: len(server.received()) == count, 5, f"notice {count}")
    instance.send(signal.SIGTERM)
    expect_exit(instance, 0)
    icon = str(session.runtime / "sorvak-icons" / "sorvak.png")
    expect_equal("notices", server.received(), [("sorvak", icon, "sorvak", "haut", 1000),
                                                ("sorvak", icon, "sorvak", "droite", 1000)])
    first = server.replaced()[0][2]
    expect_equal("what each replaced, its hints and its number", server.replaced(),
                 [(0, {"transient": True}, first), (first, {"transient": True}, first)])


def scenario_commands(session):
    """sorvak --edit, --reload and --exit, the menu entry's actions, have
    the copy running for the same conf.txt folder carry out the tray menu's
    command and end with status 0, saying nothing; with none running each
    says so and ends with status 1, writing no conf.txt."""
    def command(directory, option):
        result = subprocess.run([directory / "sorvak", option], env=session.env(),
                                capture_output=True, text=True, timeout=30)
        return result.returncode, result.stdout, result.stderr

    instance = session.start_sorvak("up = true\n")
    expect_equal("--edit", command(instance.directory, "--edit"), (0, "", ""))
    expect_equal("file --edit opens", wait_records(session.bin / "record.log", 1)[0]["args"],
                 [str(instance.conf)])
    instance.write_conf("bogus = 1\n")
    expect_equal("--reload", command(instance.directory, "--reload"), (0, "", ""))
    reloaded = "error in conf file, line 1\n   unknown parameter bogus\n"
    wait_for(lambda: instance.stderr() == reloaded, 5, "the reload's diagnostics")
    expect_equal("--exit", command(instance.directory, "--exit"), (0, "", ""))
    expect_exit(instance, 0)
    wait_for(session.icon_gone, 5, "the icon to go")
    for directory in (instance.directory, session.new_folder()):
        for option in ("--edit", "--reload", "--exit"):
            expect_equal(f"{option} with no copy running for {directory.name}",
                         command(directory, option), (1, "", "sorvak is not running\n"))
    expect_equal("the user's conf.txt written", (session.home / ".config").exists(), False)
    expect_equal("runs of xdg-open", len(read_records(session.bin / "record.log")), 1)


NO_TRAY = ("no tray host: the icon cannot be shown\n"
           "   Edit, Reload and Exit are sorvak --edit, --reload and --exit, also offered by the "
           "menu entry\n")


def raw_stderr(instance):
    """The standard error with the libraries' own lines."""
    return (instance.directory / "stderr.txt").read_text(errors="replace")


def scenario_gnome_tray(session):
    """Under GNOME Shell on Wayland, whose tray host is its AppIndicator
    extension, off unless turned on: without it the program makes no XEmbed
    icon (GTK cannot, there), says once that no icon can be shown and how the
    menu's commands are reached, GTK reports nothing critical, and sorvak
    --exit reaches it; with it on, GNOME's own host lists the program's item,
    as started before or after it."""
    first = session.start_sorvak("")
    wait_for(lambda: NO_TRAY in first.stderr(), 10, "the word on the missing tray")
    expect_equal("GNOME's tray items before its extension is on", session.gnome.items(), [])
    expect_equal("the extension turned on", session.gnome.enable_extension(harness.APPINDICATOR),
                 True)
    item = wait_for(session.gnome.items, 20, "GNOME's host to list the item")[0]
    properties = session.gnome.item_properties(item)
    expect_equal("the item", {key: properties[key] for key in ("Id", "Title", "Status")},
                 {"Id": "sorvak", "Title": f"sorvak {VERSION}", "Status": "Active"})
    second = session.start_sorvak("")
    wait_for(lambda: len(session.gnome.items()) == 2, 20, "GNOME's host to list the second item")
    for instance in (first, second):
        exited = subprocess.run([instance.directory / "sorvak", "--exit"], env=session.env(),
                                capture_output=True, text=True, timeout=30)
        expect_equal("sorvak --exit", (exited.returncode, exited.stdout, exited.stderr),
                     (0, "", ""))
        expect_exit(instance, 0)
        expect_equal("GTK's critical errors",
                     [line for line in raw_stderr(instance).splitlines() if "CRITICAL" in line], [])
    expect_equal("the words on the missing tray", (first.stderr().count(NO_TRAY),
                                                   second.stderr().count(NO_TRAY)), (1, 0))


NO_XINPUT = None  # set from the command line
NO_SHAPE = None

SCENARIOS = {name[len("scenario_"):]: function for name, function in globals().items()
             if name.startswith("scenario_")}
# The menu's scenarios run again with a StatusNotifier host on the bus.
for name in ("reload_menu", "edit_menu", "exit_menu"):
    SCENARIOS[f"sni_{name}"] = SCENARIOS[name]
# Scenarios that need no tray host.
WITHOUT_TRAY = {"no_tray_host", "no_display", "check"}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True, help="the built sorvak")
    parser.add_argument("--no-xinput", help="the library that hides the input extension (no_xinput)")
    parser.add_argument("--no-shape", help="the library that hides the shape extension (no_shape)")
    parser.add_argument("scenarios", nargs="+", choices=sorted(SCENARIOS) + ["all"])
    args = parser.parse_args()
    global NO_XINPUT, NO_SHAPE
    NO_XINPUT = args.no_xinput
    NO_SHAPE = args.no_shape
    return harness.xdesktop.run_scenarios(
        SCENARIOS, args.scenarios,
        lambda name: Session(name, args.program, tray=name not in WITHOUT_TRAY,
                             sni=name.startswith("sni_"), gnome=name.startswith("gnome_")))


if __name__ == "__main__":
    sys.exit(main())
