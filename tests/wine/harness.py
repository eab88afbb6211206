"""Drives sorvak.exe under Wine for the acceptance scenarios.

A session owns a private Xvfb display and the shared Wine prefix of the
architecture under test (use_arch(): build/wine-prefix for the x86_64 build
under wine64, build/wine32-prefix for the shipped i686 build under the 32-bit
Wine of scripts/wine32.sh); the prefix's default desktop is a 1024x768 virtual
desktop, so every program started with Wine lands in the same desktop, its
notification area shows their tray icons, and Wine returns the program's own
exit status. Input is injected with xdotool; the screen is read with
ImageMagick's `import`. Everything a session starts is ended by close().
"""

import fcntl
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests" / "support"))
import xdesktop  # noqa: E402
from xdesktop import (HarnessError, SkipScenario, expect_equal, most_common,  # noqa: E402,F401
                      read_pixels, runs)
WINE64 = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
WINE32 = str(REPO / "scripts" / "wine32.sh")
# Per architecture: the commands that start a Windows program and the
# wineserver, the prefix, and how many times longer waits may take (the i686
# build runs under QEMU's emulation).
ARCHES = {
    "win64": ([WINE64], [WINESERVER], REPO / "build" / "wine-prefix", 1),
    "win32": ([WINE32, "wine"], [WINE32, "wineserver"], REPO / "build" / "wine32-prefix", 4),
}
ARCH = "win64"
WINE, WINESERVER_COMMAND, PREFIX, TIME_SCALE = ARCHES[ARCH]
# Bumped whenever ensure_prefix() changes what it sets up.
PREFIX_SETUP = "2"
SHOTS = REPO / "build" / "wine-shots"
SCREEN_W, SCREEN_H = 1024, 768

# Notification area of the virtual desktop's taskbar: icons sit in its last
# 20 pixels of height, packed from the right edge leftward.
TRAY_BOX = (SCREEN_W - 200, SCREEN_H - 18, 200, 16)
# Where a tray pop-up menu opens when the icon is right-clicked.
MENU_BOX = (SCREEN_W - 320, SCREEN_H - 260, 320, 240)
# Where a balloon from an icon shows, just over the notification area.
BALLOON_BOX = (SCREEN_W - 320, SCREEN_H - 160, 320, 130)

# The tray menu's items from the top (the separator between Reload and Exit
# holds no text and is not counted).
MENU_ITEMS = ("edit", "reload", "exit")


def use_arch(name):
    """Makes the sessions run the programs of build/NAME/bin ("win64" or "win32")."""
    global ARCH, WINE, WINESERVER_COMMAND, PREFIX, TIME_SCALE
    ARCH = name
    WINE, WINESERVER_COMMAND, PREFIX, TIME_SCALE = ARCHES[name]


def bin_dir():
    return REPO / "build" / ARCH / "bin"


def wait_for(condition, timeout, what, interval=0.1):
    """Polls condition() until it returns something truthy, for longer under
    emulation; returns it."""
    return xdesktop.wait_for(condition, timeout * TIME_SCALE, what, interval)


