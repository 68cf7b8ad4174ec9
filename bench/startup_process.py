#!/usr/bin/env python3
"""Whole-process start-up: `orvanta --desktop D --screen WxH --screenshot out.png`
on a desktop of 50 objects (64x64 Up, Down and Mouse pictures shared by all
objects, three-line captions, a tiled background) against the same desktop
with no objects, runs interleaved, at 1920x1080 and 3840x2160. Prints the
median wall time and peak RSS of each and the ratio.

    bench/startup_process.py --build build/default [--runs 7] [--compare OTHER]

--compare OTHER also runs another build of the program on the full desktop,
interleaved with the first, and prints its median as a ratio to the first's.
"""

import argparse
import json
import os
import statistics
import struct
import subprocess
import sys
import tempfile
import time

KEY = (0, 127, 127)


def write_bmp(path, width, height, pixel):
    """A 24-bit bottom-up .bmp of pixel(x, y) -> (r, g, b)."""
    row_bytes = (width * 3 + 3) & ~3
    rows = []
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        rows.append(bytes(row) + b"\0" * (row_bytes - len(row)))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def button(shade):
    # A round button on the key colour: about 40% of the square is key.
    def pixel(x, y):
        if (x - 31.5) ** 2 + (y - 31.5) ** 2 > 26**2:
            return KEY
        return (shade, (x * 4) & 255, (y * 4) & 255)

    return pixel


def make_desktops(tool, template, folder):
    images = {}
    for look, shade in (("up", 200), ("down", 120), ("mouse", 250)):
        images[look] = os.path.join(folder, look + ".bmp")
        write_bmp(images[look], 64, 64, button(shade))
    tile = os.path.join(folder, "tile.bmp")
    write_bmp(tile, 100, 100, lambda x, y: (40 + x // 2, 60, 90 + y // 2))

    base = json.loads(subprocess.run([tool, "dump", template], check=True, capture_output=True).stdout)
    background = dict(base["objects"][0], upImage=tile)
    sample = base["objects"][1]
    objects = [background]
    for i in range(50):
        x, y = 20 + (i % 10) * 180, 20 + (i // 10) * 180
        objects.append(dict(sample, name="Object %d" % i, text="Object %d\r\nsecond line\r\nthird" % i,
                            upImage=images["up"], downImage=images["down"], mouseImage=images["mouse"],
                            objectRect=[x, y, x + 64, y + 64], textRect=[0, 0, 0, 0], action="", activate=""))
    paths = {}
    for name, objs in (("full", objects), ("empty", [background])):
        source = os.path.join(folder, name + ".json")
        with open(source, "w") as f:
            json.dump(dict(base, objects=objs, count=len(objs), tile=True), f)
        paths[name] = os.path.join(folder, name + ".orv")
        subprocess.run([tool, "build", source, paths[name]], check=True)
    return paths


def run_once(program, desktop, screen, out):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    start = time.perf_counter()
    child = subprocess.Popen([program, "--desktop", desktop, "--screen", screen, "--screenshot", out], env=env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        sys.exit("%s failed: %s" % (desktop, child.stderr.read().decode()))
    return elapsed, usage.ru_maxrss


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/default")
    parser.add_argument("--program", help="the orvanta program (default: BUILD/orvanta)")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--compare", help="another orvanta program, run on the full desktop beside the first")
    args = parser.parse_args()
    program = args.program or os.path.join(args.build, "orvanta")
    tool = os.path.join(args.build, "tools", "orvanta-desktop", "orvanta-desktop")
    template = os.path.join(args.build, "desktops", "default.orv")
    with tempfile.TemporaryDirectory() as folder:
        paths = make_desktops(tool, template, folder)
        out = os.path.join(folder, "out.png")
        print("%-10s %-7s %10s %10s %8s" % ("screen", "desktop", "median_s", "peak_MiB", "ratio"))
        for screen in ("1920x1080", "3840x2160"):
            runs = [("full", program, "full"), ("empty", program, "empty")]
            if args.compare:
                runs.append(("compare", args.compare, "full"))
            times = {name: [] for name, _, _ in runs}
            peaks = {name: 0 for name, _, _ in runs}
            for _ in range(args.runs):
                for name, binary, desktop in runs:
                    elapsed, peak = run_once(binary, paths[desktop], screen, out)
                    times[name].append(elapsed)
                    peaks[name] = max(peaks[name], peak)
            empty = statistics.median(times["empty"])
            for name, _, _ in runs:
                median = statistics.median(times[name])
                print("%-10s %-7s %10.3f %10.1f %8.2f" % (screen, name, median, peaks[name] / 1024, median / empty))
            if args.compare:
                print("%-10s compare/full %.2f" % (screen, statistics.median(times["compare"]) / statistics.median(times["full"])))


if __name__ == "__main__":
    main()
