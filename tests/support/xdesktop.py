"""What the acceptance harnesses share: a private Xvfb display, input through
xdotool, the screen read with ImageMagick's `import`, and polling."""

import os
import select
import shutil
import subprocess
import tempfile
import time
import traceback
from pathlib import Path

# The capture loop samples every 10 ms; these keep several samples per step.
STEP_PIXELS = 30
STEP_PAUSE = 0.02
KEY_PAUSE = 0.1


class HarnessError(AssertionError):
    pass


class SkipScenario(Exception):
    pass


def wait_for(condition, timeout, what, interval=0.1):
    """Polls condition() until it returns something truthy; returns it."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise HarnessError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def settled(read, timeout, what, interval=0.2):
    """Waits until read() gives the same truthy value twice running (a menu
    fully drawn, an output no longer growing); returns it."""
    seen = []

    def same_twice():
        seen.append(read())
        return seen[-1] if len(seen) > 1 and seen[-1] == seen[-2] else None

    return wait_for(same_twice, timeout, what, interval)


def expect_equal(what, actual, expected):
    if actual != expected:
        raise HarnessError(f"{what}:\n  expected {expected!r}\n  actual   {actual!r}")


def read_pixels(display, box):
    """Rows of RGB tuples for box=(x, y, w, h) of the display's root window."""
    x, y, w, h = box
    ppm = subprocess.run(
        ["import", "-display", display, "-window", "root", "-crop", f"{w}x{h}+{x}+{y}",
         "+repage", "-depth", "8", "ppm:-"],
        capture_output=True, timeout=20, check=True).stdout
    # Binary PPM: "P6\n<w> <h>\n255\n" then the samples.
    fields = ppm.split(maxsplit=4)
    if fields[0] != b"P6":
        raise HarnessError("unexpected screenshot format")
    width, height, data = int(fields[1]), int(fields[2]), fields[4]
    return [[tuple(data[(r * width + c) * 3:(r * width + c) * 3 + 3]) for c in range(width)]
            for r in range(height)]


def runs(flags):
    """(start, end) of each run of true values in flags, end excluded."""
    found, i = [], 0
    while i < len(flags):
        if flags[i]:
            start = i
            while i < len(flags) and flags[i]:
                i += 1
            found.append((start, i))
        i += 1
    return found


def most_common(rows):
    counts = {}
    for row in rows:
        for pixel in row:
            counts[pixel] = counts.get(pixel, 0) + 1
    return max(counts, key=counts.get)


def text_bands(rows, inked, top):
    """Screen y of the middle of each band of rows holding ink (inked(pixel)),
    rows starting at screen y `top`; bands thinner than text (a separator)
    are left out."""
    flags = [any(inked(pixel) for pixel in row) for row in rows]
    return [top + (start + end - 1) // 2 for start, end in runs(flags) if end - start >= 5]


def start_xvfb(width, height, *options):
    """Starts Xvfb on a display it picks; returns (process, ":N")."""
    read_end, write_end = os.pipe()
    process = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
         "-nolisten", "tcp", "-noreset", *options],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        # Xvfb writes its display number, then a newline.
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], max(0, deadline - time.monotonic()))
            chunk = os.read(read_end, 16) if ready else b""
            if not chunk:
                process.kill()
                raise HarnessError("Xvfb did not report its display")
            number += chunk
    finally:
        os.close(read_end)
    return process, f":{int(number)}"


def stop(process, timeout=10):
    """Ends a process, asking first; waits for it."""
    if process.poll() is None:
        process.terminate()
    try:
        process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def xdotool(display, *args, timeout=30):
    subprocess.run(["xdotool", *map(str, args)], env={**os.environ, "DISPLAY": display},
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=timeout, check=True)


