"""Drives the native Linux sorvak for the acceptance scenarios.

A session owns a private Xvfb (black root, no window manager), optionally
trayer as the XEmbed tray host and a StatusNotifier host on the bus
(sni_host.py), or instead of them a Wayland display: a headless GNOME Shell
with its own notification service and tray host (its AppIndicator
extension, off until a scenario turns it on); and a work folder: each started copy of the program runs from
a folder of its own with its own conf.txt, and HOME is a folder of the work
folder's. The session bus comes from the dbus-run-session the test runs
under. PATH starts with a folder holding a stand-in xdg-open that records its
arguments. Input is injected with xdotool; the screen is read with
ImageMagick's `import`. Everything a session starts is ended by close().
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests" / "support"))
import xdesktop  # noqa: E402
from xdesktop import (HarnessError, SkipScenario, expect_equal, most_common,  # noqa: E402,F401
                      read_pixels, wait_for)
SHOTS = REPO / "build" / "linux-shots"
SCREEN_W, SCREEN_H = 800, 600
TRAY_HEIGHT = 32

# The disc of the program's icon (shell_common/make_icon.py), in RGB.
ICON_DISC = (0x10, 0x60, 0xC0)

GNOME_EXTENSIONS = "/usr/share/gnome-shell/extensions"
APPINDICATOR = "ubuntu-appindicators@ubuntu.com"

MENU_ITEMS = ("edit", "reload", "exit")
MENU_LABELS = {"edit": "Edit configuration", "reload": "Reload configuration", "exit": "Exit"}

# Writes its arguments one a line, then what it inherited and its process,
# group and session ids, then "--", to record.log beside itself: appended, so
# several runs can be told apart.
RECORDER = r"""#!/bin/sh
# The signal mask is read first and by the shell itself: while it waits for
# a command it runs, the shell blocks every signal.
while read -r key value; do [ "$key" = SigBlk: ] && blocked=$value; done </proc/$$/status
log="$(dirname "$0")/record.log"
{
  for a in "$@"; do printf 'arg=%s\n' "$a"; done
  printf 'blocked=%s\n' "$blocked"
  printf 'stdin=%s\n' "$(readlink /proc/$$/fd/0)"
  printf 'ids=%s\n' "$(ps -o pid= -o pgid= -o sid= -p $$)"
  echo --
} >> "$log"
"""

# GLib's own warnings ("(sorvak:123): Gdk-CRITICAL **: ...") are the
# libraries' business, not the program's diagnostics.
# A GTK window of the tests' own, named (its class on X11, its app_id on
# Wayland) by its first argument, that logs each key it gets to the file
# named second: '+' pressed or '-' released, the keyval's name, then "^"
# with C and S for Ctrl and Shift held meanwhile.
KEY_WINDOW = """
import gi, sys
gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, GLib, Gtk
GLib.set_prgname(sys.argv[1])
window = Gtk.Window(title=sys.argv[1])
window.set_default_size(300, 200)
def key(widget, event, sign):
    held = "".join(m for m, mask in (("C", Gdk.ModifierType.CONTROL_MASK),
                                     ("S", Gdk.ModifierType.SHIFT_MASK)) if event.state & mask)
    with open(sys.argv[2], "a") as log:
        log.write(f"{sign}{Gdk.keyval_name(event.keyval)}{'^' + held if held else ''}\\n")
