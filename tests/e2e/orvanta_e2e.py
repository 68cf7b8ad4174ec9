#!/usr/bin/env python3
"""End-to-end checks of Orvanta in a real X server.

Starts Xvfb (1024x768, 24 bits), runs the built program from a throw-away
program folder holding a desktop written here, drives it with real X input
events through xdotool and reads the real screen back through xwd. Expected
pixels come from the colours of the pictures this script writes.

    orvanta_e2e.py --program PATH --desktop-tool PATH SCENARIO

Exit status 0 on success, 1 on failure, 77 when no X server can be started.
"""

import argparse
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import json

SKIP = 77
SCREEN_W, SCREEN_H = 1024, 768
PREFIX = "e:\\projects3\\tav"
KEY = (0, 127, 127)  # the transparent colour of object pictures
HIGHLIGHT = (255, 255, 0)  # the selection frame's raw pixel value 0xFFFF00

# The background tile: left half one colour, right half another.
TILE_W, TILE_H = 40, 30
TILE_LEFT, TILE_RIGHT = (20, 40, 80), (40, 80, 20)
BACK_COLOR = (90, 90, 90)

CAPTION = (255, 255, 255)
HOT_CAPTION = (255, 255, 0)


class Obj:
    def __init__(self, name, x, y, w, h, up, down=None, mouse=None, caption="", activate="", visible=True,
                 frame=0):
        self.name, self.x, self.y, self.w, self.h = name, x, y, w, h
        self.up, self.down, self.mouse = up, down, mouse
        self.caption, self.activate, self.visible = caption, activate, visible
        self.frame = frame  # width of a key-coloured (transparent) border in every picture

    def center(self, dx=0, dy=0):
        return (self.x + self.w // 2 + dx, self.y + self.h // 2 + dy)


# The test desktop. Alpha has a caption and a transparent border; Beta shows
# Gamma while the pointer is over it; Epsilon and Zeta are rubber-banded.
ALPHA = Obj("Alpha", 100, 100, 80, 60, up=(200, 0, 0), down=(0, 160, 0), mouse=(0, 0, 200), caption="Alpha",
            frame=4)
BETA = Obj("Beta", 400, 100, 80, 60, up=(200, 200, 0), mouse=(230, 140, 40), activate="Gamma")
GAMMA = Obj("Gamma", 400, 250, 60, 40, up=(128, 0, 128))
DELTA = Obj("Delta", 700, 100, 50, 50, up=(255, 128, 0))
EPSILON = Obj("Epsilon", 100, 450, 40, 40, up=(0, 200, 200))
ZETA = Obj("Zeta", 200, 450, 40, 40, up=(100, 100, 255))
OBJECTS = [ALPHA, BETA, GAMMA, DELTA, EPSILON, ZETA]

# A point where no object is and none is ever moved to.
EMPTY = (900, 700)


class Failure(Exception):
    pass


def tile_color(x, y):
    return TILE_LEFT if x % TILE_W < TILE_W // 2 else TILE_RIGHT


# ---------------------------------------------------------------- files

def write_bmp(path, width, height, color_at):
    """A 24-bit bottom-up Windows bitmap."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = color_at(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (stride - width * 3)
        rows.append(bytes(row))
    pixels = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def picture(obj, color):
    def at(x, y):
        f = obj.frame
        inside = f <= x < obj.w - f and f <= y < obj.h - f
        return color if inside else KEY
    return at


def colorref(c):
    return c[0] | (c[1] << 8) | (c[2] << 16)


def pixel_value(c):
    return (c[0] << 16) | (c[1] << 8) | c[2]


def font(height=-16, weight=700, face="DejaVu Sans"):
    return {"height": height, "width": 0, "escapement": 0, "orientation": 0, "weight": weight, "italic": 0,
            "underline": 0, "strikeOut": 0, "charSet": 0, "outPrecision": 0, "clipPrecision": 0, "quality": 0,
            "pitchAndFamily": 0, "faceName": face}


def record(name, up="", down="", mouse="", rect=(0, 0, 0, 0), text="", activate="", visible=True):
    return {"name": name, "reserved": 0, "text": text, "textRect": [0, 0, 0, 0], "font": font(),
            "textPixel": pixel_value(CAPTION), "textColor": colorref(CAPTION),
            "hotTextPixel": pixel_value(HOT_CAPTION), "hotTextColor": colorref(HOT_CAPTION), "justify": 1087,
            "upImage": up, "downImage": down, "mouseImage": mouse, "objectRect": list(rect),
            "activate": activate, "visible": visible, "textOnMouseOver": False, "action": ""}


def make_program_folder(root, program, desktop_tool, palette):
    """<root>/orvanta with desktops/default.orv and res/palette.bmp beside it."""
    shutil.copy2(program, os.path.join(root, "orvanta"))
    images = os.path.join(root, "desktops", "images")
    os.makedirs(images)
    os.makedirs(os.path.join(root, "res"))
    if palette and os.path.exists(palette):
        shutil.copy2(palette, os.path.join(root, "res", "palette.bmp"))

    def image(file_name, width, height, color_at):
        write_bmp(os.path.join(images, file_name), width, height, color_at)
        # Stored under the development folder: loading moves it into ours.
        return PREFIX + "\\desktops\\images\\" + file_name

    half = TILE_W // 2
    background = image("tile.bmp", TILE_W, TILE_H, lambda x, y: TILE_LEFT if x < half else TILE_RIGHT)
    records = [record("Background", up=background, rect=(0, 0, TILE_W, TILE_H))]
    for obj in OBJECTS:
        stem = obj.name.lower()
        paths = {}
        for look in ("up", "down", "mouse"):
            color = getattr(obj, look)
            if color:
                paths[look] = image(f"{stem}_{look}.bmp", obj.w, obj.h, picture(obj, color))
        records.append(record(obj.name, rect=(obj.x, obj.y, obj.x + obj.w, obj.y + obj.h), text=obj.caption,
                              activate=obj.activate, visible=obj.visible, **paths))
    desktop = {"magic": "ORVDEMO1.0", "count": len(records), "tile": True, "backPixel": pixel_value(BACK_COLOR),
               "backColor": colorref(BACK_COLOR), "defaultFont": font(), "objects": records}
    json_path = os.path.join(root, "desktop.json")
    with open(json_path, "w") as f:
        json.dump(desktop, f, indent=1)
    orv = os.path.join(root, "desktops", "default.orv")
    subprocess.run([desktop_tool, "build", json_path, orv], check=True)
    return orv


# ---------------------------------------------------------------- X server

class XServer:
    def __init__(self, size=(SCREEN_W, SCREEN_H)):
        self.proc = None
        self.display = None
        self.size = size

    def start(self):
        if not shutil.which("Xvfb"):
            return "Xvfb is not installed"
        read_fd, write_fd = os.pipe()
        try:
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{self.size[0]}x{self.size[1]}x24", "-nolisten",
                 "tcp", "-noreset"], pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        except OSError as e:
            return f"Xvfb cannot be run: {e}"
        finally:
            os.close(write_fd)
        number = b""
        deadline = time.time() + 15
        os.set_blocking(read_fd, False)
        while time.time() < deadline and not number.endswith(b"\n"):
            try:
                chunk = os.read(read_fd, 16)
                if not chunk:
                    break
                number += chunk
            except BlockingIOError:
                if self.proc.poll() is not None:
                    break
                time.sleep(0.05)
        os.close(read_fd)
        if not number.strip():
            err = b""
            if self.proc.poll() is not None:
                err = self.proc.stderr.read()
            self.stop()
            return "Xvfb did not start: " + err.decode(errors="replace").strip()[-300:]
        self.display = ":" + number.decode().strip()
        return None

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


# ---------------------------------------------------------------- the session

class Session:
    def __init__(self, xserver, program_dir, artifacts, scale=None):
        self.x = xserver
        self.env = dict(os.environ, DISPLAY=xserver.display, QT_QPA_PLATFORM="xcb")
        for var in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORMTHEME", "ORVANTA_DISPLAY_DEPTH", "QT_SCALE_FACTOR",
                    "QT_SCREEN_SCALE_FACTORS"):
            self.env.pop(var, None)
        if scale:
            self.env["QT_SCALE_FACTOR"] = str(scale)
        self.scale = scale or 1
        # A sanitizer build reports the program's own leaks, not the system's.
        suppressions = os.path.join(os.path.dirname(os.path.abspath(__file__)), "lsan.supp")
        self.env["LSAN_OPTIONS"] = ":".join(filter(None, [os.environ.get("LSAN_OPTIONS"),
                                                          "suppressions=" + suppressions]))
        self.program_dir = program_dir
        self.artifacts = artifacts
        self.proc = None
        self.shots = 0

    # input
    def xdo(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True)

    def move(self, x, y):
        self.xdo("mousemove", x, y)
        time.sleep(0.15)

    def drag(self, start, end, steps=8):
        self.move(*start)
        self.xdo("mousedown", 1)
        time.sleep(0.15)
        for i in range(1, steps + 1):
            self.xdo("mousemove", start[0] + (end[0] - start[0]) * i // steps,
                     start[1] + (end[1] - start[1]) * i // steps)
            time.sleep(0.05)
        time.sleep(0.15)
        self.xdo("mouseup", 1)
        time.sleep(0.15)

    def key(self, name):
        self.xdo("key", name)
        time.sleep(0.2)

    def context_menu(self, at, mnemonic):
        """Right-click at a point and pick a menu item by its mnemonic letter; the menu's geometry."""
        self.move(*at)
        before = set(self.visible_windows())
        self.xdo("click", 3)
        self.wait_for(lambda: set(self.visible_windows()) - before, "the context menu to open")
        menu = set(self.visible_windows()) - before
        geometry = self.geometry(next(iter(menu)))
        self.key(mnemonic)
        self.wait_for(lambda: not menu & set(self.visible_windows()), "the context menu to close")
        return geometry

    def geometry(self, window):
        """(x, y, width, height) of a window in screen pixels."""
        out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], env=self.env,
                             capture_output=True, text=True, check=True).stdout
        g = dict(line.split("=") for line in out.split())
        return int(g["X"]), int(g["Y"]), int(g["WIDTH"]), int(g["HEIGHT"])

    # windows
    def visible_windows(self):
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.proc.pid)], env=self.env,
                             capture_output=True, text=True)
        return out.stdout.split()

    def wait_for(self, condition, what, timeout=15):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if condition():
                return
            if self.proc.poll() is not None:
                raise Failure(f"the program ended (status {self.proc.returncode}) while waiting for {what}")
            time.sleep(0.1)
        raise Failure(f"timed out waiting for {what}")

    def start(self):
        self.log = open(os.path.join(self.artifacts, "orvanta.log"), "w")
        self.proc = subprocess.Popen([os.path.join(self.program_dir, "orvanta")], env=self.env,
                                     stdout=self.log, stderr=subprocess.STDOUT, cwd=self.artifacts)
        self.wait_for(lambda: len(self.visible_windows()) >= 1, "the desktop window")
        # The greeting follows the first frame; Enter closes it.
        self.wait_for(lambda: len(self.visible_windows()) >= 2, "the greeting dialog")
        self.move(*EMPTY)
        self.key("Return")
        self.wait_for(lambda: len(self.visible_windows()) == 1, "the greeting dialog to close")

    def quit(self):
        """F12 ends the program with status 0."""
        self.move(*EMPTY)
        self.key("F12")
        try:
            status = self.proc.wait(15)
        except subprocess.TimeoutExpired:
            raise Failure("F12 did not end the program")
        if status != 0:
            raise Failure(f"the program ended with status {status} after F12")

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    # screen
    def capture(self):
        xwd = subprocess.run(["xwd", "-root", "-silent", "-display", self.x.display], capture_output=True,
                             check=True).stdout
        ppm = subprocess.run(["convert", "xwd:-", "-depth", "8", "ppm:-"], input=xwd, capture_output=True,
                             check=True).stdout
        return Screen(ppm)

    def expect(self, what, checks, timeout=10):
        """Captures until every check holds; on timeout keeps the screen and fails."""
        deadline = time.time() + timeout
        while True:
            screen = self.capture()
            problems = [p for p in (check(screen) for check in checks) if p]
            if not problems:
                return screen
            if time.time() > deadline:
                self.shots += 1
                path = os.path.join(self.artifacts, f"failed-{self.shots}.ppm")
                with open(path, "wb") as f:
                    f.write(screen.ppm)
                raise Failure(f"{what}: " + "; ".join(problems) + f" (screen kept in {path})")
            time.sleep(0.2)