def gesture_script(segments, start, press, release, on_screen):
    """xdotool arguments that press, move along [(dx, dy), ...] from `start`
    in small steps and release; on_screen(x, y) bounds every step."""
    x, y = start
    script = ["mousemove", x, y, "sleep", KEY_PAUSE, *press, "sleep", KEY_PAUSE]
    for dx, dy in segments:
        steps = max(1, max(abs(dx), abs(dy)) // STEP_PIXELS)
        x0, y0 = x, y
        for i in range(1, steps + 1):
            x, y = x0 + dx * i // steps, y0 + dy * i // steps
            if not on_screen(x, y):
                raise HarnessError(f"gesture leaves the screen at {x},{y}")
            script += ["mousemove", x, y, "sleep", STEP_PAUSE]
    return script + ["sleep", KEY_PAUSE, *release, "sleep", KEY_PAUSE]


def screenshot(display, path):
    subprocess.run(["import", "-display", display, "-window", "root", str(path)], timeout=20,
                   check=True)
    return path


def gesture_kinds(travel):
    """Every kind with a movement that makes it (strokes of `travel` pixels,
    well past the default precision) and its label."""
    d = travel
    return [
        ("right", [(d, 0)], "droite"),
        ("left", [(-d, 0)], "gauche"),
        ("up", [(0, -d)], "haut"),
        ("down", [(0, d)], "bas"),
        ("up_right", [(d, -d)], "haut droite"),
        ("down_right", [(d, d)], "bas droite"),
        ("up_left", [(-d, -d)], "haut gauche"),
        ("down_left", [(-d, d)], "bas gauche"),
        ("horizontal", [(d, 0), (-d, 0)], "trait horizontal"),
        ("vertical", [(0, -d), (0, d)], "trait vertical"),
        ("other", [(d, 0), (0, d), (-d, 0), (0, -d)], "autre"),
    ]


def centred_start(segments, centre):
    """A start point that centres the movement's extent on `centre`."""
    xs, ys, x, y = [0], [0], 0, 0
    for dx, dy in segments:
        x, y = x + dx, y + dy
        xs.append(x)
        ys.append(y)
    return (centre[0] - (min(xs) + max(xs)) // 2, centre[1] - (min(ys) + max(ys)) // 2)


class Instance:
    """One running copy of the program in a folder of its own."""

    def __init__(self, session, directory, process):
        self.session = session
        self.directory = directory
        self.process = process

    @property
    def conf(self):
        return self.directory / "conf.txt"

    def running(self):
        return self.process.poll() is None

    def wait(self, timeout=10):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError(f"the program in {self.directory} did not end within {timeout} s")


class Session:
    """A private display and what runs on it, for one scenario. Subclasses
    start it (start_xvfb into self.xvfb and self.display) and keep their
    evidence in keep_evidence(); close() ends everything."""

    def __init__(self, scenario, kind):
        self.scenario = scenario
        self.work = Path(tempfile.mkdtemp(prefix=f"sorvak-{kind}-{scenario}-"))
        self.shots = []
        self.instances = []
        self.others = []
        self.xvfb = None
        self.display = None

    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.close(failed=True)
            raise
        return self

    def __exit__(self, kind, value, trace):
        self.close(failed=kind is not None and not issubclass(kind, SkipScenario))
        return False

    def close(self, failed=False):
        if failed and self.display is not None:
            try:
                self.screenshot("at-failure")
            except Exception:  # the display may be gone already
                pass
        processes = self.others + [i.process for i in self.instances]
        for proc in processes:
            if proc.poll() is None:
                proc.kill()
        self.after_kill()
        for proc in processes:
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        if self.xvfb is not None:
            stop(self.xvfb)
            self.xvfb = None
        if failed:
            self.keep_evidence()
        shutil.rmtree(self.work, ignore_errors=True)

    def keep_shots(self, target):
        """Makes `target` afresh with this session's screenshots in it."""
        shutil.rmtree(target, ignore_errors=True)
        target.mkdir(parents=True, exist_ok=True)
        for shot in self.shots:
            if shot.exists():
                shutil.copy2(shot, target / shot.name)
        return target

    def after_kill(self):
        """What else must end once the started processes are killed."""

    def xdotool(self, *args, timeout=30):
        xdotool(self.display, *args, timeout=timeout)

    def screenshot(self, label):
        """Saves the whole screen under the work directory; kept on failure."""
        path = screenshot(self.display, self.work / f"{len(self.shots):02d}-{label}.png")
        self.shots.append(path)
        return path


def run_scenarios(scenarios, names, open_session):
    """Runs each named scenario in the session open_session(name) gives;
    returns the exit status: 77 when one skips, 1 when any failed."""
    names = list(scenarios) if "all" in names else names
    failed = []
    for name in names:
        began = time.monotonic()
        try:
            with open_session(name) as session:
                scenarios[name](session)
        except SkipScenario as skip:
            print(f"SKIP {name}: {skip}")
            return 77
        except Exception:
            traceback.print_exc()
            failed.append(name)
            print(f"FAIL {name} ({time.monotonic() - began:.1f} s)")
            continue
        print(f"PASS {name} ({time.monotonic() - began:.1f} s)")
    return 1 if failed else 0
