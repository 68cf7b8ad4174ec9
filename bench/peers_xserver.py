#!/usr/bin/env python3
"""Orvanta beside other desktop-icon programs from Debian, each in a fresh
Xvfb per run, runs interleaved, medians and ratios to Orvanta's. Every
program shows 50 icons with captions over a tiled 100x100 background.

Per run it measures:
  start   exec to the finished desktop: the last moment the program or the
          X server used CPU before both stayed idle for QUIET seconds, with
          the CPU seconds of each;
  memory  the program's PSS (/proc/PID/smaps_rollup) plus what the X
          server's PSS grew by since before the program started;
  still   CPU seconds of the program and of the X server over N pointer
          moves within one icon (nothing changes), one every 8 ms; Orvanta's
          greeting is dismissed first.

    bench/peers_xserver.py --build build/default [--runs 5] [--moves 1000]
        [--install] [--program OTHER]

--install installs the peers (pcmanfm-qt, idesk, pcmanfm) with apt-get;
--program names another orvanta build to run beside the first. Load from
other processes shows in the wall times, less in CPU seconds and not in
memory: say what else ran when quoting figures.
"""

import argparse
import os
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import zlib

from startup_process import KEY, button, make_desktops

PEERS = ("pcmanfm-qt", "idesk", "pcmanfm")
QUIET = 0.6


def write_png(path, width, height, pixel, alpha_key=True):
    """An 8-bit RGBA PNG of pixel(x, y); the key colour becomes transparent."""
    rows = []
    for y in range(height):
        row = bytearray(b"\0")
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((r, g, b, 0 if alpha_key and (r, g, b) == KEY else 255))
        rows.append(bytes(row))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(b"".join(rows)))
                + chunk(b"IEND", b""))


