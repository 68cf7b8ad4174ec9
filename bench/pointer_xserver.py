#!/usr/bin/env python3
"""Pointer cost in a real X server: the program on the 50-object desktop of
startup_process.py in Xvfb, the pointer moved by xdotool every 8 ms (a
125 Hz mouse). Prints the CPU seconds of the program and of the X server
over N moves within one object (nothing changes) and N moves between two
neighbours (every move changes the hovered object), at 1920x1080 and
3840x2160. Run it against two builds to compare them.

    bench/pointer_xserver.py --build build/default [--moves 1000]
"""

import argparse
import os
import subprocess
import tempfile
import time

from peers_xserver import cpu_seconds
from startup_process import make_desktops


def centre(i):
    # Object i's picture as make_desktops places it.
    return 20 + (i % 10) * 180 + 32, 20 + (i // 10) * 180 + 32


def measure(program, desktop, screen, moves):
    display = ":%d" % (90 + os.getpid() % 9)
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", screen + "x24", "-nolisten", "tcp"],
                            stderr=subprocess.DEVNULL)
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb")
    child = None
    try:
        time.sleep(1.5)
        child = subprocess.Popen([program, "--desktop", desktop], env=env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        time.sleep(6)
        subprocess.run(["xdotool", "key", "Escape"], env=env, check=True)  # the greeting
        time.sleep(1)
        a, b = centre(24), centre(25)
        results = {}
        for name, points in (("still", (a, (a[0] + 3, a[1] + 2))), ("hover", (a, b))):
            subprocess.run(["xdotool", "mousemove", *map(str, points[1])], env=env, check=True)
            time.sleep(0.5)
            before = cpu_seconds(child.pid), cpu_seconds(xvfb.pid)
            steps = []
            for n in range(moves):
                steps += ["mousemove", *map(str, points[n % 2]), "sleep", "0.008"]
            subprocess.run(["xdotool", *steps], env=env, check=True)
            time.sleep(0.5)
            results[name] = cpu_seconds(child.pid) - before[0], cpu_seconds(xvfb.pid) - before[1]
        return results
    finally:
        for process in (child, xvfb):
            if process:
                process.kill()
                process.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/default")
    parser.add_argument("--moves", type=int, default=1000)
    args = parser.parse_args()
    tool = os.path.join(args.build, "tools", "orvanta-desktop", "orvanta-desktop")
    template = os.path.join(args.build, "desktops", "default.orv")
    with tempfile.TemporaryDirectory() as folder:
        desktop = make_desktops(tool, template, folder)["full"]
        print("%-10s %-6s %12s %12s" % ("screen", "moves", "program_s", "xserver_s"))
        for screen in ("1920x1080", "3840x2160"):
            for name, (program_s, xserver_s) in measure(os.path.join(args.build, "orvanta"), desktop, screen,
                                                        args.moves).items():
                print("%-10s %-6s %12.3f %12.3f" % (screen, name, program_s, xserver_s))


if __name__ == "__main__":
    main()