def parse_ppm(ppm):
    """(width, height, RGB bytes) of a binary PPM, comments allowed in the header."""
    fields, pos = [], 0
    while len(fields) < 4:
        while ppm[pos:pos + 1].isspace():
            pos += 1
        if ppm[pos:pos + 1] == b"#":
            pos = ppm.index(b"\n", pos) + 1
            continue
        end = pos
        while not ppm[end:end + 1].isspace():
            end += 1
        fields.append(ppm[pos:end])
        pos = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise Failure("unexpected capture format")
    w, h = int(fields[1]), int(fields[2])
    return w, h, ppm[pos + 1: pos + 1 + w * h * 3]


class Screen:
    def __init__(self, ppm):
        self.ppm = ppm
        self.w, self.h, self.data = parse_ppm(ppm)

    def at(self, x, y):
        i = (y * self.w + x) * 3
        return tuple(self.data[i: i + 3])

    def count(self, rect, color):
        left, top, right, bottom = rect
        n = 0
        for y in range(max(top, 0), min(bottom, self.h)):
            row = self.data[(y * self.w + left) * 3: (y * self.w + right) * 3]
            n += sum(1 for i in range(0, len(row), 3) if tuple(row[i: i + 3]) == color)
        return n


# ---------------------------------------------------------------- checks

