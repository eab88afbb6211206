#!/usr/bin/env python3
"""The Linux program on a real kernel and a real Wayland compositor: the
scenarios, run inside the test machine (vm.py boots it, guest_init.sh
starts this as root).

A desktop is set up once: two users (one in the `input` group, one not), a
session bus any user may join, with a StatusNotifier host and a notification
server from tests/linux/sni_host.py, seatd, and sway on a headless output
reading the devices through libinput, as the user in the group. Input comes
from a keyboard and a mouse made with uinput here and, when a scenario asks,
from QEMU's own virtio devices, which the host drives through QMP.

usage: guest.py SHARE   (SHARE/config.json names the program and the
scenarios; evidence of failures goes to SHARE/evidence)
"""

import grp
import json
import os
import pwd
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import traceback
from pathlib import Path

import evdev
from evdev import ecodes as ec

REPO = Path(__file__).resolve().parents[2]
sys.path[:0] = [str(REPO / "tests" / "support"), str(REPO / "tests" / "linux")]
import harness  # noqa: E402
import xdesktop  # noqa: E402
from xdesktop import HarnessError, expect_equal, wait_for  # noqa: E402

SHARE = Path(sys.argv[1])
CONFIG = json.loads((SHARE / "config.json").read_text())
# Under emulation everything is several times slower: the pauses of a
# gesture are stretched by this.
SLOW = CONFIG.get("slow", 3)
WORK = Path("/tmp/sorvak-guest")
BUS = "unix:path=/run/sorvak-bus"
# A system bus of the tests' own, for logind's stand-in.
SYSTEM_BUS = "unix:path=/run/sorvak-system-bus"
SCREEN_W, SCREEN_H = 800, 600
D = 200
KINDS = xdesktop.gesture_kinds(D)
SEGMENTS = {kind: segments for kind, segments, _ in KINDS}

NOT_PERMITTED = ("cannot read the input devices (/dev/input/event*): gestures are off\n"
                 "   join the input group, then log in again: sudo usermod -aG input $USER\n"
                 "   whoever is in that group can read every key typed\n")

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>{type}</type>
  <listen>{address}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""

SWAY_CONFIG = f"""output HEADLESS-1 resolution {SCREEN_W}x{SCREEN_H} position 0 0
input type:pointer accel_profile flat
focus_follows_mouse yes
default_border pixel 2
"""


class Host:
    """The line to vm.py: JSON messages one a line over a virtio port."""

    def __init__(self):
        self.port = os.open("/dev/virtio-ports/sorvak.ctl", os.O_RDWR)
        self.pending = b""

    def tell(self, **message):
        os.write(self.port, (json.dumps(message) + "\n").encode())

    def ask(self, **message):
        self.tell(**message)
        while b"\n" not in self.pending:
            chunk = os.read(self.port, 4096)
            if not chunk:
                raise HarnessError("the host closed the line")
            self.pending += chunk
        line, _, self.pending = self.pending.partition(b"\n")
        answer = json.loads(line)
        if "error" in answer:
            raise HarnessError(f"the host: {answer['error']}")
        return answer

    def say(self, text):
        self.tell(say=text)


class User:
    def __init__(self, name, groups):
        subprocess.run(["useradd", "-m", *(["-G", ",".join(groups)] if groups else []), name],
                       check=True)
        entry = pwd.getpwnam(name)
        self.name, self.uid, self.gid, self.home = name, entry.pw_uid, entry.pw_gid, entry.pw_dir
        self.groups = [grp.getgrnam(g).gr_gid for g in groups]
        self.runtime = Path(f"/run/user/{self.uid}")
        self.runtime.mkdir(parents=True, mode=0o700)
        os.chown(self.runtime, self.uid, self.gid)

    def start(self, argv, env, **options):
        return subprocess.Popen([str(a) for a in argv], env=env, user=self.uid, group=self.gid,
                                extra_groups=self.groups, **options)

    def own(self, path):
        os.chown(path, self.uid, self.gid)


class Instance(harness.Instance):
    """One running copy of sorvak in a folder of its own."""

    def __init__(self, desktop, directory, process, user):
        super().__init__(desktop, directory, process)
        self.user = user

    def write_conf(self, text):
        self.conf.write_text(text)
        self.user.own(self.conf)


