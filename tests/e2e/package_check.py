#!/usr/bin/env python3
"""Builds the Debian package, unpacks it into a scratch root and checks it.

    package_check.py --build-dir DIR

Checks the layout, the declared dependencies and Debian's own checks
(lintian: no errors, no warnings), then runs the unpacked
`orvanta --screenshot` through its /usr/bin link and compares the frame with
the bundled desktop's own pictures, read through the unpacked orvanta-desktop.
"""

import argparse
import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from orvanta_e2e import KEY, PREFIX, Failure, parse_ppm  # noqa: E402


class Picture:
    """Any picture ImageMagick reads, as RGB triples."""

    def __init__(self, path):
        ppm = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], capture_output=True, check=True).stdout
        self.w, self.h, self.data = parse_ppm(ppm)

    def at(self, x, y):
        i = (y * self.w + x) * 3
        return tuple(self.data[i: i + 3])


def check_layout(root):
    lib = os.path.join(root, "usr/lib/orvanta")
    for path in ("usr/lib/orvanta/orvanta", "usr/bin/orvanta-desktop"):
        if not os.access(os.path.join(root, path), os.X_OK):
            raise Failure(f"{path} missing or not executable")
    link = os.path.join(root, "usr/bin/orvanta")
    if not os.path.islink(link) or os.path.realpath(link) != os.path.realpath(os.path.join(lib, "orvanta")):
        raise Failure("usr/bin/orvanta does not lead to usr/lib/orvanta/orvanta")
    for path in ("res/palette.bmp", "desktops/default.orv"):
        if not os.path.isfile(os.path.join(lib, path)):
            raise Failure(f"usr/lib/orvanta/{path} missing")
    if not glob.glob(os.path.join(lib, "desktops/images/*.bmp")):
        raise Failure("no pictures under usr/lib/orvanta/desktops/images")

    entry = open(os.path.join(root, "usr/share/applications/orvanta.desktop")).read().splitlines()
    for line in ("[Desktop Entry]", "Exec=orvanta", "Icon=orvanta", "Type=Application"):
        if line not in entry:
            raise Failure(f"orvanta.desktop lacks {line!r}")
    for page in ("orvanta.1.gz", "orvanta-desktop.1.gz"):
        if not os.path.isfile(os.path.join(root, "usr/share/man/man1", page)):
            raise Failure(f"manual page {page} missing")
    icon = Picture(os.path.join(root, "usr/share/icons/hicolor/64x64/apps/orvanta.png"))
    if (icon.w, icon.h) != (64, 64):
        raise Failure(f"the icon is {icon.w}x{icon.h}, expected 64x64")


def check_dependencies(deb):
    depends = subprocess.run(["dpkg-deb", "-f", deb, "Depends"], capture_output=True, text=True,
                             check=True).stdout
    names = {item.strip().split()[0] for item in depends.split(",") if item.strip()}
    for needed in ("libqt6core6", "libqt6gui6", "libqt6widgets6", "libc6", "libstdc++6"):
        if needed not in names:
            raise Failure(f"Depends lacks {needed}: {depends.strip()}")


def check_lintian(deb):
    run = subprocess.run(["lintian", "--fail-on", "error,warning", deb], capture_output=True, text=True)
    if run.returncode != 0:
        raise Failure("lintian: " + " | ".join(line for line in run.stdout.splitlines() if line[:2] in ("E:", "W:")))


def check_screenshot(root, work):
    lib = os.path.join(root, "usr/lib/orvanta")
    shot = os.path.join(work, "shot.png")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    env.pop("ORVANTA_DISPLAY_DEPTH", None)
    run = subprocess.run([os.path.join(root, "usr/bin/orvanta"), "--screenshot", shot], env=env,
                         capture_output=True, text=True, timeout=60)
    if run.returncode != 0 or not os.path.isfile(shot):
        raise Failure(f"--screenshot failed with status {run.returncode}: {run.stderr.strip()}")
    # Every message box goes to standard error when nobody can answer it.
    messages = [line for line in run.stderr.splitlines() if line.startswith(("Orvanta:", "orvanta:"))]
    if messages:
        raise Failure("--screenshot reported: " + " | ".join(messages))
    screen = Picture(shot)

    dump = subprocess.run([os.path.join(root, "usr/bin/orvanta-desktop"), "dump", os.path.join(lib, "desktops",
                          "default.orv")], capture_output=True, text=True, check=True).stdout
    desktop = json.loads(dump)

    def local(path):
        if not path.lower().startswith(PREFIX):
            raise Failure(f"picture path {path!r} is not relocatable")
        return os.path.join(lib, path[len(PREFIX):].replace("\\", "/").lstrip("/"))

    objects = desktop["objects"]
    hidden = {o["activate"] for o in objects[1:] if o["activate"]}
    covered = []
    checked = 0
    for obj in objects[1:]:
        if not obj["upImage"]:
            continue
        up = Picture(local(obj["upImage"]))
        left, top = obj["objectRect"][0], obj["objectRect"][1]
        covered.append((left, top, left + up.w + 200, top + up.h))  # with room for a caption
        if not obj["visible"] or obj["name"] in hidden or left + up.w > screen.w or top + up.h > screen.h:
            continue
        # The picture's middle, where it is opaque, drawn at its place.
        x, y = up.w // 2, up.h // 2
        if up.at(x, y) == KEY:
            continue
        if screen.at(left + x, top + y) != up.at(x, y):
            raise Failure(f"{obj['name']}: screen ({left + x},{top + y}) is {screen.at(left + x, top + y)}, "
                          f"its picture has {up.at(x, y)}")
        checked += 1
    if checked < 3:
        raise Failure(f"only {checked} objects could be checked on the screenshot")

    background = objects[0]
    if background["upImage"] and desktop["tile"]:
        tile = Picture(local(background["upImage"]))
        for x, y in ((screen.w - 1, screen.h - 1), (screen.w // 2 + 37, screen.h - 5), (screen.w - 3, 11)):
            if any(l <= x < r and t <= y < b for l, t, r, b in covered):
                continue
            if screen.at(x, y) != tile.at(x % tile.w, y % tile.h):
                raise Failure(f"background at ({x},{y}) is {screen.at(x, y)}, the tile has "
                              f"{tile.at(x % tile.w, y % tile.h)}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="orvanta-package-")
    try:
        subprocess.run(["cpack", "-G", "DEB", "--config", os.path.join(args.build_dir, "CPackConfig.cmake"), "-B",
                        work], check=True, capture_output=True, text=True)
        debs = glob.glob(os.path.join(work, "*.deb"))
        if len(debs) != 1:
            raise Failure(f"expected one package, found {debs}")
        root = os.path.join(work, "root")
        subprocess.run(["dpkg-deb", "-x", debs[0], root], check=True)
        check_layout(root)
        check_dependencies(debs[0])
        check_lintian(debs[0])
        check_screenshot(root, work)
        print(f"PASS: {os.path.basename(debs[0])}")
        return 0
    except subprocess.CalledProcessError as e:
        print(f"FAIL: {' '.join(map(str, e.cmd))} ended with status {e.returncode}\n{e.stdout or ''}{e.stderr or ''}")
        return 1
    except Failure as e:
        print(f"FAIL: {e}")
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