def pixel_is(x, y, color, what):
    def check(screen):
        got = screen.at(x, y)
        return None if got == color else f"{what}: pixel ({x},{y}) is {got}, expected {color}"
    return check


def shows(obj, color, at=None, what=None):
    x, y = at if at else obj.center()
    return pixel_is(x, y, color, what or f"{obj.name}")


def shows_background(x, y, what):
    return pixel_is(x, y, tile_color(x, y), what)


def caption_area(obj, x=None, y=None):
    """Where a caption placed beside the picture stands: right of it, centred on it."""
    x = obj.x if x is None else x
    y = obj.y if y is None else y
    return (x + obj.w + 2, y - 20, x + obj.w + 2 + 120, y + obj.h + 20)


def caption_in(area, color, present, what):
    def check(screen):
        n = screen.count(area, color)
        if present and n < 10:
            return f"{what}: only {n} pixels of {color} in {area}"
        if not present and n:
            return f"{what}: {n} pixels of {color} in {area}, expected none"
        return None
    return check


def tiled_background():
    points = [(0, 0), (19, 0), (20, 0), (39, 29), (40, 30), (333, 377), (1003, 767), (1023, 767), (610, 710)]
    return [shows_background(x, y, "tiled background") for x, y in points]


def everything_in_place():
    checks = tiled_background()
    for obj in OBJECTS:
        if obj is GAMMA:
            checks.append(shows_background(*GAMMA.center(), "Gamma hidden until Beta is under the pointer"))
        else:
            checks.append(shows(obj, obj.up, what=f"{obj.name} Up picture"))
    # The transparent border shows the background through.
    checks.append(shows_background(ALPHA.x + 1, ALPHA.y + 1, "Alpha's keyed border"))
    checks.append(shows_background(ALPHA.x + ALPHA.w - 2, ALPHA.y + ALPHA.h - 2, "Alpha's keyed border"))
    checks.append(shows(ALPHA, ALPHA.up, at=(ALPHA.x + 4, ALPHA.y + 4), what="Alpha inside its border"))
    checks.append(caption_in(caption_area(ALPHA), CAPTION, True, "Alpha's caption"))
    checks.append(caption_in(caption_area(ALPHA), HOT_CAPTION, False, "Alpha's caption not hot"))
    return checks