class Desktop:
    def __init__(self, host):
        self.host = host
        self.others = []
        self.instances = []
        WORK.mkdir(mode=0o755, exist_ok=True)
        self.user = User("sorvak-user", ["input"])
        self.outsider = User("sorvak-outsider", [])
        self.bin = WORK / "bin"
        harness.install_recorder(self.bin / "record-on-path")
        (self.bin / "record.log").touch()
        (self.bin / "record.log").chmod(0o666)
        # The devices before the compositor: it finds them at start, as a
        # desktop finds a machine's own.
        self.keyboard = evdev.UInput({ec.EV_KEY: list(range(1, 128))},
                                     name="sorvak test keyboard")
        self.mouse = self.new_mouse("sorvak test mouse")
        self.start_bus()
        self.start_compositor()

    # -- the session ----------------------------------------------------------

    def start_bus(self, kind="session", address=BUS):
        config = WORK / f"{kind}-bus.conf"
        config.write_text(BUS_CONFIG.format(type=kind, address=address))
        self.others.append(subprocess.Popen(["dbus-daemon", "--nofork", "--config-file",
                                             str(config)]))
        wait_for(lambda: Path(address.split("=", 1)[1]).exists(), 20, f"the {kind} bus")
        if kind != "session":
            return
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = BUS
        import sni_host
        self.items = sni_host.StatusNotifierHost()
        self.notices = sni_host.NotificationServer()

    def start_compositor(self):
        self.others.append(subprocess.Popen(["seatd", "-u", self.user.name],
                                            stderr=subprocess.DEVNULL))
        wait_for(lambda: Path("/run/seatd.sock").exists(), 20, "seatd")
        (WORK / "sway.conf").write_text(SWAY_CONFIG)
        env = dict(self.base_env(self.user), WLR_BACKENDS="headless,libinput",
                   WLR_RENDERER="pixman", WLR_LIBINPUT_NO_DEVICES="1", LIBSEAT_BACKEND="seatd")
        with open(WORK / "sway.log", "wb") as log:
            # Sockets any user may connect to: the outsider's program joins
            # this display too.
            self.others.append(self.user.start(["sway", "-c", WORK / "sway.conf"], env,
                                               stdout=log, stderr=log, umask=0))
        self.wayland = wait_for(lambda: next(iter(self.user.runtime.glob("wayland-[0-9]")), None),
                                60, "sway's Wayland socket")
        self.swaysock = wait_for(lambda: next(iter(self.user.runtime.glob("sway-ipc.*.sock")),
                                              None), 60, "sway's IPC socket")
        self.user.runtime.chmod(0o711)
        wait_for(lambda: self.swaymsg("-t", "get_outputs"), 60, "sway to answer")

    def swaymsg(self, *args):
        result = subprocess.run(["swaymsg", "-s", self.swaysock, "-r", *args],
                                capture_output=True, text=True, timeout=30)
        return json.loads(result.stdout) if result.returncode == 0 else None

    def views(self):
        """(app_id, focused, x, id) of every window on the compositor."""
        found = []

        def walk(node):
            if node.get("app_id") or node.get("pid"):
                found.append((node.get("app_id"), node.get("focused"), node["rect"]["x"],
                              node["id"]))
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)

        walk(self.swaymsg("-t", "get_tree") or {})
        return found

    def base_env(self, user):
        return {"HOME": user.home, "XDG_RUNTIME_DIR": str(user.runtime), "LANG": "C.UTF-8",
                "PATH": f"{self.bin}:/usr/bin:/bin", "DBUS_SESSION_BUS_ADDRESS": BUS,
                "NO_AT_BRIDGE": "1"}

    def env(self, user):
        return dict(self.base_env(user), WAYLAND_DISPLAY=str(self.wayland),
                    XDG_SESSION_TYPE="wayland", SWAYSOCK=str(self.swaysock))

    def close(self):
        self.items.close()
        self.notices.close()
        for process in [i.process for i in self.instances] + self.others[::-1]:
            if process.poll() is None:
                process.kill()
                process.wait(10)

    # -- the program ----------------------------------------------------------

    def folder(self, user):
        directory = Path(tempfile.mkdtemp(dir=WORK, prefix="copy"))
        directory.chmod(0o755)
        user.own(directory)
        return directory

    def start_sorvak(self, conf_text, user=None, env=None):
        """Starts a copy in a folder of its own as `user` (the one in the
        input group by default), with `env` added to the session's
        environment; returns once its icon is registered."""
        user = user or self.user
        directory = self.folder(user)
        shutil.copy2(CONFIG["program"], directory / "sorvak")
        instance = Instance(self, directory, None, user)
        if conf_text is not None:
            instance.write_conf(conf_text)
        items = len(self.items.registered())
        with open(directory / "stdout.txt", "wb") as out, \
                open(directory / "stderr.txt", "wb") as err:
            instance.process = user.start([directory / "sorvak"], {**self.env(user), **(env or {})},
                                          cwd=directory, stdin=subprocess.DEVNULL, stdout=out,
                                          stderr=err)
        self.instances.append(instance)

        def registered():
            if not instance.running():
                raise HarnessError(f"sorvak ended at start-up with status "
                                   f"{instance.process.returncode}: {instance.stderr()!r}")
            return len(self.items.registered()) > items
        wait_for(registered, 60, "the icon's registration")
        # The capture thread starts with the icon.
        time.sleep(0.5 * SLOW)
        return instance

    def stop(self, instance, signal_number=signal.SIGTERM):
        instance.send(signal_number)
        expect_equal("exit status", instance.wait(30), 0)

    # -- input ----------------------------------------------------------------

    def new_mouse(self, name):
        mouse = evdev.UInput({ec.EV_KEY: [ec.BTN_LEFT, ec.BTN_RIGHT, ec.BTN_MIDDLE, ec.BTN_SIDE,
                                          ec.BTN_EXTRA],
                              ec.EV_REL: [ec.REL_X, ec.REL_Y, ec.REL_WHEEL]}, name=name)
        subprocess.run(["udevadm", "settle", "--timeout=30"], check=False)
        return mouse

    @staticmethod
    def press(device, code, down=True):
        device.write(ec.EV_KEY, code, 1 if down else 0)
        device.syn()

    @staticmethod
    def moved(device):
        def move(dx, dy):
            device.write(ec.EV_REL, ec.REL_X, dx)
            device.write(ec.EV_REL, ec.REL_Y, dy)
            device.syn()
        return move

    def gesture(self, segments, key=ec.KEY_LEFTCTRL, move=None, held=False):
        """Holds `key` on the keyboard (a BTN_ code on the mouse), moves
        along [(dx, dy), ...] in small steps with the mouse (or `move`),
        releases."""
        device = self.mouse if key >= ec.BTN_MISC else self.keyboard
        self.stroke(segments, lambda down: self.press(device, key, down),
                    move or self.moved(self.mouse), held)

    def stroke(self, segments, press, move, held=False):
        if not held:
            press(True)
        time.sleep(xdesktop.KEY_PAUSE * SLOW)
        for dx, dy in segments:
            steps = max(1, max(abs(dx), abs(dy)) // xdesktop.STEP_PIXELS)
            done_x = done_y = 0
            for i in range(1, steps + 1):
                x, y = dx * i // steps, dy * i // steps
                move(x - done_x, y - done_y)
                done_x, done_y = x, y
                time.sleep(xdesktop.STEP_PAUSE * SLOW)
        time.sleep(xdesktop.KEY_PAUSE * SLOW)
        press(False)
        time.sleep(xdesktop.KEY_PAUSE * SLOW)

    def taps(self, count, key=ec.KEY_LEFTCTRL):
        """Presses and releases with no time between, in one report each."""
        for _ in range(count):
            self.keyboard.write(ec.EV_KEY, key, 1)
            self.keyboard.syn()
            self.keyboard.write(ec.EV_KEY, key, 0)
            self.keyboard.syn()
            time.sleep(xdesktop.KEY_PAUSE * SLOW)

    def qemu(self, *events):
        self.host.ask(send=list(events))


# A laptop's own devices, as libinput tells them: on the PS/2 bus (i8042),
# for which the guest's udev sets no ID_BUS and so no touchpad integration,
# libinput takes the touchpad for an internal one by its bus, and its quirks
# the keyboard; it pairs the two for disable-while-typing.
BUS_I8042 = 0x11
PAD_W, PAD_H, PAD_RES = 4000, 2600, 40  # units, and units a mm: 100 by 65 mm


class Touchpad:
    """A laptop's touchpad through uinput: multitouch axes, the finger tool,
    a physical button, the pointer property; one finger at a time."""

    def __init__(self, name):
        def axis(top):
            return evdev.AbsInfo(0, 0, top, 0, 0, PAD_RES)
        self.device = evdev.UInput(
            {ec.EV_KEY: [ec.BTN_LEFT, ec.BTN_TOUCH, ec.BTN_TOOL_FINGER, ec.BTN_TOOL_DOUBLETAP],
             ec.EV_ABS: [(ec.ABS_X, axis(PAD_W)), (ec.ABS_Y, axis(PAD_H)),
                         (ec.ABS_MT_SLOT, evdev.AbsInfo(0, 0, 1, 0, 0, 0)),
                         (ec.ABS_MT_TRACKING_ID, evdev.AbsInfo(0, 0, 65535, 0, 0, 0)),
                         (ec.ABS_MT_POSITION_X, axis(PAD_W)),
                         (ec.ABS_MT_POSITION_Y, axis(PAD_H))]},
            name=name, bustype=BUS_I8042, vendor=2, product=7,
            input_props=[ec.INPUT_PROP_POINTER])
        self.touches = 0
        self.x = self.y = 0

    def _at(self, x, y):
        self.x, self.y = x, y
        for code, value in ((ec.ABS_MT_POSITION_X, x), (ec.ABS_MT_POSITION_Y, y),
                            (ec.ABS_X, x), (ec.ABS_Y, y)):
            self.device.write(ec.EV_ABS, code, value)

    def down(self, x=PAD_W // 4, y=PAD_H // 2):
        self.touches += 1
        self.device.write(ec.EV_ABS, ec.ABS_MT_SLOT, 0)
        self.device.write(ec.EV_ABS, ec.ABS_MT_TRACKING_ID, self.touches)
        self._at(x, y)
        self.device.write(ec.EV_KEY, ec.BTN_TOUCH, 1)
        self.device.write(ec.EV_KEY, ec.BTN_TOOL_FINGER, 1)
        self.device.syn()

    def move(self, dx, dy):
        self._at(self.x + dx, self.y + dy)
        self.device.syn()

    def up(self):
        self.device.write(ec.EV_ABS, ec.ABS_MT_TRACKING_ID, -1)
        self.device.write(ec.EV_KEY, ec.BTN_TOUCH, 0)
        self.device.write(ec.EV_KEY, ec.BTN_TOOL_FINGER, 0)
        self.device.syn()


def libinput_settings(name):
    """What `libinput list-devices` says of the device called `name`."""
    listed = subprocess.run(["libinput", "list-devices"], capture_output=True, text=True,
                            timeout=120).stdout
    for block in listed.split("\n\n"):
        fields = {key.strip(): value.strip() for key, _, value in
                  (line.partition(":") for line in block.splitlines())}
        if fields.get("Device") == name:
            return fields
    raise HarnessError(f"libinput lists no {name}:\n{listed}")


def qemu_key(key, down):
    return {"type": "key", "data": {"down": down, "key": {"type": "qcode", "data": key}}}


def qemu_rel(dx, dy):
    return [{"type": "rel", "data": {"axis": "x", "value": dx}},
            {"type": "rel", "data": {"axis": "y", "value": dy}}]


def stopped_output(desktop, instance, text):
    """Ends the program (its output, a file, is written whole at exit) and
    compares the output with `text`."""
    desktop.stop(instance)
    expect_equal("standard output", instance.stdout(), text)


# -- scenarios ----------------------------------------------------------------

def scenario_gestures(desktop):
    """Every kind with Ctrl held prints its label and starts its program: a
    recorder, and foot, a client that appears on the compositor; a press
    without movement and ten taps with no time between press and release
    are too small each."""
    bound = {"right", "down_left", "vertical", "other"}
    program = desktop.bin / "record-on-path"
    conf = ("".join(f"{k} = {program} | {k}\n" for k in sorted(bound))
            + "up = foot | -d error\n")
    instance = desktop.start_sorvak(conf)
    expected = ""
    for kind, segments, label in KINDS:
        desktop.gesture(segments)
        expected += f"{label}\n" + (f" -> {program}\n" if kind in bound else "") + (
            " -> foot\n" if kind == "up" else "")
    desktop.gesture([])
    desktop.taps(10)
    expected += "insufficient movement\n" * 11
    runs = wait_for(lambda: len(harness.read_records(desktop.bin / "record.log")) >= len(bound)
                    and harness.read_records(desktop.bin / "record.log"), 30, "the recorder's runs")
    expect_equal("programs started", sorted(r["args"][0] for r in runs), sorted(bound))
    wait_for(lambda: any(v[0] == "foot" for v in desktop.views()), 60,
             "foot's window on the compositor")
    desktop.stop(instance)
    expect_equal("standard output", instance.stdout(), expected)
    expect_equal("standard error", instance.stderr(), "")


def scenario_button_keys(desktop):
    """key = 4 is the middle button, key = 5 the first side button; a click
    of it with no time between press and release is too small. A button
    held or clicked during a stroke makes it a drag, one clicked before it
    does not."""
    mouse = desktop.mouse

    def click(button=ec.BTN_LEFT):
        desktop.press(mouse, button)
        desktop.press(mouse, button, False)

    def clicking(button=ec.BTN_LEFT):
        steps = []

        def move(dx, dy):
            steps.append(1)
            if len(steps) == 3:
                click(button)
            desktop.moved(mouse)(dx, dy)
        return move

    instance = desktop.start_sorvak("key = 4\n")
    desktop.gesture(SEGMENTS["right"])
    desktop.gesture(SEGMENTS["down"], key=ec.BTN_MIDDLE)
    desktop.gesture(SEGMENTS["up"], key=ec.BTN_RIGHT)
    desktop.gesture(SEGMENTS["left"], key=ec.BTN_MIDDLE, move=clicking())
    stopped_output(desktop, instance, "bas\ndrag, no gesture\n")

    ctrl = desktop.start_sorvak("")
    desktop.press(mouse, ec.BTN_LEFT)
    desktop.gesture(SEGMENTS["right"])
    desktop.press(mouse, ec.BTN_LEFT, False)
    desktop.gesture(SEGMENTS["right"], move=clicking(ec.BTN_RIGHT))
    click()
    time.sleep(xdesktop.KEY_PAUSE * SLOW)
    desktop.gesture(SEGMENTS["right"])
    stopped_output(desktop, ctrl, "drag, no gesture\ndrag, no gesture\ndroite\n")

    side = desktop.start_sorvak("key = 5\n")
    desktop.gesture(SEGMENTS["left"], key=ec.BTN_SIDE)
    click(ec.BTN_SIDE)
    time.sleep(xdesktop.KEY_PAUSE * SLOW)
    stopped_output(desktop, side, "gauche\ninsufficient movement\n")


def scenario_plugged_later(desktop):
    """A mouse plugged in after the start moves a stroke."""
    instance = desktop.start_sorvak("")
    later = desktop.new_mouse("sorvak mouse plugged later")
    try:
        time.sleep(1 * SLOW)
        desktop.gesture(SEGMENTS["up_right"], move=desktop.moved(later))
    finally:
        later.close()
    stopped_output(desktop, instance, "haut droite\n")


def scenario_qemu_devices(desktop):
    """Devices the kernel sees as hardware, QEMU's virtio keyboard, mouse
    and tablet driven from the host: a stroke of the mouse with Ctrl, then
    one of the tablet, which moves by its absolute positions."""
    instance = desktop.start_sorvak("")
    mouse = next(evdev.InputDevice(p) for p in evdev.list_devices()
                 if evdev.InputDevice(p).name == "QEMU Virtio Mouse")
    key = lambda down: desktop.qemu(qemu_key("ctrl", down))  # noqa: E731
    desktop.stroke(SEGMENTS["down_left"], key, lambda dx, dy: desktop.qemu(*qemu_rel(dx, dy)))
    moved = [event for event in iter(lambda: mouse.read_one(), None)
             if event.type == ec.EV_REL]
    if not moved:
        raise HarnessError("QEMU's virtio mouse sent no motion")
    position = [8000, 8000]  # of 0..32767 on each axis

    def tablet(dx, dy):
        position[0] += dx * 20
        position[1] += dy * 20
        desktop.qemu({"type": "abs", "data": {"axis": "x", "value": position[0]}},
                     {"type": "abs", "data": {"axis": "y", "value": position[1]}})

    tablet(0, 0)
    desktop.stroke(SEGMENTS["right"], key, tablet)
    stopped_output(desktop, instance, "bas gauche\ndroite\n")


def scenario_nothing_grabbed(desktop):
    """A stroke reaches the compositor too: its pointer crosses from one
    window to the other (focus follows the mouse there), and libinput's own
    debug-events, another reader of the devices, sees the key."""
    log = WORK / "debug-events.txt"
    with open(log, "wb") as out:
        debug = desktop.user.start(["libinput", "debug-events", "--show-keycodes"], desktop.env(desktop.user),
                                   stdout=out, stderr=subprocess.STDOUT)
    desktop.others.append(debug)
    before = len(desktop.views())
    for _ in range(2):
        desktop.swaymsg("exec", "foot")
    wait_for(lambda: len([v for v in desktop.views() if v[0] == "foot"]) >= before + 2, 60,
             "two foot windows")
    feet = sorted(v for v in desktop.views() if v[0] == "foot")[-2:]
    left, right = sorted(feet, key=lambda v: v[2])[0], sorted(feet, key=lambda v: v[2])[-1]
    desktop.swaymsg("seat", "seat0", "cursor", "set", str(left[2] + 60), str(SCREEN_H // 2))
    desktop.swaymsg(f"[con_id={left[3]}]", "focus")
    wait_for(lambda: any(v[1] and v[3] == left[3] for v in desktop.views()), 20,
             "the focus on the left window")
    instance = desktop.start_sorvak("")
    desktop.gesture([(right[2] - left[2], 0)])
    wait_for(lambda: any(v[1] and v[3] == right[3] for v in desktop.views()), 20,
             "the focus to follow the pointer to the right window")
    seen = log.read_text()
    for state in ("pressed", "released"):
        if not any("KEY_LEFTCTRL" in line and state in line for line in seen.splitlines()):
            raise HarnessError(f"libinput debug-events did not see Ctrl {state}:\n{seen[-2000:]}")
    stopped_output(desktop, instance, "droite\n")


def scenario_outsider(desktop):
    """Started by a user outside the input group, the program keeps its icon,
    says once on its standard error and in a desktop notice what is wrong
    and what to do, and ends with status 0 from its menu's Exit."""
    notes = len(desktop.notices.received())
    instance = desktop.start_sorvak("", user=desktop.outsider)
    wait_for(lambda: len(desktop.notices.received()) > notes, 30, "the desktop notice")
    desktop.gesture(SEGMENTS["right"])
    time.sleep(1 * SLOW)
    expect_equal("running", instance.running(), True)
    item = desktop.items.registered()[-1]
    entries = {p.get("label"): i for i, p in desktop.items.menu_layout(item)}
    desktop.items.click(item, entries["Exit"])
    expect_equal("exit status", instance.wait(30), 0)
    expect_equal("standard error", instance.stderr(), NOT_PERMITTED)
    expect_equal("standard output", instance.stdout(), "")
    expect_equal("the notice", [n[2:4] for n in desktop.notices.received()[notes:]],
                 [("sorvak cannot read the input devices",
                   "Gestures are off. Join the input group, then log in again: "
                   "sudo usermod -aG input $USER\n"
                   "Whoever is in that group can read every key typed.")])


def scenario_check(desktop):
    """sorvak-check reports the devices it can read and those with the
    capture key: status 0 for the user in the input group, 1 for one
    outside it, with the same words as the program; --live prints a stroke's
    lines at once, after the program in front as sway tells it."""
    folders = {}

    def check(user, *args, env=None, **options):
        if user not in folders:
            folders[user] = desktop.folder(user)
            shutil.copy2(CONFIG["check"], folders[user] / "sorvak-check")
            (folders[user] / "conf.txt").write_text("key = 4\n")
            user.own(folders[user] / "conf.txt")
        return user.start([folders[user] / "sorvak-check", *args],
                          {**desktop.env(user), **(env or {})}, **options)

    def report(user, env=None):
        result = check(user, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        out, err = result.communicate(timeout=60)
        return result.returncode, [line for line in out.splitlines()
                                   if line.startswith(("input devices", "capture key on"))], err

    status, lines, err = report(desktop.user)
    expect_equal("status and errors in the group", (status, err), (0, ""))
    # How keys would be sent and the program in front asked, on sway.
    said = check(desktop.user, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                 text=True).communicate(timeout=60)[0].splitlines()
    expect_equal("the ways on sway", [line for line in said if line.startswith(("keys ", "program "))],
                 ["keys sent through: the compositor's virtual keyboard",
                  "program in front: asked of sway's IPC"])
    if not (lines[0].startswith("input devices: ") and lines[0].endswith(" readable, 0 refused")
            and "sorvak test mouse" in lines[1] and "keyboard" not in lines[1]):
        raise HarnessError(f"the report in the group: {lines}")
    status, lines, err = report(desktop.outsider)
    expect_equal("status and errors outside it", (status, err), (1, NOT_PERMITTED))
    if not (lines[0].startswith("input devices: 0 readable, ") and lines[1] == "capture key on: none"):
        raise HarnessError(f"the report outside the group: {lines}")
    # Another seat's session sees none of seat0's devices.
    status, lines, err = report(desktop.user, {"XDG_SEAT": "seat1"})
    expect_equal("another seat's report", (status, lines, err),
                 (1, ["input devices: 0 readable, 0 refused", "capture key on: none"],
                  "found no input device: gestures are off\n"))

    output = folders[desktop.user] / "live.txt"
    with open(output, "wb") as stream:
        live = check(desktop.user, "--live", stdout=stream, stderr=subprocess.DEVNULL)
    desktop.others.append(live)
    wait_for(lambda: "Watching gestures" in output.read_text(), 30, "the live checker to start")
    time.sleep(0.5 * SLOW)
    before = output.read_text()
    # sway tells which program is in front: the focused foot, if any.
    front = ("foreground program: foot, foot" if any(v[1] for v in desktop.views())
             else "foreground program: unknown")
    desktop.gesture(SEGMENTS["right"], key=ec.BTN_MIDDLE)
    wait_for(lambda: output.read_text() == before + front + "\ndroite\n", 30,
             "the stroke's lines, live")
    live.kill()


def focus(desktop, app_id):
    """Gives `app_id`'s window the focus, with the pointer inside it: focus
    follows the mouse, and a stroke must not leave the window."""
    view = next(v for v in desktop.views() if v[0] == app_id)
    desktop.swaymsg("seat", "seat0", "cursor", "set", str(view[2] + 100), str(SCREEN_H * 3 // 4))
    desktop.swaymsg(f"[app_id={app_id}]", "focus")
    wait_for(lambda: any(v[1] and v[0] == app_id for v in desktop.views()), 30,
             f"the focus on {app_id}")


def scenario_wayland_front(desktop):
    """On sway, which program is in front is asked of its IPC: a block for
    foot is used while foot has the focus and not once another client has
    it, and exclude = foot turns gestures off there. A keys: binding reaches
    the focused client through the compositor's virtual keyboard: a sequence
    in order, a chord holding its modifiers, whatever the layout."""
    desktop.swaymsg("workspace", "9")
    # Its own app_id, beside the foot windows of earlier scenarios; the block
    # and the exclude line name the executable.
    desktop.swaymsg("exec", "foot --app-id=typer")
    wait_for(lambda: any(v[0] == "typer" and v[1] for v in desktop.views()), 60,
             "foot on its own workspace")
    keys = WORK / "probe-keys.log"
    keys.touch()
    desktop.user.own(keys)
    probe = desktop.user.start(["/usr/bin/python3", "-c", harness.KEY_WINDOW, "probe", keys],
                               dict(desktop.env(desktop.user), GDK_BACKEND="wayland"),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    desktop.others.append(probe)
    wait_for(lambda: any(v[0] == "probe" for v in desktop.views()), 60, "the probe window")
    program = desktop.bin / "record-on-path"
    instance = desktop.start_sorvak(f"up = {program} | every\nright = keys: a b ctrl+shift+t\n"
                                    f"program = foot\nup = {program} | foot\n")
    before = len(harness.read_records(desktop.bin / "record.log"))
    for app_id in ("typer", "probe"):
        focus(desktop, app_id)
        desktop.gesture(SEGMENTS["up"])
    desktop.gesture([(150, 0)])
    time.sleep(1 * SLOW)
    instance.write_conf(f"up = {program} | every\nexclude = foot\n")
    instance.send(signal.SIGHUP)
    time.sleep(0.5 * SLOW)
    focus(desktop, "typer")
    desktop.gesture(SEGMENTS["up"])
    # Its output is whole once it has ended.
    stopped_output(desktop, instance,
                   f"haut\n -> {program}\nhaut\n -> {program}\n"
                   "droite\n -> keys: a b ctrl+shift+t\nexcluded: foot\n")
    expect_equal("standard error", instance.stderr(), "")
    runs = harness.read_records(desktop.bin / "record.log")[before:]
    expect_equal("the block, then the binding for every program",
                 [r["args"][0] for r in runs], ["foot", "every"])
    user = ["+Control_L", "-Control_L^C"]
    expect_equal("the keys the probe got", keys.read_text().split(),
                 user * 2 + ["+a", "-a", "+b", "-b", "+Control_L", "+Shift_L^C", "+T^CS",
                             "-T^CS", "-Shift_L^CS", "-Control_L^C"])
    desktop.swaymsg("workspace", "1")


def scenario_reload(desktop):
    """A reload to key = 0x10 takes effect at once, for a Shift held already
    too; then Shift captures, Ctrl no longer does. The trail it turns on is
    told as a notice for each stroke: nothing is drawn on Wayland."""
    instance = desktop.start_sorvak("")
    notes = len(desktop.notices.received())
    desktop.press(desktop.keyboard, ec.KEY_LEFTSHIFT)
    time.sleep(0.3 * SLOW)
    instance.write_conf("key = 0x10\ntrail = 1\n")
    instance.send(signal.SIGHUP)
    time.sleep(0.5 * SLOW)
    desktop.gesture(SEGMENTS["down"], key=ec.KEY_LEFTSHIFT, held=True)
    desktop.gesture(SEGMENTS["right"])
    desktop.gesture(SEGMENTS["left"], key=ec.KEY_RIGHTSHIFT)
    wait_for(lambda: len(desktop.notices.received()) >= notes + 2, 30, "the trail's notices")
    desktop.stop(instance)
    expect_equal("standard output", instance.stdout(), "bas\ngauche\n")
    expect_equal("the trail's notices", [n[2:] for n in desktop.notices.received()[notes:]],
                 [("sorvak", "bas", 1000), ("sorvak", "gauche", 1000)])


def scenario_touchpad(desktop):
    """A laptop's touchpad, which libinput's defaults leave with tapping off
    (it has a button) and muted while a key is typed on the laptop's
    keyboard: a tap-and-drag during a Ctrl capture is a drag, and a stroke
    on it with a letter as the capture key a gesture."""
    keyboard = evdev.UInput({ec.EV_KEY: list(range(1, 128))},
                            name="sorvak test laptop keyboard", bustype=BUS_I8042)
    pad = Touchpad("sorvak test touchpad")
    try:
        subprocess.run(["udevadm", "settle", "--timeout=30"], check=False)
        # What the program must change in its own context, or the check
        # below would prove nothing.
        settings = libinput_settings("sorvak test touchpad")
        expect_equal("libinput's defaults for the touchpad",
                     (settings.get("Tap-to-click"), settings.get("Disable-w-typing")),
                     ("disabled", "enabled"))
        quirks = subprocess.run(["libinput", "quirks", "list", keyboard.device.path],
                                capture_output=True, text=True, timeout=60).stdout
        expect_equal("the keyboard's integration", "AttrKeyboardIntegration=internal" in quirks,
                     True)

        def stroke(instance, key, tap_first=False):
            desktop.press(keyboard, key)
            time.sleep(xdesktop.KEY_PAUSE * SLOW)
            if tap_first:
                pad.down()
                pad.up()
                time.sleep(0.05)
            pad.down()
            for _ in range(16):  # 48 mm rightwards
                pad.move(120, 0)
                time.sleep(xdesktop.STEP_PAUSE * SLOW)
            pad.up()
            time.sleep(xdesktop.KEY_PAUSE * SLOW)
            desktop.press(keyboard, key, False)
            time.sleep(xdesktop.KEY_PAUSE * SLOW)

        ctrl = desktop.start_sorvak("")
        stroke(ctrl, ec.KEY_LEFTCTRL, tap_first=True)
        stroke(ctrl, ec.KEY_LEFTCTRL)
        stopped_output(desktop, ctrl, "drag, no gesture\ndroite\n")
        letter = desktop.start_sorvak("key = 0x41\n")
        stroke(letter, ec.KEY_A)
        stopped_output(desktop, letter, "droite\n")
    finally:
        pad.device.close()
        keyboard.close()


def input_devices_open(instance):
    """How many of the kernel's input devices the program holds open."""
    count = 0
    for fd in Path(f"/proc/{instance.process.pid}/fd").iterdir():
        try:
            count += os.readlink(fd).startswith("/dev/input/event")
        except OSError:  # closed meanwhile
            pass
    return count


def scenario_session(desktop):
    """While logind (a stand-in on a bus of the tests' own) says the
    session is not the active one, another user's or a console's being in
    front, the devices are closed and a stroke starts nothing; back in
    front, gestures again. One copy names its session by $XDG_SESSION_ID,
    the other lets logind find it."""
    if not hasattr(desktop, "logind"):
        desktop.start_bus("system", SYSTEM_BUS)
        os.environ["DBUS_SYSTEM_BUS_ADDRESS"] = SYSTEM_BUS
        import logind_stand_in
        desktop.logind = logind_stand_in.LogindStandIn("c2")
    logind = desktop.logind
    asked = len(logind.asked())
    system = {"DBUS_SYSTEM_BUS_ADDRESS": SYSTEM_BUS}
    named = desktop.start_sorvak("", env={**system, "XDG_SESSION_ID": "c2"})
    found = desktop.start_sorvak("", env=system)
    copies = (named, found)
    desktop.gesture(SEGMENTS["right"])
    devices = [input_devices_open(copy) for copy in copies]
    logind.set_active(False)
    for copy in copies:
        wait_for(lambda: input_devices_open(copy) == 0, 30, "the devices to be closed")
    desktop.gesture(SEGMENTS["down"])
    logind.set_active(True)
    # All of them: a key pressed before its keyboard is open again is not seen.
    for copy, count in zip(copies, devices):
        wait_for(lambda: input_devices_open(copy) == count, 30, "the devices to be opened again")
    desktop.gesture(SEGMENTS["left"])
    for copy in copies:
        stopped_output(desktop, copy, "droite\ngauche\n")
    expect_equal("sessions asked for", sorted(logind.asked()[asked:]), ["auto", "c2"])


def thread_wakeups(instance):
    """Context switches so far, voluntary or not, of each of the program's
    threads."""
    counts = {}
    for status in Path(f"/proc/{instance.process.pid}/task").glob("*/status"):
        try:
            text = status.read_text()
        except OSError:  # a thread that has just ended
            continue
        counts[status.parent.name] = sum(
            int(line.split()[1]) for line in text.splitlines()
            if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")))
    return counts


def wakeups_over(instance, seconds):
    """How often the program's threads woke over `seconds` (a thread that
    ended meanwhile is not counted: the sum would go down)."""
    before = thread_wakeups(instance)
    time.sleep(seconds)
    after = thread_wakeups(instance)
    return sum(count - before.get(thread, 0) for thread, count in after.items())


def scenario_idle(desktop):
    """Idle, the program does not wake at all over 30 s (once at most); a
    stroke after it is seen from its start."""
    instance = desktop.start_sorvak("")
    time.sleep(2 * SLOW)
    woke = wakeups_over(instance, 30)
    desktop.host.say(f"idle: {woke} wakeups in 30 s")
    if woke > 1:
        raise HarnessError(f"{woke} wakeups in 30 s idle")
    desktop.gesture(SEGMENTS["horizontal"])
    desktop.stop(instance)
    expect_equal("standard output", instance.stdout(), "trait horizontal\n")


# -- measurements (scripts/perf.sh) --------------------------------------------

def measure_idle(desktop):
    """Wakeups of the idle program over 60 s, three times."""
    instance = desktop.start_sorvak("")
    time.sleep(2 * SLOW)
    counts = [wakeups_over(instance, 60) for _ in range(3)]
    desktop.host.tell(measure="idle", seconds=60, wakeups=counts)
    desktop.stop(instance)


def process_events():
    """A socket on the kernel's process events (the proc connector): forks,
    each with the kernel's monotonic time."""
    sock = socket.socket(socket.AF_NETLINK, socket.SOCK_DGRAM, 11)  # NETLINK_CONNECTOR
    sock.bind((os.getpid(), 1))  # CN_IDX_PROC
    listen = struct.pack("=IIIIHHI", 1, 1, 0, 0, 4, 0, 1)  # PROC_CN_MCAST_LISTEN
    sock.send(struct.pack("=IHHII", 16 + len(listen), 3, 0, 0, os.getpid()) + listen)
    return sock


def next_fork(sock, parent, deadline):
    """The time of the next fork by process `parent`'s threads."""
    while time.monotonic() < deadline:
        sock.settimeout(max(0.01, deadline - time.monotonic()))
        try:
            data = sock.recv(4096)
        except socket.timeout:
            break
        what, _, stamp = struct.unpack_from("=IIQ", data, 36)
        if what == 1 and struct.unpack_from("=4I", data, 52)[1] == parent:  # PROC_EVENT_FORK
            return stamp
    raise HarnessError("the program started nothing")


SPIN = "sum(range(3000000))"


def spin_ms():
    """A fixed piece of Python's work, the best of five, in ms: the same on
    the host tells what the emulation costs."""
    import timeit
    return min(timeit.repeat(SPIN, number=1, repeat=5)) * 1000


def measure_release(desktop):
    """From the key's release to the launch, the program's fork of the bound
    program as the kernel times it, 20 strokes."""
    events = process_events()
    instance = desktop.start_sorvak("right = /bin/true\n")
    released = []

    def key(down):
        desktop.press(desktop.keyboard, ec.KEY_LEFTCTRL, down)
        if not down:
            released.append(time.monotonic_ns())

    delays = []
    for _ in range(20):
        desktop.stroke(SEGMENTS["right"], key, desktop.moved(desktop.mouse))
        forked = next_fork(events, instance.process.pid, time.monotonic() + 30)
        delays.append((forked - released[-1]) / 1e6)
        # What the stroke's pauses left to read goes before the next one.
        events.setblocking(False)
        while True:
            try:
                events.recv(4096)
            except BlockingIOError:
                break
    events.close()
    desktop.host.tell(measure="release", delays=delays, spin_ms=[spin_ms()])
    desktop.stop(instance)


SCENARIOS = {name[len("scenario_"):]: f for name, f in globals().items()
             if name.startswith("scenario_")}
MEASURES = {name: f for name, f in globals().items() if name.startswith("measure_")}


def keep_evidence(desktop, name):
    target = SHARE / "evidence" / name
    target.mkdir(parents=True, exist_ok=True)
    for instance in desktop.instances:
        for file in ("stdout.txt", "stderr.txt", "conf.txt"):
            if (instance.directory / file).exists():
                shutil.copy2(instance.directory / file,
                             target / f"{instance.directory.name}-{file}")
    for file in ("sway.log", "debug-events.txt"):
        if (WORK / file).exists():
            shutil.copy2(WORK / file, target / file)


def main():
    host = Host()
    host.tell(ready=float(Path("/proc/uptime").read_text().split()[0]))
    began = time.monotonic()
    try:
        desktop = Desktop(host)
    except Exception:
        host.say(traceback.format_exc())
        host.tell(done=1)
        return
    host.say(f"desktop up in {time.monotonic() - began:.1f} s")
    failed = 0
    for name in CONFIG["scenarios"]:
        began = time.monotonic()
        try:
            (SCENARIOS.get(name) or MEASURES[name])(desktop)
        except Exception:
            failed += 1
            host.say(traceback.format_exc())
            keep_evidence(desktop, name)
            host.say(f"FAIL {name} ({time.monotonic() - began:.1f} s)")
        else:
            host.say(f"PASS {name} ({time.monotonic() - began:.1f} s)")
        # What a scenario left running does not reach the next.
        for instance in desktop.instances:
            if instance.running():
                instance.process.kill()
                instance.process.wait(10)
    host.tell(done=1 if failed else 0)
    desktop.close()


if __name__ == "__main__":
    main()