def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def wine_env(display=None):
    env = dict(os.environ)
    env.update(WINEPREFIX=str(PREFIX), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    if display is not None:
        env["DISPLAY"] = display
    return env


def ensure_prefix():
    """Creates the prefix once (10-60 s) and makes its default desktop virtual."""
    if ARCH == "win32":
        # Sets the emulated route up when it is not (minutes, told on stderr).
        subprocess.run([WINE32], stdin=subprocess.DEVNULL, timeout=1800, check=True)
    PREFIX.parent.mkdir(parents=True, exist_ok=True)
    ready = PREFIX / ".sorvak-ready"
    with open(PREFIX.parent / f"{PREFIX.name}.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if ready.exists() and ready.read_text() == PREFIX_SETUP:
            return
        env = wine_env()
        env.pop("DISPLAY", None)
        run = lambda *args, check=True: subprocess.run(  # noqa: E731
            [*WINE, *args], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            timeout=180 * TIME_SCALE, check=check)
        run("wineboot", "-i")
        run("reg", "add", r"HKCU\Software\Wine\Explorer", "/v", "Desktop", "/d", "Default", "/f")
        run("reg", "add", r"HKCU\Software\Wine\Explorer\Desktops", "/v", "Default", "/d",
            f"{SCREEN_W}x{SCREEN_H}", "/f")
        # wineboot's 32-bit half cannot run under wine64 where the kernel lacks
        # 32-bit support, and with it goes the .txt association that Edit relies on.
        if run("reg", "query", r"HKCR\.txt", "/ve", check=False).returncode != 0:
            run("reg", "add", r"HKCR\.txt", "/ve", "/d", "txtfile", "/f")
        # The registry reaches the disk when the server shuts down.
        subprocess.run([*WINESERVER_COMMAND, "-w"], env=env, timeout=120 * TIME_SCALE, check=True)
        ready.write_text(PREFIX_SETUP)


class Instance(xdesktop.Instance):
    """One running copy of sorvak.exe in a directory of its own."""

    def __init__(self, session, directory, process):
        super().__init__(session, directory, process)
        self.icon_x = None

    def write_conf(self, text):
        self.conf.write_bytes(text.encode("ascii"))

    def wait(self, timeout=20):
        return super().wait(timeout * TIME_SCALE)

    # Standard streams are flushed only when the process exits. They are in
    # the C library's default text mode, which writes each "\n" as "\r\n".
    def stdout(self):
        return self._stream("stdout.txt")

    def stderr(self):
        return self._stream("stderr.txt")

    def _stream(self, name):
        raw = (self.directory / name).read_bytes().decode("latin-1")
        text = raw.replace("\r\n", "\n")
        if text.replace("\n", "\r\n") != raw:
            raise HarnessError(f"{name} does not end its lines with CR LF: {raw!r}")
        return text

    def recorded(self):
        """Command lines record_args.exe wrote beside itself, one per run."""
        log = self.directory / "record_args.log"
        if not log.exists():
            return []
        return log.read_bytes().decode("latin-1").splitlines()

    def wait_recorded(self, count, timeout=15):
        return wait_for(lambda: len(self.recorded()) >= count and self.recorded(), timeout,
                        f"{count} run(s) of record_args.exe in {self.directory}")

    def helper_path(self, name):
        return windows_path(self.directory / name)


class Session(xdesktop.Session):
    """A private display with the virtual desktop, and what runs in it."""

    def __init__(self, scenario, bin_dir, helpers=True):
        self.scenario = scenario
        self.bin_dir = Path(bin_dir)
        self.exe = self.bin_dir / "sorvak.exe"
        if not self.exe.exists():
            raise SkipScenario(f"{self.exe} not built")
        self.helpers = ("record_args.exe", "send_close.exe", "start_unquoted.exe",
                        "shell_restart.exe", "sorvak-check.exe") if helpers else ()
        for helper in self.helpers:
            if not (self.bin_dir / helper).exists():
                raise HarnessError(f"{self.bin_dir / helper} missing (tests/wine/helpers/)")
        super().__init__(scenario, "wine")

    # -- life cycle ---------------------------------------------------------

    def start(self):
        ensure_prefix()
        # A stale server could hold a desktop on another display.
        self.wineserver_kill()
        self.xvfb, self.display = xdesktop.start_xvfb(SCREEN_W, SCREEN_H)

    def after_kill(self):
        # The Windows programs run under the server, not as children of ours.
        self.wineserver_kill()

    def wineserver_kill(self):
        subprocess.run([*WINESERVER_COMMAND, "-k"], env=wine_env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30 * TIME_SCALE)

    # -- programs -----------------------------------------------------------

    def start_sorvak(self, conf_text=None, name="copy", unquoted_argument=None,
                     program="sorvak.exe"):
        """Copies the program and helpers into a fresh directory and starts it
        there; returns once its tray icon is shown. conf_text: the text of
        conf.txt, a function of the directory giving it, or None for no file.
        unquoted_argument: start it through start_unquoted.exe with its path
        and this argument as an unquoted command line. program: the build
        copied as sorvak.exe (a test build of it)."""
        directory = self.work / f"{name}{len(self.instances)}"
        directory.mkdir()
        shutil.copy2(self.bin_dir / program, directory / "sorvak.exe")
        for exe in self.helpers:
            shutil.copy2(self.bin_dir / exe, directory / exe)
        if callable(conf_text):
            conf_text = conf_text(directory)
        if conf_text is not None:
            (directory / "conf.txt").write_bytes(conf_text.encode("ascii"))
        before = self.tray_icons()
        with open(directory / "stdout.txt", "wb") as out, \
                open(directory / "stderr.txt", "wb") as err:
            command = [*WINE, windows_path(directory / "sorvak.exe")]
            if unquoted_argument is not None:
                command[len(WINE):len(WINE)] = [windows_path(directory / "start_unquoted.exe")]
                command.append(unquoted_argument)
            process = subprocess.Popen(command,
                                       cwd=directory, env=wine_env(self.display),
                                       stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        return self.adopt(Instance(self, directory, process), before)

    def adopt(self, instance, before, timeout=90):
        """Takes a started copy into the session (ended by close()) and
        returns it once its tray icon, the one icon not in `before`, shows."""
        self.instances.append(instance)

        def new_icon():
            if not instance.running():
                stderr = instance.directory / "stderr.txt"
                raise HarnessError(f"sorvak.exe ended at start-up with status "
                                   f"{instance.process.returncode}"
                                   + (f": {instance.stderr()!r}" if stderr.exists() else ""))
            added = [x for x in self.tray_icons() if x not in before]
            return added[0] if len(added) == 1 else None

        instance.icon_x = wait_for(new_icon, timeout, "the tray icon of sorvak.exe", interval=0.3)
        # The capture thread starts just after the icon is added.
        time.sleep(0.3)
        return instance

    def run_helper(self, instance, name, *args, timeout=20):
        """Runs a helper program to completion; returns its exit status."""
        return self.run_windows(instance.directory / name, *args, timeout=timeout).returncode

    def run_windows(self, program, *args, timeout=20, cwd=None):
        """Runs a Windows program to completion on the session's desktop;
        returns the completed process, its streams as text with LF ends."""
        result = subprocess.run([*WINE, windows_path(program), *args], cwd=cwd,
                                env=wine_env(self.display), stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=timeout * TIME_SCALE)
        for stream in ("stdout", "stderr"):
            text = getattr(result, stream).decode("latin-1").replace("\r\n", "\n")
            setattr(result, stream, text)
        return result

    def send_close(self, instance):
        status = self.run_helper(instance, "send_close.exe")
        if status != 0:
            raise HarnessError("send_close.exe found no sorvak window")

    # -- input --------------------------------------------------------------

    def gesture(self, segments, key="ctrl", start=(512, 384), button=None):
        """Holds `key` (or mouse `button`), moves along segments [(dx, dy),
        ...] in small steps, releases. An empty list presses and releases
        without moving."""
        press, release = (["mousedown", button], ["mouseup", button]) if button else \
            (["keydown", key], ["keyup", key])
        self.xdotool(*xdesktop.gesture_script(
            segments, start, press, release,
            lambda x, y: 0 <= x < SCREEN_W and 0 <= y < SCREEN_H - 30))

    # -- screen -------------------------------------------------------------

    def tray_icons(self):
        """Centres (screen x) of the icons in the notification area, left to right."""
        x0, _, width, _, = TRAY_BOX
        rows = read_pixels(self.display, TRAY_BOX)
        background = most_common(rows)
        busy = [any(row[c] != background for row in rows) for c in range(width)]
        # Narrower marks are taskbar edges, not icons.
        return [x0 + (start + end) // 2 for start, end in runs(busy) if end - start >= 8]

    def menu_box(self):
        """Screen rectangle (x, y, w, h) of the pop-up menu over the desktop
        above the notification area, or None when there is none. The menu
        opens at the icon, so it always crosses the bottom row of MENU_BOX;
        another window on the desktop (an editor) does not."""
        x0, y0, width, height = MENU_BOX
        rows = read_pixels(self.display, MENU_BOX)
        desktop = most_common(rows)
        spans = runs([pixel != desktop for pixel in rows[-1]])
        if not spans:
            return None
        left, right = max(spans, key=lambda span: span[1] - span[0])
        if right - left < 60:
            return None
        middle, top = (left + right) // 2, height - 1
        while top > 0 and rows[top - 1][middle] != desktop:
            top -= 1
        if height - top < 20:
            return None
        return (x0 + left, y0 + top, right - left, height - top)

    def menu_visible(self):
        return self.menu_box() is not None

    def balloon_shown(self):
        """Whether something stands over the notification area, where the
        bare desktop is all one colour."""
        rows = read_pixels(self.display, BALLOON_BOX)
        return len({pixel for row in rows for pixel in row}) > 1

    def open_tray_menu(self, instance):
        # A balloon stands where the menu opens and would be read as part of
        # it: it is waited out (ten seconds at most).
        wait_for(lambda: not self.balloon_shown(), 15, "a balloon to go")
        self.xdotool("mousemove", instance.icon_x, SCREEN_H - 10, "sleep", 0.1, "click", 3)
        # Fully drawn: the same rectangle twice running.
        return xdesktop.settled(self.menu_box, 10 * TIME_SCALE, "the tray menu to open")

    def menu_item_rows(self, box):
        """Screen y of the middle of each item's text in the open menu, found
        from the pixels so that no font metrics are assumed. The menu may run
        over the taskbar, so it is read from its top edge down to the screen's
        bottom; its first bands of text rows, top down, are its items."""
        x, y, width, _ = box
        # Inside the left border, where every item's text begins; the icon's
        # tip, when it shows, stays over the right-hand part.
        area = (x + 3, y + 1, width * 2 // 5, SCREEN_H - y - 1)
        rows = read_pixels(self.display, area)
        background = most_common(rows)
        bands = xdesktop.text_bands(rows, lambda pixel: pixel != background, area[1])
        if len(bands) < len(MENU_ITEMS):
            raise HarnessError(f"the tray menu shows {len(bands)} items, not {len(MENU_ITEMS)}")
        return dict(zip(MENU_ITEMS, bands))

    def pick_menu_item(self, box, item):
        """Clicks an item of the open menu. The mouse, not the keyboard: with
        two copies running, keys may go to the other copy's thread."""
        x, _, width, _ = box
        row = self.menu_item_rows(box)[item]
        self.xdotool("mousemove", x + width // 3, row, "sleep", 0.2, "click", 1)

    def tray_menu(self, instance, item):
        """Right-clicks the instance's icon and picks item ('edit', 'reload', 'exit')."""
        self.pick_menu_item(self.open_tray_menu(instance), item)
        wait_for(lambda: not self.menu_visible(), 10, "the tray menu to close", interval=0.2)

    def window_titles(self):
        result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "."],
                                env={**os.environ, "DISPLAY": self.display},
                                capture_output=True, text=True, timeout=20)
        titles = []
        for window in result.stdout.split():
            name = subprocess.run(["xdotool", "getwindowname", window],
                                  env={**os.environ, "DISPLAY": self.display},
                                  capture_output=True, text=True, timeout=20)
            titles.append(name.stdout.strip())
        return titles

    def wait_for_window(self, word, what, timeout=30):
        """Waits for windows whose titles hold `word` (any case); returns their titles."""
        return wait_for(lambda: [t for t in self.window_titles() if word in t.lower()], timeout,
                        what, interval=0.5)

    # -- failure evidence ---------------------------------------------------

    def keep_evidence(self):
        target = self.keep_shots(
            SHOTS / (self.scenario if ARCH == "win64" else f"{ARCH}-{self.scenario}"))
        for instance in self.instances:
            for stream in ("stdout.txt", "stderr.txt", "conf.txt", "record_args.log"):
                source = instance.directory / stream
                if source.exists():
                    shutil.copy2(source, target / f"{instance.directory.name}-{stream}")
        print(f"evidence kept in {target}")