# ---------------------------------------------------------------- scenarios

def scenario_first_frame(s):
    s.expect("first frame", everything_in_place())


def scenario_hover(s):
    s.expect("first frame", everything_in_place())
    s.move(*ALPHA.center())
    s.expect("pointer over Alpha", [
        shows(ALPHA, ALPHA.mouse, what="Alpha Mouse picture"),
        caption_in(caption_area(ALPHA), HOT_CAPTION, True, "Alpha's mouse-over caption"),
        caption_in(caption_area(ALPHA), CAPTION, False, "Alpha's normal caption gone"),
        shows_background(*GAMMA.center(), "Gamma still hidden"),
    ])
    s.move(*BETA.center())
    s.expect("pointer over Beta", [
        shows(BETA, BETA.mouse, what="Beta Mouse picture"),
        shows(GAMMA, GAMMA.up, what="Gamma shown while Beta is under the pointer"),
        shows(ALPHA, ALPHA.up, what="Alpha back to Up"),
        caption_in(caption_area(ALPHA), CAPTION, True, "Alpha's normal caption back"),
    ])
    s.move(*EMPTY)
    s.expect("pointer over nothing", [
        shows(BETA, BETA.up, what="Beta back to Up"),
        shows_background(*GAMMA.center(), "Gamma hidden again"),
    ])


