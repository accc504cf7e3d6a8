#!/usr/bin/env bash
# Installs every Debian package the project needs (skipping what is already there) and builds the program.
# Usage: scripts/setup.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true

packages=(
    # build
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libpcre2-dev zlib1g-dev
    # the SVG image and icon plugins that draw the windows' pictures
    libqt6svg6
    # the office application and its SDK (Writer turns the manual into PDF)
    libreoffice-impress-nogui libreoffice-writer-nogui libreoffice-dev
    # fonts, so slides keep their metrics and CJK text is drawn
    fonts-crosextra-carlito fonts-crosextra-caladea fonts-liberation2 fonts-dejavu-core fonts-noto-core fonts-noto-cjk
    # the fidelity check: an EMF renderer of its own and the picture comparison
    inkscape imagemagick
    # running the windows without a display, looking at them
    xvfb xauth
    # the fuzz targets: clang with libFuzzer and the sanitizers' runtime
    clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S "$here" -B "$build" -G Ninja "$@"
cmake --build "$build" -j2
