#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
    qt6-base-dev qt6-base-private-dev qt6-svg-dev qt6-image-formats-plugins zlib1g-dev libglib2.0-dev libxcb1-dev libgl-dev libgtest-dev
    libgmock-dev libbenchmark-dev libsdl2-dev
    fonts-dejavu-core xvfb openbox xdotool x11-apps x11-utils imagemagick lintian hicolor-icon-theme
    at-spi2-core python3-pyatspi dbus-daemon
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