def scenario_press(s):
    s.move(*ALPHA.center())
    s.expect("pointer over Alpha", [shows(ALPHA, ALPHA.mouse, what="Alpha Mouse picture")])
    s.xdo("mousedown", 1)
    s.expect("Alpha pressed", [
        shows(ALPHA, ALPHA.down, what="Alpha Down picture"),
        caption_in(caption_area(ALPHA), HOT_CAPTION, True, "Alpha's caption while pressed"),
    ])
    s.xdo("mouseup", 1)
    s.expect("Alpha released", [shows(ALPHA, ALPHA.mouse, what="Alpha Mouse picture after the release")])
    # Locked: the press moved nothing.
    s.move(*EMPTY)
    s.expect("after the click", everything_in_place())


def unlock(s):
    s.context_menu(EMPTY, "l")


def scenario_drag(s):
    # Locked first: a drag only presses.
    s.drag(ALPHA.center(), ALPHA.center(300, 400))
    s.move(*EMPTY)
    s.expect("drag while Locked", everything_in_place())

    unlock(s)
    dx, dy = 300, 400
    s.drag(ALPHA.center(), ALPHA.center(dx, dy))
    s.move(*EMPTY)
    s.expect("Alpha dragged", [
        shows_background(*ALPHA.center(), "Alpha's old place"),
        shows(ALPHA, ALPHA.up, at=ALPHA.center(dx, dy), what="Alpha at its new place"),
        shows_background(ALPHA.x + dx + 1, ALPHA.y + dy + 1, "Alpha's keyed border at its new place"),
        caption_in(caption_area(ALPHA), CAPTION, False, "Alpha's caption left its old place"),
        caption_in(caption_area(ALPHA, ALPHA.x + dx, ALPHA.y + dy), CAPTION, True, "Alpha's caption moved along"),
        shows(BETA, BETA.up, what="Beta stayed"),
    ])


def scenario_rubber_band(s):
    unlock(s)
    band = ((EPSILON.x - 20, EPSILON.y - 20), (ZETA.x + ZETA.w + 20, ZETA.y + ZETA.h + 20))
    s.drag(*band)
    # The frame shrinks to the selection's bounding box.
    between = (EPSILON.x + EPSILON.w + 30, EPSILON.y)
    s.expect("Epsilon and Zeta selected", [
        pixel_is(*between, HIGHLIGHT, "selection frame along the top of Epsilon and Zeta"),
        pixel_is(between[0], ZETA.y + ZETA.h - 1, HIGHLIGHT, "selection frame along the bottom"),
        shows_background(band[0][0] + 5, band[0][1], "no frame where the band started"),
    ])
    dx, dy = 500, -200
    s.drag(EPSILON.center(), EPSILON.center(dx, dy))
    s.move(*EMPTY)
    s.expect("Epsilon and Zeta dragged together", [
        shows_background(*EPSILON.center(), "Epsilon's old place"),
        shows_background(*ZETA.center(), "Zeta's old place"),
        shows(EPSILON, EPSILON.up, at=EPSILON.center(dx, dy), what="Epsilon at its new place"),
        shows(ZETA, ZETA.up, at=ZETA.center(dx, dy), what="Zeta at its new place"),
        shows_background(between[0] + dx, between[1] + dy, "selection frame gone after the release"),
        shows(ALPHA, ALPHA.up, what="Alpha stayed"),
    ])