window.connect("key-press-event", key, "+")
window.connect("key-release-event", key, "-")
window.show_all()
Gtk.main()
"""

GLIB_LOG = re.compile(r"^\(sorvak:\d+\): [\w-]+-(WARNING|CRITICAL|DEBUG|INFO|MESSAGE) \*\*")


def install_recorder(path):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(RECORDER)
    path.chmod(0o755)


def read_records(log):
    """The runs a recorder logged: one dict per run, 'args' a list."""
    if not log.exists():
        return []
    runs, current = [], {"args": []}
    for line in log.read_text().splitlines():
        if line == "--":
            runs.append(current)
            current = {"args": []}
        elif line.startswith("arg="):
            current["args"].append(line[4:])
        else:
            key, _, value = line.partition("=")
            current[key] = value
    return runs


def near(pixel, colour, tolerance=12):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


class Instance(xdesktop.Instance):
    """One running copy of sorvak in a folder of its own."""

    def write_conf(self, text):
        self.conf.write_text(text)

    def send(self, signal_number):
        self.process.send_signal(signal_number)

    def stdout(self):
        return (self.directory / "stdout.txt").read_text()

    def stderr(self):
        """The standard error without the libraries' log lines."""
        # conf.txt's bytes come back as they are, UTF-8 or not.
        lines = (self.directory / "stderr.txt").read_text(errors="surrogateescape").split("\n")
        kept = [line for line in lines if not GLIB_LOG.match(line)]
        # GLib puts a blank line before each of its messages.
        text = "\n".join(kept)
        return re.sub(r"\n\n+", "\n", text).lstrip("\n")

    def handled_signals(self):
        """The signals the process catches, from /proc."""
        status = Path(f"/proc/{self.process.pid}/status").read_text()
        mask = int(re.search(r"^SigCgt:\s*([0-9a-f]+)", status, re.M).group(1), 16)
        return {n for n in range(1, 65) if mask & (1 << (n - 1))}

    def wakeups(self):
        """Context switches so far of all the process's threads, voluntary
        and not: how often any of them woke."""
        total = 0
        for status in Path(f"/proc/{self.process.pid}/task").glob("*/status"):
            try:
                text = status.read_text()
            except OSError:  # a thread that has just ended
                continue
            total += sum(map(int, re.findall(r"^(?:non)?voluntary_ctxt_switches:\s*(\d+)", text,
                                             re.M)))
        return total

    def children(self):
        """(pid, state) of the process's children."""
        found = []
        for stat in Path("/proc").glob("[0-9]*/stat"):
            try:
                fields = stat.read_text().rsplit(")", 1)[1].split()
            except OSError:
                continue
            if int(fields[1]) == self.process.pid:
                found.append((int(stat.parent.name), fields[0]))
        return found


