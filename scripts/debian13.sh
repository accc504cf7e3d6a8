#!/usr/bin/env bash
# Builds the program and runs its unit and integration tests in a Debian 13 ("trixie") root, with the Qt,
# compilers and office that release gives its users (the security suite included, so the office is the one a
# machine that takes updates has). Needs root and mmdebstrap (installed when missing).
#
# Usage: scripts/debian13.sh [ctest arguments...]     (default: every unit and integration test)
#   VORLANE_TRIXIE_CACHE  the cached base root, made with mmdebstrap when missing (/var/cache/vorlane/trixie.tar)
#   VORLANE_TRIXIE_ROOT   where the root is unpacked (/var/tmp/vorlane-trixie); made anew from the cache on
#                         every run unless VORLANE_TRIXIE_KEEP=1, which reuses it with its packages and build
#   VORLANE_TRIXIE_SHELL=1  opens a shell in the root instead of running the tests
# The office processes of the tests run in a PID namespace of their own: they can neither see nor end the host's.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cache=${VORLANE_TRIXIE_CACHE:-/var/cache/vorlane/trixie.tar}
root=${VORLANE_TRIXIE_ROOT:-/var/tmp/vorlane-trixie}
keep=${VORLANE_TRIXIE_KEEP:-0}

[ "$(id -u)" -eq 0 ] || { echo "debian13.sh: needs root (a chroot and its mounts)" >&2; exit 1; }
case "$root" in /|/usr|/usr/*|/etc|/etc/*|"") echo "debian13.sh: refusing root $root" >&2; exit 1 ;; esac

if [ ! -s "$cache" ]; then
    command -v mmdebstrap >/dev/null ||
        { apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q mmdebstrap; }
    mkdir -p "$(dirname "$cache")"
    # No mirror named: mmdebstrap takes trixie, trixie-updates and trixie-security from deb.debian.org.
    rm -rf "$cache.part"
    mmdebstrap --variant=apt --format=tar --include=ca-certificates trixie "$cache.part"
    mv "$cache.part" "$cache"
fi

# Leftover mounts of an interrupted run would make the removal below reach into the host.
if grep -q " $root/" /proc/self/mounts; then
    echo "debian13.sh: $root still has mounts; unmount them first" >&2
    exit 1
fi
if [ "$keep" != 1 ] || [ ! -x "$root/bin/bash" ]; then
    rm -rf --one-file-system "$root"
    mkdir -p "$root"
    tar -xf "$cache" -C "$root"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"

# The checkout as a copy (the root's builds never write into it; its test decks come with it). Only files whose bytes changed are copied, and they get the time of the copy, so that a
# kept build rebuilds exactly what changed.
mkdir -p "$root/work/vorlane"
stage=$root/work/incoming
rm -rf "$stage"
mkdir -p "$stage"
tar -C "$here" --exclude=./.git --exclude='./build*' --exclude=./out -cf - . | tar -C "$stage" -xf -
(cd "$stage" && find . -type f -print0) | while IFS= read -r -d '' f; do
    if ! cmp -s "$stage/$f" "$root/work/vorlane/$f"; then
        mkdir -p "$(dirname "$root/work/vorlane/$f")"
        cp --preserve=mode "$stage/$f" "$root/work/vorlane/$f"
    fi
done
rm -rf "$stage"
# The web font families as the host made them: the root needs neither npm nor the registry.
rm -rf "$root/work/fonts"
[ -d "$here/build/fonts" ] && cp -r "$here/build/fonts" "$root/work/fonts"

quoted=""
for a in "$@"; do quoted+=" $(printf '%q' "$a")"; done
[ -n "$quoted" ] || quoted=" -L 'unit|integration'"

inner=$(cat <<EOF
set -euo pipefail
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 LANG=C.UTF-8 HOME=/root DEBIAN_FRONTEND=noninteractive
cd /work/vorlane
if [ "${VORLANE_TRIXIE_SHELL:-0}" = 1 ]; then exec bash -i; fi
echo "== Debian \$(cat /etc/debian_version): setup and build"
VORLANE_FONTS_FROM=/work/fonts bash scripts/setup.sh /work/build -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== \$(dpkg-query -W -f='\${Package} \${Version}' libreoffice-core-nogui 2>/dev/null || true)"
ctest --test-dir /work/build --output-on-failure --timeout 900$quoted
EOF
)

# A PID namespace and a mount namespace of their own: /proc shows only the root's processes, and every mount
# goes when the last process in it ends.
exec unshare --pid --fork --mount --propagation private bash -c '
    set -e
    root=$1; shift
    mount -t proc proc "$root/proc"
    mount -t sysfs sysfs "$root/sys"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
    mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
    exec chroot "$root" /bin/bash -c "$1"
' debian13 "$root" "$inner"
