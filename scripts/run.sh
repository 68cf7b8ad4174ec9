#!/usr/bin/env bash
# Builds Orvanta and starts it on its bundled default desktop. Without a
# display it saves the default desktop's first frame as a PNG file instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
# The program and its folder: the default desktop, its pictures, the palette.
cmake --build --preset default --target orvanta orvanta_content_files

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec build/default/orvanta "$@"
fi

shot="$PWD/build/default/orvanta-screenshot.png"
rm -f "$shot"
status=0
build/default/orvanta --screenshot "$shot" "$@" || status=$?
if [ "$status" -ne 0 ]; then
    echo "No display, and Orvanta could not save its first frame (status $status)." >&2
    exit "$status"
fi
# (--help and --version save nothing.)
if [ -f "$shot" ]; then
    echo "No display: the default desktop's first frame is in $shot"
fi
