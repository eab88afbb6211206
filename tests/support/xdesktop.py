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


# The trail checks, the same for both desktop programs: a rightward stroke
# over a window that logs the clicks it gets, the pixels sampled on the line
# and beside it, and the box they and the label (below and right of the
# stroke's end) lie in.
TRAIL_START, TRAIL_END = (200, 300), (500, 300)
ON_LINE = [(250, 300), (350, 301), (450, 299), TRAIL_END]
BESIDE = [(250, 285), (350, 315), (450, 288)]
TRAIL_BOX = (200, 280, 600, 140)
LINE_COLOUR = (255, 140, 0)


class TrailScreen:
    """The pixels of TRAIL_BOX, read at once."""

    def __init__(self, session):
        self.rows = read_pixels(session.display, TRAIL_BOX)

    def at(self, points):
        return [self.rows[y - TRAIL_BOX[1]][x - TRAIL_BOX[0]] for x, y in points]

    def label_height(self):
        """Rows of the line's colour below and right of the stroke's end: the label."""
        left, top = TRAIL_END[0] - TRAIL_BOX[0] + 8, TRAIL_END[1] - TRAIL_BOX[1] + 8
        return sum(LINE_COLOUR in row[left:] for row in self.rows[top:])


def check_trail(session, bare, set_trail, clicks, scale=1):
    """With the program started with trail = 0 over the clicks window, whose
    log is `clicks`, and `bare` the TrailScreen before it started: nothing
    is drawn; after set_trail(1) the line follows the held stroke, not
    beside it, a click on it reaches the window, and at the release the line
    goes and the outcome shows for about a second, taller for a gesture with
    its program; after set_trail(0) nothing again. Returns the screenshots
    of the line and of a gesture's label. Every wait lasts `scale` times
    longer."""
    def held_stroke():
        session.xdotool(*gesture_script([(TRAIL_END[0] - TRAIL_START[0], 0)], TRAIL_START,
                                        ["keydown", "ctrl"], [], lambda x, y: True))

    def screen_when(condition, timeout, what):
        return wait_for(lambda: next(filter(condition, [TrailScreen(session)]), None),
                        timeout * scale, what)

    def nothing_drawn(what):
        held_stroke()
        time.sleep(0.5 * scale)
        shown = TrailScreen(session)
        session.xdotool("keyup", "ctrl")
        expect_equal(f"{what}: pixels on and beside the stroke", shown.at(ON_LINE + BESIDE),
                     bare.at(ON_LINE + BESIDE))

    nothing_drawn("trail = 0")
    set_trail(1)
    held_stroke()
    held = screen_when(lambda shown: shown.at(ON_LINE) == [LINE_COLOUR] * len(ON_LINE), 10,
                       "the line along the stroke")
    held_shot = session.screenshot("trail-held")
    expect_equal("pixels beside the line", held.at(BESIDE), bare.at(BESIDE))
    # The pointer rests on the line's end.
    session.xdotool("click", 1)
    wait_for(lambda: clicks.exists() and clicks.read_text().split() == ["500", "300"], 10 * scale,
             "the click on the line to reach the window under it")
    session.xdotool("keyup", "ctrl")
    released = screen_when(
        lambda shown: shown.at(ON_LINE) == bare.at(ON_LINE) and shown.label_height() > 8, 10,
        "the line to go and the label to show beside the pointer at the release")
    wait_for(lambda: TrailScreen(session).label_height() == 0, 5 * scale, "the label to go")
    session.gesture([(TRAIL_END[0] - TRAIL_START[0], 0)], start=TRAIL_START)
    # Two lines, the label and the program, against one for the drag.
    screen_when(lambda shown: shown.label_height() > released.label_height(), 5,
                "the label of the gesture")
    label_shot = session.screenshot("trail-label")
    set_trail(0)
    nothing_drawn("trail = 0 after a reload")
    return held_shot, label_shot


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