def scenario_delete(s):
    s.context_menu(DELTA.center(), "d")
    # The confirmation box: Enter answers OK.
    s.wait_for(lambda: len(s.visible_windows()) >= 2, "the delete confirmation")
    s.key("Return")
    s.wait_for(lambda: len(s.visible_windows()) == 1, "the confirmation to close")
    s.move(*EMPTY)
    s.expect("Delta deleted", [
        shows_background(*DELTA.center(), "Delta's place"),
        shows(ALPHA, ALPHA.up, what="Alpha kept"),
        shows(EPSILON, EPSILON.up, what="Epsilon kept"),
        shows(ZETA, ZETA.up, what="Zeta kept"),
    ])


def scenario_redraw(s):
    # F2 redraws the same desktop.
    s.key("F2")
    s.expect("after F2", everything_in_place())


def open_dialog(s, mnemonic, what):
    before = set(s.visible_windows())
    s.context_menu(EMPTY, mnemonic)
    s.wait_for(lambda: set(s.visible_windows()) - before, what)
    return (set(s.visible_windows()) - before).pop()


def scenario_dialogs(s):
    # Insert: the offered name is selected, so typing a taken name replaces it and OK refuses it.
    open_dialog(s, "i", "the Object Properties dialog")
    s.xdo("type", "Alpha")
    s.key("Return")
    s.wait_for(lambda: len(s.visible_windows()) == 3, "the taken name 'Alpha' to be refused")
    for _ in range(2):
        s.key("Escape")
    s.wait_for(lambda: len(s.visible_windows()) == 1, "the dialog to close")
    # Desktop Settings: the read-only Desktop field shows the dialog's own colour, not a white field.
    x, y, w, h = s.geometry(open_dialog(s, "r", "the Desktop Settings dialog"))
    ux, uy = w / 342, h / 125  # pixels per dialog unit
    def check(screen):
        field, face = screen.at(x + int(198 * ux), y + int(20 * uy)), screen.at(x + int(230 * ux), y + int(75 * uy))
        return None if field == face != (255, 255, 255) else f"Desktop field {field}, dialog {face}"
    s.expect("the read-only Desktop field", [check])
    s.key("Escape")
    s.wait_for(lambda: len(s.visible_windows()) == 1, "Desktop Settings to close")


# ---------------------------------------------------------------- undo

def scenario_undo(s):
    unlock(s)
    dx, dy = 300, 400
    s.drag(ALPHA.center(), ALPHA.center(dx, dy))
    s.move(*EMPTY)
    moved = [shows_background(*ALPHA.center(), "Alpha's old place"),
             shows(ALPHA, ALPHA.up, at=ALPHA.center(dx, dy), what="Alpha at its new place")]
    s.expect("Alpha dragged", moved)
    s.key("ctrl+z")
    s.expect("drag undone", everything_in_place())
    s.key("ctrl+y")
    s.expect("drag redone", moved)
    s.key("ctrl+z")
    s.expect("drag undone again", everything_in_place())
    s.key("ctrl+shift+z")
    s.expect("drag redone by Ctrl+Shift+Z", moved)


# ---------------------------------------------------------------- scaled screens

def settings_size(s):
    _, _, w, h = s.geometry(open_dialog(s, "r", "the Desktop Settings dialog"))
    s.key("Escape")
    s.wait_for(lambda: len(s.visible_windows()) == 1, "Desktop Settings to close")
    return w, h