class Session(xdesktop.Session):
    def __init__(self, scenario, program, tray=True, sni=False, gnome=False):
        self.scenario = scenario
        self.program = Path(program)
        if not self.program.exists():
            raise SkipScenario(f"{self.program} not built")
        if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
            raise SkipScenario("no session bus: run under dbus-run-session")
        missing = [t for t in ("Xvfb", "xdotool", "trayer", "import") if not shutil.which(t)]
        if missing:
            raise HarnessError(f"missing {', '.join(missing)}: run scripts/setup.sh")
        self.tray = tray and not gnome
        self.sni = sni
        self.on_gnome = gnome
        self.gnome = None  # GNOME Shell on the bus, once started
        self.wayland_display = None
        self.host = None
        super().__init__(scenario, "linux")
        self.bin = self.work / "bin"
        install_recorder(self.bin / "xdg-open")
        self.runtime = self.work / "runtime"
        self.runtime.mkdir(mode=0o700)
        self.home = self.work / "home"
        self.home.mkdir()

    def start(self):
        if self.sni:
            self.start_sni_host()
        if self.on_gnome:
            self.start_gnome()
            return
        self.xvfb, self.display = xdesktop.start_xvfb(SCREEN_W, SCREEN_H, "-br")
        if self.tray:
            self.others.append(subprocess.Popen(
                ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel",
                 "--width", "160", "--height", str(TRAY_HEIGHT), "--transparent", "false",
                 "--tint", "0xdddddd", "--SetDockType", "false"],
                env=self.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            wait_for(self.tray_shown, 10, "trayer's panel")

    def start_gnome(self):
        """GNOME Shell headless on a virtual monitor, Wayland only, as on
        Debian with its AppIndicator extension installed but not on. It
        wants a system bus: a private one, with nothing on it."""
        missing = [t for t in ("gnome-shell", "dbus-daemon") if not shutil.which(t)]
        if missing or not Path(GNOME_EXTENSIONS, APPINDICATOR).is_dir():
            raise HarnessError("missing gnome-shell or its AppIndicator extension: "
                               "run scripts/setup.sh")
        system_bus = subprocess.Popen(
            ["dbus-daemon", "--config-file=/usr/share/dbus-1/session.conf", "--nofork",
             "--print-address=1"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.others.append(system_bus)
        address = system_bus.stdout.readline().decode().strip()
        runtime = self.work / "gnome-runtime"
        runtime.mkdir(mode=0o700)
        home = self.work / "gnome-home"
        home.mkdir()
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env.update(DBUS_SYSTEM_BUS_ADDRESS=address, XDG_RUNTIME_DIR=str(runtime), HOME=str(home),
                   XDG_SESSION_TYPE="wayland", NO_AT_BRIDGE="1")
        with open(self.work / "gnome-shell.log", "wb") as log:
            self.others.append(subprocess.Popen(
                ["gnome-shell", "--headless", "--wayland", "--no-x11", "--virtual-monitor",
                 f"{SCREEN_W}x{SCREEN_H}"], env=env, stdout=log, stderr=log))
        self.wayland_display = str(wait_for(lambda: next(runtime.glob("wayland-[0-9]"), None), 30,
                                            "GNOME Shell's Wayland socket"))
        import sni_host
        self.gnome = sni_host.GnomeShell()
        wait_for(self.gnome.running, 30, "GNOME Shell on the session bus")

    def env(self):
        env = dict(os.environ)
        env.update(NO_AT_BRIDGE="1", XDG_RUNTIME_DIR=str(self.runtime), HOME=str(self.home),
                   PATH=f"{self.bin}:{os.environ.get('PATH', '/usr/bin:/bin')}")
        # An X11 session, or a Wayland one on GNOME, whatever session the
        # tests run from.
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "XDG_CONFIG_HOME"):
            env.pop(name, None)
        if self.on_gnome:
            env.update(WAYLAND_DISPLAY=self.wayland_display, XDG_SESSION_TYPE="wayland")
        else:
            env.update(DISPLAY=self.display)
        return env

    def start_sni_host(self):
        # Imported here: only these sessions need the GObject bindings.
        import sni_host
        self.host = sni_host.StatusNotifierHost()

    def start_notification_server(self, **options):
        import sni_host
        self.notifications = sni_host.NotificationServer(**options)
        return self.notifications

    def after_kill(self):
        if self.host is not None:
            self.host.close()
            self.host = None
        if getattr(self, "notifications", None) is not None:
            self.notifications.close()
            self.notifications = None

    # -- the program ----------------------------------------------------------

    def new_folder(self, name="copy"):
        directory = self.work / f"{name}{len(self.instances)}"
        directory.mkdir()
        shutil.copy2(self.program, directory / "sorvak")
        return directory

    def start_sorvak(self, conf_text=None, directory=None, env=None, ready=True, args=()):
        """Starts a copy from `directory` (a new folder by default) with
        conf_text as its conf.txt (a function of the folder, a text, or None
        for no file) and `args` on its command line. Returns once it handles its signals and once its icon
        shows: an item registered with the StatusNotifier host when there
        is one, otherwise in trayer's panel when that runs."""
        directory = directory or self.new_folder()
        if callable(conf_text):
            conf_text = conf_text(directory)
        if conf_text is not None:
            (directory / "conf.txt").write_text(conf_text)
        # Its input is not /dev/null, so a started program's shows where it
        # came from.
        with open(directory / "stdout.txt", "wb") as out, \
                open(directory / "stderr.txt", "wb") as err, open("/dev/zero", "rb") as zero:
            process = subprocess.Popen([str(directory / "sorvak"), *args], cwd=directory,
                                       env=env if env is not None else self.env(),
                                       stdin=zero, stdout=out, stderr=err)
        instance = Instance(self, directory, process)
        self.instances.append(instance)
        items = len(self.host.registered()) if self.host else 0
        if ready:
            def handling():
                if not instance.running():
                    raise HarnessError(f"sorvak ended at start-up with status "
                                       f"{process.returncode}: {instance.stderr()!r}")
                return {signal.SIGHUP, signal.SIGINT, signal.SIGTERM} <= instance.handled_signals()
            wait_for(handling, 10, "sorvak to handle its signals")
            if self.host:
                wait_for(lambda: len(self.host.registered()) > items, 10,
                         "the item's registration with the StatusNotifier host")
            elif self.tray:
                wait_for(self.icon_centre, 10, "the tray icon")
            # The capture thread starts with the signal handlers.
            time.sleep(0.2)
        return instance

    # -- input ----------------------------------------------------------------

    def gesture(self, segments, key="ctrl", button=None, start=(400, 260), held=False):
        """Holds `key` (or pointer `button`), moves along [(dx, dy), ...] in
        small steps, releases. An empty list presses and releases only. With
        `held` the key is down already and only released."""
        press = [] if held else ["mousedown", button] if button else ["keydown", key]
        release = ["mouseup", button] if button else ["keyup", key]
        self.xdotool(*xdesktop.gesture_script(
            segments, start, press, release,
            lambda x, y: 0 <= x < SCREEN_W and 0 <= y < SCREEN_H - TRAY_HEIGHT))

    # -- screen ---------------------------------------------------------------

    def tray_box(self):
        return (SCREEN_W - 200, SCREEN_H - TRAY_HEIGHT, 200, TRAY_HEIGHT)

    def tray_shown(self):
        rows = read_pixels(self.display, self.tray_box())
        return any(p != (0, 0, 0) for p in rows[TRAY_HEIGHT // 2])

    def icon_centre(self):
        """Screen position of the program's icon in the tray, or None."""
        x0, y0, _, _ = self.tray_box()
        rows = read_pixels(self.display, self.tray_box())
        points = [(x, y) for y, row in enumerate(rows) for x, p in enumerate(row)
                  if near(p, ICON_DISC)]
        if len(points) < 40:
            return None
        return (x0 + sum(x for x, _ in points) // len(points),
                y0 + sum(y for _, y in points) // len(points))

    def menu_box(self):
        """(x, y, w, h) of the pop-up menu above the tray, or None."""
        area = (SCREEN_W // 2, SCREEN_H // 3, SCREEN_W // 2, SCREEN_H * 2 // 3 - TRAY_HEIGHT)
        rows = read_pixels(self.display, area)
        lit_rows = [i for i, row in enumerate(rows) if any(p != (0, 0, 0) for p in row)]
        if not lit_rows:
            return None
        top, bottom = lit_rows[0], lit_rows[-1] + 1
        lit_columns = [c for c in range(area[2]) if any(rows[r][c] != (0, 0, 0)
                                                        for r in range(top, bottom))]
        left, right = lit_columns[0], lit_columns[-1] + 1
        if right - left < 60 or bottom - top < 40:
            return None
        # The menu may run down over the tray: read it to the screen's bottom.
        return (area[0] + left, area[1] + top, right - left, SCREEN_H - area[1] - top)

    def open_tray_menu(self):
        x, y = wait_for(self.icon_centre, 10, "the tray icon")
        self.xdotool("mousemove", x, y, "sleep", 0.1, "click", 3)
        box = xdesktop.settled(self.menu_box, 10, "the tray menu to open", interval=0.1)
        self.screenshot("menu-open")
        return box

    def menu_item_rows(self, box):
        """Screen y of each item's text, found from the pixels: the bands of
        rows with ink on the menu's background, the separator too thin to
        count."""
        x, y, width, height = box
        rows = read_pixels(self.display, (x + 2, y + 1, width - 4, height - 1))
        background = most_common(rows)
        bands = xdesktop.text_bands(
            rows, lambda p: sum(abs(a - b) for a, b in zip(p, background)) > 150, y + 1)
        if len(bands) < len(MENU_ITEMS):
            raise HarnessError(f"the tray menu shows {len(bands)} items, not {len(MENU_ITEMS)}")
        return dict(zip(MENU_ITEMS, bands))

    def tray_menu(self, item):
        """Chooses item ('edit', 'reload', 'exit') of the latest icon's menu:
        through the StatusNotifier host when there is one, otherwise by
        right-clicking the icon in trayer's panel and clicking the item."""
        if self.host:
            registered = self.host.registered()[-1]
            entries = {p.get("label"): i for i, p in self.host.menu_layout(registered)}
            self.host.click(registered, entries[MENU_LABELS[item]])
            return
        box = self.open_tray_menu()
        row = self.menu_item_rows(box)[item]
        self.xdotool("mousemove", box[0] + box[2] // 3, row, "sleep", 0.2, "click", 1)
        wait_for(lambda: self.menu_box() is None, 10, "the tray menu to close")

    def icon_gone(self):
        """Whether no icon of the program is left: no item registered with
        the StatusNotifier host, or none in trayer's panel."""
        return self.host.registered() == [] if self.host else self.icon_centre() is None

    # -- failure evidence -----------------------------------------------------

    def keep_evidence(self):
        target = self.keep_shots(SHOTS / self.scenario)
        for log in self.work.glob("gnome-shell.log"):
            shutil.copy2(log, target / log.name)
        for instance in self.instances:
            for name in ("stdout.txt", "stderr.txt", "conf.txt", "record.log"):
                for source in instance.directory.rglob(name):
                    flat = str(source.relative_to(self.work)).replace("/", "-")
                    shutil.copy2(source, target / flat)
        print(f"evidence kept in {target}")
