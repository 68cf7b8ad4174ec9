#!/usr/bin/env python3
"""orvanta_e2e.py --program PATH --desktop-tool PATH --palette PATH SCENARIO: Orvanta in a real X server.

Runs the program in Xvfb (1024x768) from a throw-away folder holding a desktop written here, drives it with X input
through xdotool and reads the screen through xwd. SCENARIO: a name in SCENARIOS, or scaled_<factor>[_<width>]: that
QT_SCALE_FACTOR on a 1920x1080 (or that wide) screen against an unscaled run. Exit status 0, 1 on failure, 77 without
an X server.
"""

import argparse, functools, json, os, pathlib, re, select, shutil, signal, struct, subprocess, sys  # noqa: E401
import tempfile, time
from collections import namedtuple

PREFIX = "e:\\projects3\\tav"
KEY = (0, 127, 127)  # the transparent colour of object pictures
HIGHLIGHT = (255, 255, 0)  # the selection frame's raw pixel value 0xFFFF00
CAPTION, HOT_CAPTION, BACK_COLOR = (255, 255, 255), (255, 255, 0), (90, 90, 90)
# The background tile: left half one colour, right half another.
TILE_W, TILE_H, TILE_LEFT, TILE_RIGHT = 40, 30, (20, 40, 80), (40, 80, 20)
EMPTY = (900, 700)  # where no object is and none is ever moved to
HIDDEN = {"WAYLAND_DISPLAY", "QT_QPA_PLATFORMTHEME", "ORVANTA_DISPLAY_DEPTH", "QT_SCREEN_SCALE_FACTORS"}
# A sanitizer build reports the program's own leaks, not the system's.
LSAN_OPTIONS = f"{os.environ.get('LSAN_OPTIONS', '')}:suppressions={pathlib.Path(__file__).resolve().parent}/lsan.supp"

def require(condition, message):
    if not condition:
        raise AssertionError(message)

def tile(x, y):
    """The background's colour at a point; as an expected colour: the tile's at the point checked."""
    return TILE_LEFT if x % TILE_W < TILE_W // 2 else TILE_RIGHT

class Obj(namedtuple("Obj", "name x y w h up down mouse caption activate frame", defaults=(None, None, "", "", 0))):
    """An object of the test desktop (frame: the width of a keyed border in its pictures) and checks on it: (what,
    where, expected), a point and its colour, or an area and the caption colour that alone shows there (or None)."""

    def center(self, dx=0, dy=0):
        return (self.x + self.w // 2 + dx, self.y + self.h // 2 + dy)

    def shows(self, look="up", dx=0, dy=0):
        """Its centre, moved by (dx, dy), shows its picture in that look."""
        return (f"{self.name}'s {look} picture", self.center(dx, dy), getattr(self, look))

    def gone(self, dx=0, dy=0):  # the tile shows where its centre, moved by (dx, dy), would be
        return (f"the tile, not {self.name}", self.center(dx, dy), tile)

    def captioned(self, color, dx=0, dy=0):
        """Its caption, right of the picture moved by (dx, dy) and centred on it, shows in that colour alone."""
        x, y = self.x + self.w + dx, self.y + dy
        return (f"{self.name}'s caption", (x + 2, y - 20, x + 122, y + self.h + 20), color)

# Alpha has a caption and a keyed border; Beta shows Gamma while the pointer is over it.
ALPHA = Obj("Alpha", 100, 100, 80, 60, (200, 0, 0), down=(0, 160, 0), mouse=(0, 0, 200), caption="Alpha", frame=4)
BETA = Obj("Beta", 400, 100, 80, 60, (200, 200, 0), mouse=(230, 140, 40), activate="Gamma")
GAMMA = Obj("Gamma", 400, 250, 60, 40, (128, 0, 128))
DELTA = Obj("Delta", 700, 100, 50, 50, (255, 128, 0))
EPSILON = Obj("Epsilon", 100, 450, 40, 40, (0, 200, 200))
ZETA = Obj("Zeta", 200, 450, 40, 40, (100, 100, 255))
OBJECTS = [ALPHA, BETA, GAMMA, DELTA, EPSILON, ZETA]
# Epsilon's action writes a file beside the program folder (known once that is made); Zeta's names no program.
CLICKED = {}
ACTIONS = {EPSILON.name: lambda root: "touch " + CLICKED.setdefault("path", os.path.join(os.path.dirname(root), "clicked")),
           ZETA.name: lambda root: "no-such-program-orvanta --now"}
FONT = {**dict.fromkeys("width escapement orientation italic underline strikeOut charSet outPrecision clipPrecision "
                        "quality pitchAndFamily".split(), 0), "height": -16, "weight": 700, "faceName": "DejaVu Sans"}

def colors(field, c):
    """A colour as the desktop file keeps it: the raw pixel value and the COLORREF."""
    return {field + "Pixel": (c[0] << 16) | (c[1] << 8) | c[2], field + "Color": c[0] | (c[1] << 8) | (c[2] << 16)}

RECORD = {"reserved": 0, "text": "", "textRect": [0, 0, 0, 0], "font": FONT, **colors("text", CAPTION),
          **colors("hotText", HOT_CAPTION), "justify": 1087, "upImage": "", "downImage": "", "mouseImage": "",
          "activate": "", "visible": True, "textOnMouseOver": False, "action": ""}

def make_program_folder(root, program, desktop_tool, palette):
    """<root>/orvanta with desktops/default.orv and res/palette.bmp beside it."""
    images = os.path.join(root, "desktops", "images")
    os.makedirs(images)
    os.makedirs(os.path.join(root, "res"))
    shutil.copy2(program, os.path.join(root, "orvanta"))
    shutil.copy2(palette, os.path.join(root, "res", "palette.bmp"))

    def image(name, w, h, color_at):
        """A 24-bit bottom-up Windows bitmap, named under the development folder: loading moves it into ours."""
        pixels = b"".join(b"".join(bytes(color_at(x, y)[::-1]) for x in range(w)) + b"\0" * (-w * 3 % 4)
                          for y in reversed(range(h)))
        header = struct.pack("<2sIHHIIiiHHIIiiII", b"BM", 54 + len(pixels), 0, 0, 54, 40, w, h, 1, 24, 0,
                             len(pixels), 2835, 2835, 0, 0)
        pathlib.Path(images, name).write_bytes(header + pixels)
        return PREFIX + "\\desktops\\images\\" + name

    def keyed(o, color):
        return lambda x, y: color if o.frame <= x < o.w - o.frame and o.frame <= y < o.h - o.frame else KEY

    image("wide.bmp", 1100, 10, lambda x, y: ALPHA.up)  # wider than the screen: refused, for a placeholder
    records = [{**RECORD, "name": "Background", "objectRect": [0, 0, TILE_W, TILE_H],
                "upImage": image("tile.bmp", TILE_W, TILE_H, tile)}]
    for o in OBJECTS:
        looks = {look + "Image": image(f"{o.name.lower()}_{look}.bmp", o.w, o.h, keyed(o, getattr(o, look)))
                 for look in ("up", "down", "mouse") if getattr(o, look)}
        records.append({**RECORD, "name": o.name, "objectRect": [o.x, o.y, o.x + o.w, o.y + o.h], "text": o.caption,
                        "activate": o.activate, "action": ACTIONS[o.name](root) if o.name in ACTIONS else "", **looks})
    json_path = pathlib.Path(root, "desktop.json")
    json_path.write_text(json.dumps({"magic": "ORVDEMO1.0", "count": len(records), "tile": True, "defaultFont": FONT,
                                     **colors("back", BACK_COLOR), "objects": records}))
    subprocess.run([desktop_tool, "build", json_path, os.path.join(root, "desktops", "default.orv")], check=True)

def start_xvfb(size, log_path):
    """Xvfb on a display it picks and writes to its output: (process, display name), or (None, why not)."""
    try:
        with open(log_path, "w") as log:
            proc = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "{}x{}x24".format(*size), "-nolisten",
                                     "tcp", "-noreset"], stdout=subprocess.PIPE, stderr=log)
    except OSError as e:
        return None, f"Xvfb cannot be run: {e}"
    number = proc.stdout.readline().strip() if select.select([proc.stdout], [], [], 15)[0] else b""
    if not number:
        proc.kill()
        return None, "Xvfb did not start: " + pathlib.Path(log_path).read_text().strip()[-300:]
    return proc, ":" + number.decode()

