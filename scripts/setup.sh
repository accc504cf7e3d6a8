#!/usr/bin/env bash
# Installs every Debian package the project needs (skipping what is already there) and builds the program.
# Usage: scripts/setup.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

# Names differ between releases: ask the archive what it offers (reading its lists first on a machine that has
# none yet, as a fresh root has).
if ! compgen -G '/var/lib/apt/lists/*_Packages' >/dev/null; then
    "${sudo_cmd[@]}" apt-get update -q
fi
offered() {
    # Read whole, not through "grep -q": under pipefail a grep that stops early makes apt-cache's write fail.
    local info
    info=$(apt-cache show --no-all-versions "$1" 2>/dev/null) || return 1
    [[ $info == *"Package: $1"* ]]
}

packages=(
    # build (dpkg-dev and file: the package's library dependencies are read from the program)
    cmake ninja-build g++ pkg-config dpkg-dev file
    qt6-base-dev qt6-base-dev-tools libgl-dev libpcre2-dev zlib1g-dev
    # the SVG image and icon plugins that draw the windows' pictures; Debian 13 ships the plugins apart
    libqt6svg6
    # the office application and its SDK (Writer turns the manual into PDF)
    libreoffice-impress-nogui libreoffice-writer-nogui libreoffice-dev
    # per-slide SVG and PNG drawn from the office's PDF; pdftocairo for the benchmark against that route
    libpoppler-glib-dev libcairo2-dev poppler-utils
    # EMF drawn here from the same PDF: poppler's page content as drawing calls
    libpoppler-private-dev
    # fonts, so slides keep their metrics and CJK text is drawn: the metric twins of Office's fonts (Liberation 1
    # has the narrow Arial), the stand-ins of the office's font table, free fonts decks name, and the decoder of
    # the fonts decks carry
    fonts-crosextra-carlito fonts-crosextra-caladea fonts-liberation2 fonts-liberation fonts-dejavu-core fonts-noto-core
    fonts-noto-cjk fonts-cantarell fonts-urw-base35 fonts-open-sans fonts-inconsolata
    # the fidelity check: an EMF renderer of its own and the picture comparison
    inkscape imagemagick
    # running the windows without a display, looking at them
    xvfb xauth
    # the fuzz targets: clang with libFuzzer and the sanitizers' runtime
    clang libclang-rt-dev
    # the size check of the sources' functions; a reader of EMF that owes nothing to the writer, for the tests
    universal-ctags libuemf-dev
    # the conversion service's HTTP (GNU libmicrohttpd) and the client its tests and benchmark send requests with
    libmicrohttpd-dev curl
)
offered qt6-svg-plugins && packages+=(qt6-svg-plugins)
# Fonts decks name: Wine's copies of Windows' metrics (Tahoma, Wingdings, Symbol, Webdings), free families Debian
# packages, and what makes the web font families Debian lacks (scripts/fonts.sh): npm (where none is on the PATH)
# and fontTools with its WOFF2 reader.
packages+=(fonts-wine fonts-comfortaa fonts-hosny-amiri python3-fonttools python3-brotli)
offered culmus && packages+=(culmus)
# (npm only where the fonts are made here, not copied from a folder made so)
[ -n "${VORLANE_FONTS_FROM:-}" ] || command -v npm >/dev/null || packages+=(npm)
# Free fonts decks name, some packaged by some releases only; the decoder of the fonts decks carry.
for p in fonts-roboto-unhinted fonts-roboto-slab fonts-lato fonts-inter fonts-firacode fonts-jetbrains-mono \
    fonts-ebgaramond fonts-adobe-sourcesans3 fonts-adobe-sourceserif4 fonts-cascadia-code fonts-gelasio eot2ttf; do
    offered "$p" && packages+=("$p")
done
# Windows' own EMF players, GDI and GDI+, as another fidelity judge: mingw-w64 builds the small player, Wine runs it.
# Debian 12 ships Wine's 64-bit half apart as wine64, its launcher in wine; later releases may fold them together.
packages+=(gcc-mingw-w64-x86-64)
offered wine64 && packages+=(wine64)
offered wine && packages+=(wine)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    "${sudo_cmd[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The web font families, made here (or copied from a folder made so: the Debian 13 root takes the host's), then
# installed for every program of the machine, the office and the EMF readers alike; the package carries them too.
mkdir -p "$build"
if [ -n "${VORLANE_FONTS_FROM:-}" ] && [ -d "$VORLANE_FONTS_FROM" ]; then
    if [ "$(cd "$VORLANE_FONTS_FROM" && pwd -P)" != "$(mkdir -p "$build/fonts" && cd "$build/fonts" && pwd -P)" ]; then
        rm -rf "$build/fonts"
        cp -r "$VORLANE_FONTS_FROM" "$build/fonts"
    fi
else
    "$here/scripts/fonts.sh" "$build/fonts"
fi
machine_fonts=/usr/local/share/fonts/vorlane
if ! diff -rq "$build/fonts" "$machine_fonts" >/dev/null 2>&1; then
    "${sudo_cmd[@]}" rm -rf "$machine_fonts"
    "${sudo_cmd[@]}" mkdir -p "$machine_fonts"
    "${sudo_cmd[@]}" cp -r "$build/fonts/." "$machine_fonts"
    "${sudo_cmd[@]}" fc-cache -f "$machine_fonts" >/dev/null
fi

cmake -S "$here" -B "$build" -G Ninja "$@"
cmake --build "$build" -j2