def peer_home(name, folder):
    """A home folder in which `name` shows the 50 icons over the tile."""
    home = os.path.join(folder, "home-" + name)
    if os.path.isdir(home):
        return home
    os.makedirs(home)
    icon = os.path.join(folder, "icon.png")
    tile = os.path.join(folder, "tile.png")
    if not os.path.exists(icon):
        write_png(icon, 64, 64, button(200))
        write_png(tile, 100, 100, lambda x, y: (40 + x // 2, 60, 90 + y // 2), alpha_key=False)
    config = os.path.join(home, ".config")
    if name == "idesk":
        links = os.path.join(home, ".idesktop")
        os.makedirs(links)
        with open(os.path.join(home, ".ideskrc"), "w") as f:
            f.write("table Config\n  FontName: DejaVu Sans\n  FontSize: 9\n  FontColor: #ffffff\n"
                    "  Background.Delay: 0\n  Background.Source: None\n  Background.File: %s\n  Background.Mode: Tile\n  Background.Color: #000000\n  Locked: true\n"
                    "  Transparency: 0\n  Shadow: false\n  ClickDelay: 300\nend\n"
                    "table Actions\n  Lock: control right doubleClk\n  Execute[0]: left doubleClk\nend\n" % tile)
        for i in range(50):
            x, y = 20 + (i % 10) * 180, 20 + (i // 10) * 180
            with open(os.path.join(links, "o%02d.lnk" % i), "w") as f:
                f.write("table Icon\n  Caption: Object %d\n  Command: true\n  Icon: %s\n  Width: 64\n"
                        "  Height: 64\n  X: %d\n  Y: %d\nend\n" % (i, icon, x, y))
        return home
    desktop = os.path.join(home, "Desktop")
    os.makedirs(desktop)
    for i in range(50):
        with open(os.path.join(desktop, "o%02d.desktop" % i), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Object %d\nExec=true\nIcon=%s\n" % (i, icon))
    if name == "pcmanfm":
        os.makedirs(os.path.join(config, "pcmanfm", "default"))
        with open(os.path.join(config, "pcmanfm", "default", "desktop-items-0.conf"), "w") as f:
            f.write("[*]\nwallpaper_mode=tile\nwallpaper=%s\ndesktop_bg=#000000\ndesktop_fg=#ffffff\n"
                    "show_wm_menu=0\nshow_documents=0\nshow_trash=0\nshow_mounts=0\n" % tile)
    else:
        os.makedirs(os.path.join(config, "pcmanfm-qt", "default"))
        with open(os.path.join(config, "pcmanfm-qt", "default", "settings.conf"), "w") as f:
            f.write("[Desktop]\nWallpaperMode=tile\nWallpaper=%s\nDesktopShortcuts=@Invalid()\n" % tile)
    return home


def cpu_seconds(pid):
    """CPU time of the process's live threads, to the nanosecond where the
    kernel keeps schedstat (clock ticks are too coarse for a start-up)."""
    try:
        total = 0
        for task in os.listdir("/proc/%d/task" % pid):
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
                total += int(f.read().split()[0])
        return total / 1e9
    except (FileNotFoundError, ProcessLookupError, ValueError):
        pass
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def pss_kib(pid):
    with open("/proc/%d/smaps_rollup" % pid) as f:
        for line in f:
            if line.startswith("Pss:"):
                return int(line.split()[1])
    return 0


def wait_quiet(pids, start):
    """Seconds from `start` to the last CPU use of `pids` before QUIET seconds without any."""
    last = [cpu_seconds(p) for p in pids]
    busy = time.perf_counter()
    while time.perf_counter() - busy < QUIET:
        time.sleep(0.004)
        now = [cpu_seconds(p) for p in pids]
        if now != last:
            last, busy = now, time.perf_counter()
        if time.perf_counter() - start > 30:
            break
    return busy - start


def run_once(name, command, env, screen, moves, display, log=subprocess.DEVNULL):
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", screen + "x24", "-nolisten", "tcp"],
                            stderr=subprocess.DEVNULL)
    child = None
    try:
        env = dict(env, DISPLAY=display)
        for _ in range(200):
            if subprocess.run(["xdpyinfo"], env=env, capture_output=True).returncode == 0:
                break
            time.sleep(0.02)
        time.sleep(0.3)
        x_pss, x_cpu = pss_kib(xvfb.pid), cpu_seconds(xvfb.pid)
        start = time.perf_counter()
        child = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=log)
        elapsed = wait_quiet([child.pid, xvfb.pid], start)
        if child.poll() is not None:
            return None  # ended instead of staying as the desktop
        result = {"start_s": elapsed, "start_cpu": cpu_seconds(child.pid), "start_x": cpu_seconds(xvfb.pid) - x_cpu,
                  "mem_mib": (pss_kib(child.pid) + pss_kib(xvfb.pid) - x_pss) / 1024,
                  "pss_mib": pss_kib(child.pid) / 1024}
        if moves:
            if name.startswith("orvanta"):
                # The greeting first, as a user would: no peer has one, and under it the desktop gets no moves.
                subprocess.run(["xdotool", "key", "Escape"], env=env, check=True)
                time.sleep(0.5)
            a = (20 + 4 * 180 + 20, 20 + 2 * 180 + 20)
            b = (a[0] + 3, a[1] + 2)
            subprocess.run(["xdotool", "mousemove", *map(str, a)], env=env, check=True)
            time.sleep(0.5)
            before = cpu_seconds(child.pid), cpu_seconds(xvfb.pid)
            steps = []
            for n in range(moves):
                steps += ["mousemove", *map(str, (a, b)[n % 2]), "sleep", "0.008"]
            subprocess.run(["xdotool", *steps], env=env, check=True)
            time.sleep(0.3)
            result["still_cpu"] = cpu_seconds(child.pid) - before[0]
            result["still_x"] = cpu_seconds(xvfb.pid) - before[1]
        return result
    finally:
        for process in (child, xvfb):
            if process:
                process.kill()
                process.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/default")
    parser.add_argument("--program", action="append", default=[], help="another orvanta build to run beside")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--moves", type=int, default=1000)
    parser.add_argument("--screens", default="1920x1080,3840x2160")
    parser.add_argument("--peers", default=",".join(PEERS))
    parser.add_argument("--install", action="store_true", help="install the peers from Debian first")
    args = parser.parse_args()
    peers = [p for p in args.peers.split(",") if p]
    if args.install:
        subprocess.run(["apt-get", "install", "-y", "--no-install-recommends", *peers], check=True)
    peers = [p for p in peers if shutil.which(p)]

    tool = os.path.join(args.build, "tools", "orvanta-desktop", "orvanta-desktop")
    template = os.path.join(args.build, "desktops", "default.orv")
    display = ":%d" % (70 + os.getpid() % 19)
    with tempfile.TemporaryDirectory() as folder:
        desktop = make_desktops(tool, template, folder)["full"]
        base_env = dict(os.environ, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=folder)
        base_env.pop("WAYLAND_DISPLAY", None)
        # pcmanfm-qt keeps one instance per session through the session bus:
        # without a bus it hands its arguments to no one and ends at once.
        bus = None
        if "pcmanfm-qt" in peers and shutil.which("dbus-daemon"):
            bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        bus_env = {"DBUS_SESSION_BUS_ADDRESS": bus.stdout.readline().strip()} if bus else {}
        contenders = []
        for n, program in enumerate([os.path.join(args.build, "orvanta")] + args.program):
            home = os.path.join(folder, "home-orvanta%d" % n)
            os.makedirs(home)
            label = "orvanta" if n == 0 else "orvanta#%d" % n
            contenders.append((label, [program, "--desktop", desktop], dict(base_env, HOME=home)))
        for peer in peers:
            home = peer_home(peer, folder)
            command = {"pcmanfm": ["pcmanfm", "--desktop"], "pcmanfm-qt": ["pcmanfm-qt", "--desktop"],
                       "idesk": ["idesk"]}[peer]
            env = dict(base_env, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"))
            contenders.append((peer, command, dict(env, **bus_env) if peer == "pcmanfm-qt" else env))

        try:
            keys = ("start_s", "start_cpu", "start_x", "mem_mib", "pss_mib", "still_cpu", "still_x")
            for screen in args.screens.split(","):
                results = {label: {k: [] for k in keys} for label, _, _ in contenders}
                for _ in range(args.runs):
                    for label, command, env in contenders:
                        r = run_once(label, command, env, screen, args.moves, display)
                        if r is None:
                            print("%s ended by itself; left out" % label, file=sys.stderr)
                            continue
                        for k, v in r.items():
                            results[label][k].append(v)
                results = {label: r for label, r in results.items() if r["start_s"]}
                print("%s, %d runs, medians (load average %.1f)" % (screen, args.runs, os.getloadavg()[0]))
                print("%-12s %8s %8s %8s %9s %8s %9s %8s" % ("program", "start_ms", "cpu_ms", "x_ms", "pss+x_MiB",
                                                             "pss_MiB", "still_ms", "x_ms"))
                med = {label: {k: statistics.median(v) if v else 0 for k, v in r.items()} for label, r in results.items()}
                for label, m in med.items():
                    print("%-12s %8.0f %8.0f %8.0f %9.1f %8.1f %9.0f %8.0f" % (
                        label, m["start_s"] * 1000, m["start_cpu"] * 1000, m["start_x"] * 1000, m["mem_mib"],
                        m["pss_mib"], m["still_cpu"] * 1000, m["still_x"] * 1000))
                ours = med["orvanta"]
                for label, m in med.items():
                    if label == "orvanta" or "orvanta" not in med:
                        continue
                    still = (ours["still_cpu"] + ours["still_x"]) / max(m["still_cpu"] + m["still_x"], 1e-9)
                    print("orvanta/%-10s start %.2f  memory %.2f  still %.2f" % (
                        label, ours["start_s"] / m["start_s"], ours["mem_mib"] / m["mem_mib"], still))
                sys.stdout.flush()
        finally:
            if bus:
                bus.kill()
                bus.wait()


if __name__ == "__main__":
    main()