class Screen:
    """A picture ImageMagick reads (a file, or data in the format source names: "xwd:-") as RGB triples."""

    def __init__(self, source, data=None):
        # Stripped of comments, the header is "P6 width height 255"; the pixels end the file.
        self.ppm = subprocess.run(["convert", source, "-strip", "-depth", "8", "ppm:-"], input=data,
                                  capture_output=True, check=True).stdout
        self.w, self.h = map(int, self.ppm.split(maxsplit=3)[1:3])
        self.data = self.ppm[-self.w * self.h * 3:]

    def at(self, x, y):
        i = (y * self.w + x) * 3
        return tuple(self.data[i: i + 3])

    def problem(self, check):
        """What is wrong, or None; a check is a function of the screen or as Obj describes it."""
        if callable(check):
            return check(self)
        what, where, expected = check
        if len(where) == 2:
            want, got = expected(*where) if callable(expected) else expected, self.at(*where)
            return None if got == want else f"{what}: pixel {where} is {got}, expected {want}"
        left, top, right, bottom = where
        pixels = [self.at(x, y) for y in range(max(top, 0), min(bottom, self.h)) for x in range(left, right)]
        counts = {c: pixels.count(c) for c in (CAPTION, HOT_CAPTION)}
        wrong = (expected and counts[expected] < 10) or any(n for c, n in counts.items() if c != expected)
        return f"{what}: pixels of each caption colour in {where}: {counts}" if wrong else None

