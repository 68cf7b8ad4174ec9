#!/usr/bin/env python3
"""package_check.py --build-dir DIR: builds the Debian package, unpacks it into a scratch root and checks its layout,
its declared dependencies and lintian (no errors, no warnings); then the unpacked `orvanta --screenshot`, run through
its /usr/bin link, against the bundled desktop's pictures, read through the unpacked orvanta-desktop; then, as a
user who cannot write the program folder (nobody; needs root), the first start's own copy of the default desktop, a
desktop that user keeps, and the next start showing it."""

import argparse, glob, json, os, pathlib, shutil, subprocess, sys, tempfile  # noqa: E401

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from orvanta_e2e import KEY, PREFIX, Screen, require  # noqa: E402

FILES = ["lib/orvanta/res/palette.bmp", "lib/orvanta/desktops/default.orv", "share/man/man1/orvanta.1.gz",
         "share/man/man1/orvanta-desktop.1.gz"]
ENTRY = {"[Desktop Entry]", "Exec=orvanta", "Icon=orvanta", "Type=Application"}
DEPENDS = {"libqt6core6", "libqt6gui6", "libqt6widgets6", "libc6", "libstdc++6"}

def output(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, check=True, **options).stdout

def check_package(deb, usr):
    """The layout under usr, the declared dependencies and lintian's verdict."""
    lib = os.path.join(usr, "lib/orvanta")
    for path in ("lib/orvanta/orvanta", "bin/orvanta-desktop"):
        require(os.access(os.path.join(usr, path), os.X_OK), f"usr/{path} missing or not executable")
    link = os.path.join(usr, "bin/orvanta")
    require(os.path.islink(link) and os.path.realpath(link) == os.path.realpath(os.path.join(lib, "orvanta")),
            "usr/bin/orvanta does not lead to usr/lib/orvanta/orvanta")
    missing = [path for path in FILES if not os.path.isfile(os.path.join(usr, path))]
    require(not missing, f"missing under usr: {missing}")
    require(glob.glob(os.path.join(lib, "desktops/images/*.png")), "no pictures under usr/lib/orvanta/desktops/images")
    lacking = ENTRY - set(pathlib.Path(usr, "share/applications/orvanta.desktop").read_text().splitlines())
    require(not lacking, f"orvanta.desktop lacks {sorted(lacking)}")
    icon = Screen(os.path.join(usr, "share/icons/hicolor/64x64/apps/orvanta.png"))
    require((icon.w, icon.h) == (64, 64), f"the icon is {icon.w}x{icon.h}, expected 64x64")
    depends = output("dpkg-deb", "-f", deb, "Depends")
    lacking = DEPENDS - {item.split()[0] for item in depends.split(",") if item.strip()}
    require(not lacking, f"Depends lacks {sorted(lacking)}: {depends.strip()}")
    version = output("dpkg-deb", "-f", deb, "Version").strip()
    for tool in ("lib/orvanta/orvanta", "bin/orvanta-desktop"):
        shown = output(os.path.join(usr, tool), "--version").split()
        require(shown[-1:] == [version], f"usr/{tool} --version says {shown}, the package is {version}")
    lintian = subprocess.run(["lintian", "--fail-on", "error,warning", deb], capture_output=True, text=True)
    require(lintian.returncode == 0, "lintian: " + lintian.stdout.strip())