def scenario_scaled(s):
    """Under Qt's scale factor the desktop keeps its device pixels; dialogs grow."""
    reference, (w0, h0) = s.reference
    screen = s.expect("first frame", everything_in_place())
    if screen.data != reference.data:
        diff = [(i // 3 % screen.w, i // 3 // screen.w) for i in range(0, len(screen.data), 3)
                if screen.data[i:i + 3] != reference.data[i:i + 3]]
        xs, ys = [p[0] for p in diff], [p[1] for p in diff]
        raise Failure(f"at scale {s.scale} the first frame differs from the unscaled one in {len(diff)} pixels "
                      f"within ({min(xs)},{min(ys)})-({max(xs)},{max(ys)})")
    w, h = settings_size(s)
    if abs(w - w0 * s.scale) > 4 or abs(h - h0 * s.scale) > 4:
        raise Failure(f"Desktop Settings is {w}x{h} at scale {s.scale}, {w0}x{h0} unscaled")

    point = (601, 301)  # odd, so it is no whole logical pixel at 2 or 1.5
    x, y, mw, mh = s.context_menu(point, "l")
    if abs(x - point[0]) > 2 or min(abs(y - point[1]), abs(y + mh - point[1])) > 2:
        raise Failure(f"the context menu opened at ({x},{y}), the pointer was at {point}")

    s.move(*ALPHA.center())
    s.expect("pointer over Alpha", [shows(ALPHA, ALPHA.mouse, what="Alpha Mouse picture")])
    # The picture's first and last pixels inside its keyed border: a pointer
    # off by one would miss or hit them.
    inner = (ALPHA.x + ALPHA.frame, ALPHA.y + ALPHA.frame)
    dx, dy = 301, 397
    s.drag(inner, (inner[0] + dx, inner[1] + dy))
    s.move(*EMPTY)
    nx, ny = inner[0] + dx, inner[1] + dy
    s.expect("Alpha dragged by the pointer's pixels", [
        shows_background(*ALPHA.center(), "Alpha's old place"),
        shows(ALPHA, ALPHA.up, at=(nx, ny), what="Alpha's first inner pixel at its new place"),
        shows_background(nx - 1, ny - 1, "Alpha's keyed border at its new place"),
        shows(ALPHA, ALPHA.up, at=(nx + ALPHA.w - 2 * ALPHA.frame - 1, ny + ALPHA.h - 2 * ALPHA.frame - 1),
              what="Alpha's last inner pixel at its new place"),
    ])


SCENARIOS = {
    "first_frame": scenario_first_frame,
    "hover": scenario_hover,
    "press": scenario_press,
    "drag": scenario_drag,
    "rubber_band": scenario_rubber_band,
    "delete": scenario_delete,
    "redraw": scenario_redraw,
    "dialogs": scenario_dialogs,
    "undo": scenario_undo,
    "scaled": scenario_scaled,
}


def snapshot(folder):
    """Every file under folder with its bytes and modification time."""
    result = {}
    for base, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(base, name)
            with open(path, "rb") as f:
                result[os.path.relpath(path, folder)] = (f.read(), os.stat(path).st_mtime_ns)
    return result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--desktop-tool", required=True)
    parser.add_argument("--palette")
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    parser.add_argument("--scale", type=float, help="QT_SCALE_FACTOR for the program, on a 1920x1080 screen")
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    args = parser.parse_args()

    for tool in ("xdotool", "xwd", "convert"):
        if not shutil.which(tool):
            print(f"FAIL: {tool} is not installed (scripts/setup.sh installs it)")
            return 1

    work = tempfile.mkdtemp(prefix="orvanta-e2e-")
    artifacts = os.path.join(work, "artifacts")
    os.makedirs(artifacts)
    program_dir = os.path.join(work, "Program")
    os.makedirs(program_dir)
    xserver = XServer((1920, 1080) if args.scale else (SCREEN_W, SCREEN_H))
    session = None
    failed = True
    try:
        make_program_folder(program_dir, args.program, args.desktop_tool, args.palette)
        desktops = os.path.join(program_dir, "desktops")
        before = snapshot(desktops)

        problem = xserver.start()
        if problem:
            print(f"SKIP: no X server for the end-to-end tests: {problem}")
            failed = False
            return SKIP

        reference = None
        if args.scale:
            # What the same desktop shows unscaled.
            session = Session(xserver, program_dir, artifacts)
            session.start()
            reference = (session.expect("unscaled first frame", everything_in_place()), settings_size(session))
            session.quit()
        session = Session(xserver, program_dir, artifacts, args.scale)
        session.reference = reference
        session.start()
        SCENARIOS[args.scenario](session)
        session.quit()
        if snapshot(desktops) != before:
            raise Failure("the desktop folder changed although nothing was saved")
        failed = False
        print(f"PASS: {args.scenario}")
        return 0
    except (Failure, subprocess.CalledProcessError) as e:
        print(f"FAIL: {args.scenario}: {e}")
        log = os.path.join(artifacts, "orvanta.log")
        if os.path.exists(log):
            with open(log) as f:
                text = f.read().strip()
            if text:
                print("program output:\n" + text[-3000:])
        return 1
    finally:
        if session:
            session.stop()
        xserver.stop()
        if failed or args.keep:
            print(f"kept {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    sys.exit(main())