class Session:
    """The program running on the test desktop in an X server, driven by xdotool."""

    def __init__(self, display, program_dir, artifacts, running, scale=None, greeting=None, native=False, framed=False,
                 messages=0):
        """Starts the program (its process goes into running) and closes the greeting after the first frame, once
        greeting(session, window) has looked at it. native: every control is a window of its own. framed: a window
        manager puts the program's windows into frames of its own. messages: how many message boxes come before the
        greeting, each answered with Return."""
        self.display, self.artifacts, self.program_dir, self.running = display, artifacts, program_dir, running
        self.depth = 2 if framed else 1
        # Recovery files go to a state folder of the run's own.
        self.env = {k: v for k, v in os.environ.items() if k not in HIDDEN} | {"DISPLAY": display, "LSAN_OPTIONS":
                    LSAN_OPTIONS, "QT_QPA_PLATFORM": "xcb", "QT_SCALE_FACTOR": str(scale or 1),
                    "XDG_STATE_HOME": os.path.join(artifacts, "state")}
        if native:
            self.env["QT_USE_NATIVE_WINDOWS"] = "1"
        self.greeting, self.messages = greeting, messages
        self.start()

    def start(self, restore=None):
        """Runs the program; restore: the key answering the offer of the last session's unsaved changes."""
        with open(os.path.join(self.artifacts, "orvanta.log"), "a") as log:
            self.proc = subprocess.Popen([os.path.join(self.program_dir, "orvanta")], env=self.env, stdout=log,
                                         stderr=subprocess.STDOUT, cwd=self.artifacts)
        self.running.append(self.proc)
        self.desktop_size = tuple(map(int, self.xdo("getdisplaygeometry").split()))
        self.move(EMPTY)
        if restore:  # the greeting follows at once, so the offer's own window is watched
            self.wait_for(lambda: len(self.windows()) == 2, "the offer of the unsaved changes")
            offer = self.xdo("getwindowfocus").strip()
            self.key(restore)
            self.wait_for(lambda: offer not in self.windows(), "the offer to close")
        for _ in range(self.messages):  # the greeting follows at once, so the box's own window is watched
            box = self.wait_for(lambda: self.dialog(), "a message before the greeting")
            self.key("Return")
            self.wait_for(lambda: box not in self.windows(), "the message before the greeting to close")
        if self.greeting and not restore:
            self.greeting(self, self.wait_for(lambda: self.dialog(), "the desktop and its greeting"))
        self.answer("Return", "the desktop and its greeting")

    def quit(self, answer="d"):
        """F12 ends the program with status 0; a question about unsaved changes gets that key (d: Discard)."""
        if self.proc.poll() is not None:
            return
        self.move(EMPTY)
        self.key("F12")
        # Windows first: the program may end while they are counted, which the poll then sees.
        if self.wait_for(lambda: "asked" if len(self.windows()) == 2 else self.proc.poll() is not None,
                         "the program to end or ask") == "asked":
            self.key(answer)
        try:
            require(self.proc.wait(15) == 0, f"the program ended with status {self.proc.returncode} after F12")
        except subprocess.TimeoutExpired:
            raise AssertionError("F12 did not end the program")

    def restart(self, restore):
        """SIGTERM ends the program with status 0 without asking; it starts again, offered what was unsaved."""
        self.proc.terminate()
        require(self.proc.wait(15) == 0, f"the program ended with status {self.proc.returncode} after SIGTERM")
        self.start(restore)

    def recovery_gone(self):
        # The running instance's own lock may live there too.
        left = [str(p) for p in pathlib.Path(self.env["XDG_STATE_HOME"]).rglob("*")
                if p.is_file() and p.suffix != ".lock"]
        require(not left, f"recovery files left: {left}")

    def xdo(self, *args, pause=0.0, check=True):  # then gives the program time to answer
        out = subprocess.run(["xdotool", *map(str, args)], env=self.env, check=check, capture_output=True, text=True)
        time.sleep(pause)
        return out.stdout

    def move(self, point):
        self.xdo("mousemove", *point, pause=0.15)

    def click(self, point):
        self.move(point)
        self.xdo("click", 1, pause=0.3)

    def desktop_mode(self, mode):
        """The desktop file's permissions, as another user might have left them; the file itself stays."""
        os.chmod(os.path.join(self.program_dir, "desktops", "default.orv"), mode)

    def forget_clicked(self):
        pathlib.Path(CLICKED["path"]).unlink(missing_ok=True)

    def no_dialog(self):
        time.sleep(1)
        require(len(self.windows()) == 1, "a question or message came up")

    def key(self, name):
        self.xdo("key", name, pause=0.2)

    def drag(self, start, stop, steps=8):
        """A left-button drag in steps; then the pointer goes where nothing is."""
        self.move(start)
        self.xdo("mousedown", 1, pause=0.15)
        for i in range(1, steps + 1):
            self.xdo("mousemove", *(a + (b - a) * i // steps for a, b in zip(start, stop)),
                     pause=0.2 if i == steps else 0.05)
        self.xdo("mouseup", 1, pause=0.15)
        self.move(EMPTY)

    def windows(self):  # the top-level ones
        return set(self.xdo("search", "--maxdepth", self.depth, "--onlyvisible", "--pid", self.proc.pid,
                            check=False).split())

    def dialog(self):
        """The one window over the desktop, or None."""
        over = [w for w in self.windows() if self.geometry(w)[2:] != self.desktop_size]
        return over[0] if len(self.windows()) == 2 and len(over) == 1 else None

    def controls(self, window):
        """The rectangles (x, y, width, height) of a window's child windows in creation order."""
        out = subprocess.run(["xwininfo", "-children", "-id", window, "-display", self.display], capture_output=True,
                             text=True, check=True).stdout
        rects = [tuple(map(int, m)) for m in re.findall(r"^\s+0x[0-9a-f]+ .*?(\d+)x(\d+)\+(-?\d+)\+(-?\d+)", out, re.M)]
        return [(x, y, w, h) for w, h, x, y in reversed(rects)]  # listed topmost first

    def geometry(self, window):  # (x, y, width, height) in screen pixels
        g = dict(line.split("=") for line in self.xdo("getwindowgeometry", "--shell", window).split())
        return int(g["X"]), int(g["Y"]), int(g["WIDTH"]), int(g["HEIGHT"])

    def wait_for(self, condition, what, timeout=15):
        """Polls condition until it gives something; that."""
        deadline = time.time() + timeout
        while not (result := condition()):
            if self.proc.poll() is not None:
                raise AssertionError(f"the program ended (status {self.proc.returncode}) while waiting for {what}")
            require(time.time() < deadline, f"timed out waiting for {what}")
            time.sleep(0.1)
        return result

    def answer(self, key, what, windows=2):
        """Waits for a dialog (or as many windows) over the desktop and answers it with a key."""
        self.wait_for(lambda: len(self.windows()) == windows, what)
        self.key(key)
        self.wait_for(lambda: len(self.windows()) == windows - 1, f"{what} to close")

    def context_menu(self, at, mnemonic, opens=None):
        """Picks an item by its mnemonic from the menu at a point; the menu's geometry, or the window's it opens."""
        self.move(at)
        before = self.windows()
        self.xdo("click", 3)
        menu = next(iter(self.wait_for(lambda: self.windows() - before, "the context menu to open")))
        geometry = self.geometry(menu)
        self.key(mnemonic)
        self.wait_for(lambda: menu not in self.windows(), "the context menu to close")
        return self.geometry(next(iter(self.wait_for(lambda: self.windows() - before, opens)))) if opens else geometry

    def properties_at(self, at, title):
        """Properties at a point opens the dialog of what is hit there, so titled; Escape closes it."""
        before = self.windows()
        self.context_menu(at, "r", title)
        names = {self.xdo("getwindowname", w).strip() for w in self.windows() - before}
        require(title in names, f"Properties at {at} opened {names}, not {title}")
        self.answer("Escape", title)

    def settings(self):
        """Opens Desktop Settings, whose read-only Desktop field shows the dialog's colour, not white; its size."""
        x, y, w, h = self.context_menu(EMPTY, "r", "the Desktop Settings dialog")
        ux, uy = w / 342, h / 125  # pixels per dialog unit
        field, face = (x + int(198 * ux), y + int(20 * uy)), (x + int(230 * ux), y + int(75 * uy))

        def field_like_face(screen):
            got, want = screen.at(*field), screen.at(*face)
            return None if got == want != (255, 255, 255) else f"Desktop field {got}, dialog {want}"
        self.expect("the read-only Desktop field", [field_like_face])
        self.answer("Escape", "Desktop Settings")
        return w, h

    def settings_press(self, *buttons):
        """Opens Desktop Settings and presses buttons, each a key or a centre in dialog units, until it closes."""
        x, y, w, h = self.context_menu(EMPTY, "r", "the Desktop Settings dialog")
        for b in buttons:
            self.key(b) if isinstance(b, str) else self.xdo("mousemove", x + b[0] * w // 342, y + b[1] * h // 125,
                                                             "click", 1, pause=0.3)
        self.wait_for(lambda: len(self.windows()) == 1, "Desktop Settings to close")
        self.move(EMPTY)

    def expect(self, what, checks, timeout=10):
        """Captures until every check holds; on timeout keeps the screen and fails."""
        deadline = time.time() + timeout
        while True:
            screen = Screen("xwd:-", subprocess.run(["xwd", "-root", "-silent", "-display", self.display],
                                                    capture_output=True, check=True).stdout)
            problems = [p for p in map(screen.problem, checks) if p]
            if not problems:
                return screen
            if time.time() > deadline:
                kept = pathlib.Path(self.artifacts, f"failed-{time.time_ns()}.ppm")
                kept.write_bytes(screen.ppm)
                raise AssertionError(f"{what}: " + "; ".join(problems) + f" (screen kept in {kept})")
            time.sleep(0.2)

    def atspi(self, press):
        """Reads the desktop as a screen reader does, over the accessibility bus, and presses one object there:
        the shown objects are push buttons named after them, described by their captions; pressing Beta hovers it
        first, so Gamma comes into view and is announced."""
        # Debian's pyatspi belongs to the system's Python, which need not be the one running this.
        python = shutil.which("python3", path="/usr/bin") or sys.executable
        out = subprocess.run([python, "-B", str(pathlib.Path(__file__).resolve().parent / "atspi_check.py"),
                              "orvanta", "--press", press], env=self.env, capture_output=True, text=True, timeout=90)
        require(out.returncode == 0, f"atspi_check.py ended with {out.returncode}: {out.stderr.strip()[-800:]}")
        report = json.loads(out.stdout)
        read = [(o["name"], o["description"], o["role"]) for o in report["objects"] if o["showing"]]
        expected = [(o.name, o.caption, "push button") for o in OBJECTS if o is not GAMMA]
        require(read == expected, f"the objects read: {read}, not {expected}")
        require(report["action"]["done"], f"pressing {press} was refused: {report['action']}")
        require(GAMMA.name in report["shown"], f"Gamma's showing was not announced: {report['shown']}")

    def run(self, steps):
        """Steps: what each shows, its actions (a method's name and arguments), its checks; the session."""
        for what, actions, checks in steps:
            for name, *args in actions:
                getattr(self, name)(*args)
            self.expect(what, checks)
        return self

IN_PLACE = ([("tiled background", p, tile) for p in ((0, 0), (19, 0), (20, 0), (39, 29), (40, 30), (333, 377),
                                                      (1003, 767), (1023, 767), (610, 710))]
            + [o.shows() for o in OBJECTS if o is not GAMMA] + [GAMMA.gone(), ALPHA.captioned(CAPTION)]
            + [("Alpha's keyed border", p, tile) for p in ((ALPHA.x + 1, ALPHA.y + 1), (ALPHA.x + 78, ALPHA.y + 58))]
            + [("Alpha inside its border", (ALPHA.x + 4, ALPHA.y + 4), ALPHA.up)])
UNLOCK, MOVE = ("context_menu", EMPTY, "l"), (300, 400)
DRAG_ALPHA = ("Alpha dragged", [UNLOCK, ("drag", ALPHA.center(), ALPHA.center(*MOVE))], [
    ALPHA.gone(), ALPHA.shows("up", *MOVE), ALPHA.captioned(None), ALPHA.captioned(CAPTION, *MOVE), BETA.shows(),
    ("Alpha's keyed border at its new place", (ALPHA.x + MOVE[0] + 1, ALPHA.y + MOVE[1] + 1), tile)])
NEW, REFRESH = (47, 106), (285, 106)  # Desktop Settings' buttons, in dialog units
BAND = ((EPSILON.x - 20, EPSILON.y - 20), (ZETA.x + ZETA.w + 20, ZETA.y + ZETA.h + 20))
BETWEEN = (EPSILON.x + EPSILON.w + 30, EPSILON.y)  # the frame shrinks to the selection's bounding box
BAND_MOVE = (500, -200)

# Wide is inserted at WIDE with a picture wider than the screen: refused, it shows and takes clicks only as a
# 64-pixel placeholder, framed in the caption colour, and only while unlocked.
WIDE, WIDE_MOVE = (600, 500), (-200, -100)
WIDE_INSIDE, WIDE_REACH = (WIDE[0] + 10, WIDE[1] + 5), (WIDE[0] + 300, WIDE[1] + 5)  # in the box; only in its reach

def placeholder(at, shown=True):
    color = CAPTION if shown else tile
    return [("placeholder frame", at, color), ("placeholder frame's far corner", (at[0] + 63, at[1] + 63), color),
            ("inside the placeholder", (at[0] + 32, at[1] + 50), tile),
            ("no picture where it would reach", (at[0] + WIDE_REACH[0] - WIDE[0], at[1] + 5), tile)]

def scenario_scaled(start, scale, width, art_dir=None):
    """Under Qt's scale factor the desktop keeps its device pixels; dialogs grow; at twice the size the greeting
    shows the picture drawn at twice the size (in art_dir), pixel for pixel at its place. The session, to quit."""
    reference = start()  # the same desktop unscaled
    unscaled, (w0, h0) = reference.expect("unscaled first frame", IN_PLACE), reference.settings()
    reference.quit()

    def sharp_greeting(session, window):
        x, y = (v + 3 * int(scale) for v in session.geometry(window)[:2])
        picture = Screen(os.path.join(art_dir, f"splash@{int(scale)}x.bmp"))

        def same(screen):
            wrong = sum(screen.at(x + i, y + j) != picture.at(i, j) for j in range(picture.h) for i in range(picture.w))
            return f"the greeting's picture differs from splash@{int(scale)}x.bmp in {wrong} pixels" if wrong else None
        session.expect("the greeting's picture at twice the size", [same])
    s = start(scale, greeting=sharp_greeting if art_dir and scale == int(scale) else None)
    screen = s.expect("first frame", IN_PLACE)
    differing = sum(a != b for a, b in zip(screen.data, unscaled.data))
    require(not differing, f"at scale {scale} the first frame differs from the unscaled one in {differing} bytes")
    w, h = s.settings()
    require(abs(w - w0 * scale) <= 4 and abs(h - h0 * scale) <= 4,
            f"Desktop Settings is {w}x{h} at scale {scale}, {w0}x{h0} unscaled")
    point = (601, 301)  # odd, so it is no whole logical pixel at 2 or 1.5
    x, y, _, mh = s.context_menu(point, "l")
    require(abs(x - point[0]) <= 2 and min(abs(y - point[1]), abs(y + mh - point[1])) <= 2,
            f"the context menu opened at ({x},{y}), the pointer was at {point}")
    # The picture's first and last pixels inside its keyed border: a pointer off by one would miss or hit them.
    first = (ALPHA.x + ALPHA.frame, ALPHA.y + ALPHA.frame)
    nx, ny = first[0] + 301, first[1] + 397
    s.run([("pointer over Alpha", [("move", ALPHA.center())], [ALPHA.shows("mouse")]),
           ("Alpha dragged by the pointer's pixels", [("drag", first, (nx, ny))], [
               ALPHA.gone(), ("Alpha's keyed border at its new place", (nx - 1, ny - 1), tile),
               ("Alpha's first inner pixel moved", (nx, ny), ALPHA.up),
               ("Alpha's last inner pixel moved", (nx + ALPHA.w - 2 * ALPHA.frame - 1,
                                                   ny + ALPHA.h - 2 * ALPHA.frame - 1), ALPHA.up)]),
           # The desktop ends at the screen's last device pixel, however its logical width rounds.
           ("Delta dragged against the screen's right edge", [("drag", DELTA.center(), (width - 1, DELTA.center()[1]))], [
               ("Delta's first column at the edge", (width - DELTA.w, DELTA.y + 1), DELTA.up),
               ("the tile left of it", (width - DELTA.w - 1, DELTA.y + 1), tile)])])
    return s

def read_templates(source=pathlib.Path(__file__).resolve().parents[2] / "res" / "DialogTemplates.cpp"):
    """The program's dialog templates: {array name: (width, height in dialog units, [(kind, x, y, cx, cy)])}."""
    text = source.read_text()
    controls = {name: re.findall(r"\{ \w+, K::(\w+), [^,]*, (\d+), (\d+), (\d+), (\d+)", body)
                for name, body in re.findall(r"DialogControl (\w+)\[\] = \{(.*?)\n\};", text, re.S)}
    return {name: (int(cx), int(cy), [(kind, *map(int, rect)) for kind, *rect in controls[name]])
            for cx, cy, name in re.findall(r"DialogTemplate \{ \w+, [^,]+, kFont, \d+, (\d+), (\d+), (\w+) \}", text)}

# The four dialogs: the template, and how each opens (the greeting opens by itself after the first frame).
DIALOGS = [("the greeting", "kSplash", None), ("Object Properties", "kObjectProperties", "i"),
           ("Objects", "kObjectList", "s"), ("Desktop Settings", "kDesktopSettings", "r")]

def dialog_layout_problems(name, template, size, controls, scale):
    """What differs between a dialog's controls and its template's at the scale: sizes in whole logical pixels from
    dialog units by the font's base units, as the program converts them, each within 2 device pixels; a control
    outside the dialog, or one overlapping another that does not hold it."""
    cx, cy, items = template
    w, h = size
    # The base units that give the dialog its size.
    bases = [(bx, by) for bx in range(1, 64) for by in range(1, 128)
             if abs(round(cx * bx // 4 * scale) - w) <= 1 and abs(round(cy * by // 8 * scale) - h) <= 1]
    if not bases:
        return [f"{name}: {w}x{h} fits no base units of its template at scale {scale}"]
    bx, by = bases[0]
    if len(controls) != len(items):
        return [f"{name}: {len(controls)} controls, the template has {len(items)}"]
    problems = []
    for i, ((kind, x, y, ccx, ccy), got) in enumerate(zip(items, controls)):
        want = [round(v * scale) for v in (x * bx // 4, y * by // 8, ccx * bx // 4, ccy * by // 8)]
        if kind == "ComboBox":  # a drop-down's template height is that of its open list
            want[3] = got[3]
        if any(abs(a - b) > 2 for a, b in zip(got, want)):
            problems.append(f"{name}: {kind} {i} is {got}, the template's at scale {scale} is {tuple(want)}")
        if got[0] < 0 or got[1] < 0 or got[0] + got[2] > w or got[1] + got[3] > h:
            problems.append(f"{name}: {kind} {i} {got} is cut by the dialog's edge ({w}x{h})")

    def inside(a, b):
        return b[0] <= a[0] and b[1] <= a[1] and a[0] + a[2] <= b[0] + b[2] and a[1] + a[3] <= b[1] + b[3]
    for i, a in enumerate(controls):
        for j, b in enumerate(controls[:i]):
            meet = a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]
            if meet and not inside(a, b) and not inside(b, a):
                problems.append(f"{name}: {items[i][0]} {i} {a} overlaps {items[j][0]} {j} {b}")
    return problems

def scenario_scaled_dialogs(start, scale):
    """At the scale every control of the four dialogs sits where its template puts it, whole and apart from the
    others; and the Text box of Object Properties shows its whole frame. The session, to quit."""
    templates, problems = read_templates(), []

    def look(session, window, name, template):
        x, y, w, h = session.geometry(window)
        problems.extend(dialog_layout_problems(name, templates[template], (w, h), session.controls(window), scale))

    name, template, _ = DIALOGS[0]
    s = start(scale, greeting=lambda session, window: look(session, window, name, template), native=True)
    for name, template, mnemonic in DIALOGS[1:]:
        before = s.windows()
        s.context_menu(EMPTY, mnemonic, f"the {name} dialog")
        look(s, next(iter(s.windows() - before)), name, template)
        s.answer("Escape", name)
    require(not problems, "; ".join(problems))
    s.quit()

    # The frame of the Text box, in windows as the program has them: a line darker than the field and the dialog on
    # each side, within two pixels of the box's edge.
    s = start(scale)
    x, y, w, h = s.context_menu(EMPTY, "i", "the Object Properties dialog")
    cx, cy, items = templates["kObjectProperties"]
    bx, by = next((bx, by) for bx in range(1, 64) for by in range(1, 128)
                  if abs(round(cx * bx // 4 * scale) - w) <= 1 and abs(round(cy * by // 8 * scale) - h) <= 1)
    _, tx, ty, tcx, tcy = max((item for item in items if item[0] == "Edit"), key=lambda item: item[4])  # Text
    left, top = x + round(tx * bx // 4 * scale), y + round(ty * by // 8 * scale)
    right, bottom = left + round(tcx * bx // 4 * scale) - 1, top + round(tcy * by // 8 * scale) - 1
    mid_x, mid_y = (left + right) // 2, (top + bottom) // 2
    sides = {"left": [(left + d, mid_y) for d in range(3)], "right": [(right - d, mid_y) for d in range(3)],
             "top": [(mid_x, top + d) for d in range(3)], "bottom": [(mid_x, bottom - d) for d in range(3)]}

    def framed(screen):
        missing = [side for side, points in sides.items() if min(sum(screen.at(*p)) for p in points) > 3 * 215]
        return f"the Text box ({left},{top})-({right},{bottom}) has no frame line at its {missing}" if missing else None
    s.expect("the Text box framed on every side", [framed])
    s.answer("Escape", "the Object Properties dialog")
    return s

class Randr:
    """Sets the size of the X server's screen as xrandr would. Xvfb forgets a mode when the client that made it goes,
    so one connection makes them all and lives as long as the run; the server starts at the largest size."""

    def __init__(self, display):
        import ctypes.util
        ul, ui, ptr = ctypes.c_ulong, ctypes.c_uint, ctypes.c_void_p

        class ModeInfo(ctypes.Structure):
            _fields_ = [(f, t) for f, t in zip(
                "id width height dotClock hSyncStart hSyncEnd hTotal hSkew vSyncStart vSyncEnd vTotal name nameLength "
                "modeFlags".split(), (ul, ui, ui, ul, ui, ui, ui, ui, ui, ui, ui, ctypes.c_char_p, ui, ul))]

        class Resources(ctypes.Structure):
            _fields_ = [("timestamp", ul), ("configTimestamp", ul), ("ncrtc", ctypes.c_int),
                        ("crtcs", ctypes.POINTER(ul)), ("noutput", ctypes.c_int), ("outputs", ctypes.POINTER(ul))]
        self.x = x = ctypes.CDLL(ctypes.util.find_library("X11"))
        self.r = r = ctypes.CDLL(ctypes.util.find_library("Xrandr"))
        for f, res, args in ((x.XOpenDisplay, ptr, [ctypes.c_char_p]), (x.XDefaultRootWindow, ul, [ptr]),
                             (x.XSync, ctypes.c_int, [ptr, ctypes.c_int]), (x.XCloseDisplay, ctypes.c_int, [ptr]),
                             (r.XRRGetScreenResources, ctypes.POINTER(Resources), [ptr, ul]),
                             (r.XRRFreeScreenResources, None, [ctypes.POINTER(Resources)]),
                             (r.XRRCreateMode, ul, [ptr, ul, ctypes.POINTER(ModeInfo)]),
                             (r.XRRAddOutputMode, None, [ptr, ul, ul]),
                             (r.XRRSetScreenSize, None, [ptr, ul, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_int]),
                             (r.XRRSetCrtcConfig, ctypes.c_int, [ptr, ctypes.POINTER(Resources), ul, ul, ctypes.c_int,
                                                                 ctypes.c_int, ul, ctypes.c_ushort, ptr, ctypes.c_int])):
            f.restype, f.argtypes = res, args
        x.XDisplayWidth.argtypes = x.XDisplayHeight.argtypes = [ptr, ctypes.c_int]
        # A refused request is a failed check, not the end of this process (Xlib's default).
        self.errors = []
        self.on_error = ctypes.CFUNCTYPE(ctypes.c_int, ptr, ptr)(lambda _, __: self.errors.append(1) or 0)
        x.XSetErrorHandler(self.on_error)
        self.mode_info, self.ctypes = ModeInfo, ctypes
        self.dpy = x.XOpenDisplay(display.encode())
        require(self.dpy, f"cannot open {display} for xrandr")
        self.root = x.XDefaultRootWindow(self.dpy)
        self.size, self.modes = (x.XDisplayWidth(self.dpy, 0), x.XDisplayHeight(self.dpy, 0)), {}

    def resize(self, w, h):
        x, r, ctypes = self.x, self.r, self.ctypes
        res = r.XRRGetScreenResources(self.dpy, self.root)
        output, crtc = res.contents.outputs[0], res.contents.crtcs[0]
        if (w, h) not in self.modes:  # a name of its own: the server's modes keep theirs
            name = f"e2e-{w}x{h}".encode()
            self.modes[w, h] = r.XRRCreateMode(self.dpy, self.root, ctypes.byref(self.mode_info(
                0, w, h, 60 * w * h, w, w, w, 0, h, h, h, name, len(name), 0)))
            r.XRRAddOutputMode(self.dpy, output, self.modes[w, h])
            x.XSync(self.dpy, 0)
            r.XRRFreeScreenResources(res)
            res = r.XRRGetScreenResources(self.dpy, self.root)  # newer, with the mode
        mode = self.modes[w, h]
        mm = (w * 254 // 960, h * 254 // 960)  # 96 dots per inch
        outputs = (ctypes.c_ulong * 1)(output)
        # The screen holds the output at every moment: it grows before, and shrinks after.
        if w > self.size[0] or h > self.size[1]:
            r.XRRSetScreenSize(self.dpy, self.root, max(w, self.size[0]), max(h, self.size[1]), *mm)
            x.XSync(self.dpy, 0)
        require(r.XRRSetCrtcConfig(self.dpy, res, crtc, 0, 0, 0, mode, 1, outputs, 1) == 0, f"xrandr to {w}x{h} refused")
        r.XRRSetScreenSize(self.dpy, self.root, w, h, *mm)
        x.XSync(self.dpy, 0)
        r.XRRFreeScreenResources(res)
        require(not self.errors, f"the X server refused xrandr to {w}x{h}")
        self.size = (w, h)

CLOCK = (800, 250, 120, 120)  # where xclock shows: over nothing the checks look at

def scenario_below_windows(start, display):
    """The desktop under a window manager: an application's window stays above it whatever is clicked there, keys
    still reach it, and a second start leaves the one desktop. The session, to quit."""
    s = start(framed=True)
    clock = subprocess.Popen(["xclock", "-geometry", "{2}x{3}+{0}+{1}".format(*CLOCK)], env=s.env,
                             stderr=subprocess.DEVNULL)
    s.running.append(clock)
    window = s.wait_for(lambda: s.xdo("search", "--onlyvisible", "--class", "xclock", check=False).split(),
                        "xclock's window")[0]
    cx, cy, cw, ch = s.geometry(window)

    def clock_shows(screen):  # its face is white
        inside = [screen.at(cx + cw // 2 + d, cy + 5) for d in (-20, 0, 20)]
        return None if inside.count((255, 255, 255)) >= 2 else f"xclock's face at ({cx},{cy}) shows {inside}"
    s.run([("xclock above the desktop", [], IN_PLACE + [clock_shows]),
           ("still above after clicks on the desktop and on Alpha",
            [("xdo", "mousemove", *EMPTY, "click", 1), ("xdo", "mousemove", *ALPHA.center(), "click", 1)],
            [clock_shows]),
           DRAG_ALPHA[:2] + (DRAG_ALPHA[2] + [clock_shows],),
           ("Ctrl+Z after a click on the desktop", [("xdo", "mousemove", *EMPTY, "click", 1), ("key", "ctrl+z")],
            IN_PLACE + [clock_shows])])
    second = subprocess.run([os.path.join(s.program_dir, "orvanta")], env=s.env, capture_output=True, text=True,
                            timeout=30)
    require(second.returncode == 0, f"a second start ended with status {second.returncode}: {second.stderr.strip()}")
    require(len(s.windows()) == 1 and s.proc.poll() is None, f"after a second start: windows {s.windows()}")
    s.expect("one desktop after the second start", IN_PLACE + [clock_shows])
    return s

def scenario_screen_change(start, randr):
    """xrandr to a larger and to a smaller screen shows what a fresh start at that size shows; a screen too small for
    some objects says so in one message, at a change as at a start. The session, to quit."""
    def corner(size):  # the desktop reaches the screen's last pixel
        return ("the tile in the far corner", (size[0] - 1, size[1] - 1), tile)

    def resized(session, size):
        randr.resize(*size)
        session.desktop_size = size
        session.move(REST)

    def fresh(size):  # a start at the size, the pointer at rest: the session and what it shows
        randr.resize(*size)
        session = start(framed=True, messages=int(size == SMALL))
        session.move(REST)
        return session, session.expect(f"a fresh start at {size}", [corner(size)])

    s = start(framed=True)
    s.run([("first frame", [], IN_PLACE)])
    resized(s, LARGE)
    after = {LARGE: s.expect("the frame after xrandr to a larger screen", IN_PLACE + [corner(LARGE)])}
    resized(s, SMALL)
    s.answer("Return", "the one message about the objects that do not fit")
    time.sleep(1)
    require(len(s.windows()) == 1, f"more than one message about the objects that do not fit: {s.windows()}")
    after[SMALL] = s.expect("the frame after xrandr to a smaller screen", [corner(SMALL)])
    # A screen that shrinks and grows five times a second for ten seconds: the desktop follows it to the last size,
    # asking no more than one box at a time.
    for i in range(50):
        resized(s, (1024, 768) if i % 2 else SMALL)
    deadline = time.time() + 15
    while (box := s.dialog()) or time.time() < deadline - 12:
        require(len(s.windows()) <= 2 and time.time() < deadline, f"after the flapping screen: windows {s.windows()}")
        if box:
            s.key("Return")
        time.sleep(0.3)
    s.expect("the frame after the flapping screen", IN_PLACE)
    for size in (LARGE, SMALL):
        s.quit()
        s, shot = fresh(size)
        differing = sum(a != b for a, b in zip(shot.ppm, after[size].ppm))
        if differing or len(shot.ppm) != len(after[size].ppm):
            for name, screen in (("changed", after[size]), ("fresh", shot)):
                pathlib.Path(s.artifacts, f"{name}-{size[0]}x{size[1]}.ppm").write_bytes(screen.ppm)
            raise AssertionError(f"after xrandr to {size} the screen differs from a fresh start's in {differing} "
                                 f"bytes (both kept in {s.artifacts})")
    time.sleep(1)
    require(len(s.windows()) == 1, f"a start on the small screen left more than one message: {s.windows()}")
    return s

LARGE, SMALL = (1920, 1080), (640, 480)  # Delta, Epsilon and Zeta do not fit on the small one
REST = (600, 20)  # where the pointer rests: over nothing at every size

SCENARIOS = {
    "first_frame": [("first frame", [], IN_PLACE)],
    "hover": [("first frame", [], IN_PLACE),
              # The second move changes nothing: the moves after it within Alpha stay with the X server.
              ("pointer over Alpha", [("move", ALPHA.center()), ("move", ALPHA.center(2, 1))],
               [ALPHA.shows("mouse"), ALPHA.captioned(HOT_CAPTION), GAMMA.gone()]),
              ("pointer over Beta: Gamma shows", [("move", BETA.center())],
               [BETA.shows("mouse"), GAMMA.shows(), ALPHA.shows(), ALPHA.captioned(CAPTION)]),
              ("pointer over nothing", [("move", EMPTY)], [BETA.shows(), GAMMA.gone()])],
    "press": [("pointer over Alpha", [("move", ALPHA.center()), ("move", ALPHA.center(2, 1))], [ALPHA.shows("mouse")]),
              ("Alpha pressed", [("xdo", "mousedown", 1)], [ALPHA.shows("down"), ALPHA.captioned(HOT_CAPTION)]),
              ("Alpha released", [("xdo", "mouseup", 1)], [ALPHA.shows("mouse")]),
              ("Locked: the click moved nothing", [("move", EMPTY)], IN_PLACE)],
    "drag": [("Locked: a drag only presses", [("drag", ALPHA.center(), ALPHA.center(*MOVE))], IN_PLACE), DRAG_ALPHA],
    "rubber_band": [
        ("Epsilon and Zeta selected", [UNLOCK, ("drag", *BAND)], [
            ("selection frame along the top of Epsilon and Zeta", BETWEEN, HIGHLIGHT),
            ("selection frame along the bottom", (BETWEEN[0], ZETA.y + ZETA.h - 1), HIGHLIGHT),
            ("no frame where the band started", (BAND[0][0] + 5, BAND[0][1]), tile)]),
        ("Epsilon and Zeta dragged together", [("drag", EPSILON.center(), EPSILON.center(*BAND_MOVE))], [
            EPSILON.gone(), ZETA.gone(), EPSILON.shows("up", *BAND_MOVE), ZETA.shows("up", *BAND_MOVE), ALPHA.shows(),
            ("selection frame gone after the release", (BETWEEN[0] + BAND_MOVE[0], BETWEEN[1] + BAND_MOVE[1]), tile)])],
    # Enter answers OK in the confirmation box.
    "delete": [("Delta deleted", [("context_menu", DELTA.center(), "d"), ("answer", "Return", "the confirmation")],
                [DELTA.gone(), ALPHA.shows(), EPSILON.shows(), ZETA.shows()])],
    "redraw": [("F2 redraws the same desktop", [("key", "F2")], IN_PLACE)],
    # A click runs Epsilon's program, which writes a file; Zeta's missing program is named in a message.
    "actions": [("Epsilon's program ran", [("click", EPSILON.center())], IN_PLACE + [
        lambda screen: None if os.path.exists(CLICKED["path"]) else "Epsilon's program wrote no file"]),
        ("Zeta's message answered", [("click", ZETA.center()),
                                     ("answer", "Return", "the message that Zeta's program is missing")], IN_PLACE),
        # A desktop file its group may write asks once; No runs nothing, then or at the next click.
        ("another user's desktop: asked once, No", [
            ("forget_clicked",), ("desktop_mode", 0o664), ("click", EPSILON.center()),
            ("answer", "Escape", "the question whether to run the actions"), ("click", EPSILON.center()),
            ("no_dialog",)], IN_PLACE + [
            lambda screen: "Epsilon's program ran" if os.path.exists(CLICKED["path"]) else None])],
    # Runs on a session bus of its own, where the accessibility bus starts on demand.
    "atspi": [("first frame", [], IN_PLACE),
              ("read and Beta pressed over AT-SPI", [("atspi", BETA.name)], IN_PLACE)],
    # Insert offers a name, selected: typing a taken one replaces it and OK refuses it.
    "dialogs": [("both dialogs closed, the desktop unchanged", [
        ("context_menu", EMPTY, "i", "the Object Properties dialog"), ("xdo", "type", "Alpha"), ("key", "Return"),
        ("answer", "Escape", "the taken name 'Alpha' to be refused", 3),
        ("answer", "Escape", "the Object Properties dialog"), ("settings",)], IN_PLACE)],
    "undo": [DRAG_ALPHA] + [(what, [("key", key)], checks) for what, key, checks in (
        ("drag undone", "ctrl+z", IN_PLACE), ("drag redone", "ctrl+y", DRAG_ALPHA[2]),
        ("drag undone again", "ctrl+z", IN_PLACE), ("drag redone by Ctrl+Shift+Z", "ctrl+shift+z", DRAG_ALPHA[2]))],
    # Cancel after New brings back the unsaved drag, and Refresh keeps it undoable.
    "settings_keep": [DRAG_ALPHA, ("New, Cancel: the drag stays", [("settings_press", NEW, "Escape")], DRAG_ALPHA[2]),
                      ("Refresh, then the drag undone", [("settings_press", REFRESH), ("key", "ctrl+z")], IN_PLACE)],
    # F12 asks about unsaved changes: Escape cancels, S saves.
    "quit_asks": [DRAG_ALPHA, ("the question cancelled: the desktop stays", [
        ("key", "F12"), ("answer", "Escape", "the question about unsaved changes")], DRAG_ALPHA[2]),
        ("saved and ended", [("quit", "s")], [])],
    # SIGTERM keeps the unsaved drag; the next start offers it, Y restores it, still unsaved (quit discards it).
    "recovery": [DRAG_ALPHA, ("the drag restored after SIGTERM", [("restart", "y")], DRAG_ALPHA[2]),
                 ("no recovery file left after the answer", [("recovery_gone",)], [])],
    "placeholder": [
        ("Locked: the refused picture shows nothing", [
            ("context_menu", WIDE, "i", "the Object Properties dialog"), ("xdo", "type", "Wide"),
            ("key", "Tab"), ("key", "Tab"), ("key", "Tab"),  # past the action and its Browse button
            ("xdo", "type", "../Program/desktops/images/wide.bmp"), ("key", "Return"), ("xdo", "sleep", 1),
            ("answer", "Return", "the message that Wide's picture does not fit"),
            ("properties_at", WIDE_INSIDE, "Desktop Settings")], placeholder(WIDE, False)),
        ("Unlocked: its placeholder shows and is hit", [UNLOCK, ("properties_at", WIDE_INSIDE, "Object Properties"),
                                                         ("properties_at", WIDE_REACH, "Desktop Settings")],
         placeholder(WIDE)),
        ("the placeholder dragged", [("drag", WIDE_INSIDE, tuple(map(sum, zip(WIDE_INSIDE, WIDE_MOVE))))],
         placeholder(tuple(map(sum, zip(WIDE, WIDE_MOVE)))) + [("where it was", WIDE, tile)])],
    "scaled_2": 2.0,  # scenario_scaled under this QT_SCALE_FACTOR
    "scaled_1.5": 1.5,
    "scaled_1.5_1024": (1.5, (1024, 768)),  # 683 logical pixels wide, which scale back to 1025
    "dialogs_1.5": ("dialogs", 1.5),  # scenario_scaled_dialogs under this QT_SCALE_FACTOR
    "below_windows": ("openbox", scenario_below_windows),  # under that window manager
    "screen_change": ("openbox", scenario_screen_change),
}

SAVING = {"quit_asks"}

def snapshot(folder):
    """Every file under folder with its bytes and modification time."""
    return {p: (p.read_bytes(), p.stat().st_mtime_ns) for p in pathlib.Path(folder).rglob("*") if p.is_file()}

def main():
    parser = argparse.ArgumentParser()
    for option in ("--program", "--desktop-tool", "--palette"):
        parser.add_argument(option, required=True)
    parser.add_argument("--art-dir", help="the pictures the art tool drew for the program")
    parser.add_argument("scenario", choices=SCENARIOS)
    args = parser.parse_args()
    steps = SCENARIOS[args.scenario]
    if args.scenario == "atspi" and "ORVANTA_E2E_SESSION_BUS" not in os.environ:
        if not shutil.which("dbus-run-session"):
            print("SKIP: dbus-run-session is missing: no session bus for the accessibility bus")
            return 77
        os.environ["ORVANTA_E2E_SESSION_BUS"] = "1"
        os.execvp("dbus-run-session", ["dbus-run-session", "--", sys.executable, "-B", *sys.argv])
    if args.scenario == "atspi":
        os.environ["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    dialogs = isinstance(steps, tuple) and steps[0] == "dialogs"
    managed = isinstance(steps, tuple) and steps[0] == "openbox"
    scale, size = (None, LARGE if steps[1] is scenario_screen_change else (1024, 768)) if managed else (
        steps[1], (1920, 1080)) if dialogs else steps if isinstance(steps, tuple) else (
        steps, (1920, 1080)) if isinstance(steps, float) else (None, (1024, 768))
    work = tempfile.mkdtemp(prefix="orvanta-e2e-")
    artifacts, program_dir = os.path.join(work, "artifacts"), os.path.join(work, "Program")
    os.makedirs(artifacts)
    running, status = [], 1
    try:
        make_program_folder(program_dir, args.program, args.desktop_tool, args.palette)
        before = snapshot(os.path.join(program_dir, "desktops"))
        xvfb, display = start_xvfb(size, os.path.join(artifacts, "xvfb.log"))
        if not xvfb:
            print(f"SKIP: no X server for the end-to-end tests: {display}")
            status = 77
            return status
        running.append(xvfb)
        start = functools.partial(Session, display, program_dir, artifacts, running)
        if managed:
            if not shutil.which("openbox"):
                print("SKIP: openbox is missing")
                status = 77
                return status
            running.append(subprocess.Popen(["openbox"], env=os.environ | {"DISPLAY": display},
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            randr = Randr(display)
            randr.resize(1024, 768)
            deadline = time.time() + 15
            while "window id" not in subprocess.run(["xprop", "-root", "-display", display,
                                                     "_NET_SUPPORTING_WM_CHECK"], capture_output=True, text=True).stdout:
                require(time.time() < deadline, "openbox did not start")
                time.sleep(0.2)
            steps[1](start, randr if steps[1] is scenario_screen_change else display).quit()
        elif dialogs:
            scenario_scaled_dialogs(start, scale).quit()
        else:
            (scenario_scaled(start, scale, size[0], args.art_dir) if scale else start().run(steps)).quit()
        saved = args.scenario in SAVING
        require((snapshot(os.path.join(program_dir, "desktops")) == before) != saved,
                "the desktop folder did not change although Save was chosen" if saved else
                "the desktop folder changed although nothing was saved")
        print(f"PASS: {args.scenario}")
        status = 0
        return status
    except (AssertionError, subprocess.CalledProcessError, OSError) as e:  # OSError: xdotool, xwd or convert missing
        print(f"FAIL: {args.scenario}: {e}")
        log = pathlib.Path(artifacts, "orvanta.log")
        print("program output:\n" + log.read_text().strip()[-3000:] if log.exists() else "the program did not start")
        return 1
    finally:
        for proc in reversed(running):  # Xvfb last, and politely: it removes its lock file
            proc.terminate()
            proc.wait(10)
        if status == 1:
            print(f"kept {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)

if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    sys.exit(main())