def check_screenshot(usr, shot, desktop_file=None, user=None, home=None):
    """The installed program's first frame shows the desktop's pictures at their places over its tile: the bundled
    desktop's, or the one in desktop_file that the program should read by itself; run as user, in home."""
    lib = os.path.join(usr, "lib/orvanta")
    env = {k: v for k, v in os.environ.items() if not k.startswith(("ORVANTA_DISPLAY_DEPTH", "XDG_"))}
    env |= {"QT_QPA_PLATFORM": "offscreen"} | ({"HOME": home} if home else {})
    run = subprocess.run([os.path.join(usr, "bin/orvanta"), "--screenshot", shot], env=env, capture_output=True,
                         text=True, timeout=60, user=user, cwd=home)
    # Every message box goes to standard error when nobody can answer it.
    messages = [line for line in run.stderr.splitlines() if line.startswith(("Orvanta:", "orvanta:"))]
    require(run.returncode == 0 and os.path.isfile(shot) and not messages,
            f"--screenshot ended with status {run.returncode}, reporting: {run.stderr.strip()}")
    screen = Screen(shot)
    desktop = json.loads(output(os.path.join(usr, "bin/orvanta-desktop"), "dump",
                                desktop_file or f"{lib}/desktops/default.orv"))

    def picture(path):
        require(path.lower().startswith(PREFIX), f"picture path {path!r} is not relocatable")
        return Screen(os.path.join(lib, path[len(PREFIX):].replace("\\", "/").lstrip("/")))

    background, *objects = desktop["objects"]
    hidden = {o["activate"] for o in objects if o["activate"]}
    covered, checks = [], []
    for obj in (o for o in objects if o["upImage"]):
        if not any(c in obj["upImage"] for c in "\\/."):  # an icon of the theme: whatever the theme draws
            left, top, right, bottom = obj["objectRect"]
            covered.append((left, top, right + 200, bottom))
            continue
        up = picture(obj["upImage"])
        left, top = obj["objectRect"][:2]
        covered.append((left, top, left + up.w + 200, top + up.h))  # with room for a caption
        x, y = up.w // 2, up.h // 2  # the picture's middle, where it is opaque, drawn at its place
        if (obj["visible"] and obj["name"] not in hidden and up.at(x, y) != KEY and left + up.w <= screen.w
                and top + up.h <= screen.h):
            checks.append((f"{obj['name']}'s picture", (left + x, top + y), up.at(x, y)))
    require(len(checks) >= 3, f"only {len(checks)} objects could be checked on the screenshot")
    if background["upImage"] and desktop["tile"]:
        tile = picture(background["upImage"])
        for x, y in ((screen.w - 1, screen.h - 1), (screen.w // 2 + 37, screen.h - 5), (screen.w - 3, 11)):
            if not any(left <= x < right and top <= y < bottom for left, top, right, bottom in covered):
                checks.append(("the background tile", (x, y), tile.at(x % tile.w, y % tile.h)))
    problems = [p for p in map(screen.problem, checks) if p]
    require(not problems, "; ".join(problems))

def check_user_desktop(usr, work):
    """A user who cannot write the installed desktops keeps their own: the first start copies the default into
    ~/.local/share/orvanta/desktops, its pictures still the installed ones; a desktop saved there (every picture
    moved down by more than half its height, so that the bundled desktop would fail the check) is what the next start
    shows."""
    if os.geteuid() != 0:
        print("SKIP: the per-user desktop check runs the package as nobody, which needs root")
        return
    home = os.path.join(work, "home")
    os.makedirs(home)
    os.chmod(work, 0o755)
    shutil.chown(home, "nobody", "nogroup")
    installed = os.path.join(usr, "lib/orvanta/desktops/default.orv")
    mine = os.path.join(home, ".local/share/orvanta/desktops/default.orv")
    check_screenshot(usr, os.path.join(home, "first.png"), installed, "nobody", home)
    require(os.path.isfile(mine) and pathlib.Path(mine).read_bytes() == pathlib.Path(installed).read_bytes(),
            f"the first start left no copy of the default desktop at {mine}")
    desktop = json.loads(output(os.path.join(usr, "bin/orvanta-desktop"), "dump", mine))
    for obj in desktop["objects"][1:]:
        left, top, right, bottom = obj["objectRect"]
        obj["objectRect"] = [left, top + 40, right, bottom + 40]
    saved = os.path.join(work, "saved.json")
    pathlib.Path(saved).write_text(json.dumps(desktop))
    subprocess.run([os.path.join(usr, "bin/orvanta-desktop"), "build", saved, mine], check=True, user="nobody",
                   capture_output=True)
    check_screenshot(usr, os.path.join(home, "again.png"), mine, "nobody", home)

def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    config = os.path.join(parser.parse_args().build_dir, "CPackConfig.cmake")
    work = tempfile.mkdtemp(prefix="orvanta-package-")
    try:
        output("cpack", "-G", "DEB", "--config", config, "-B", work)
        debs = glob.glob(os.path.join(work, "*.deb"))
        require(len(debs) == 1, f"expected one package, found {debs}")
        output("dpkg-deb", "-x", debs[0], os.path.join(work, "root"))
        check_package(debs[0], os.path.join(work, "root/usr"))
        check_screenshot(os.path.join(work, "root/usr"), os.path.join(work, "shot.png"))
        check_user_desktop(os.path.join(work, "root/usr"), work)
        print(f"PASS: {os.path.basename(debs[0])}")
        return 0
    except (AssertionError, subprocess.CalledProcessError) as e:
        print(f"FAIL: {e}", *filter(None, (getattr(e, "stdout", ""), getattr(e, "stderr", ""))), sep="\n")
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)

if __name__ == "__main__":
    sys.exit(main())
