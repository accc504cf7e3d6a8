#!/usr/bin/env bash
# Sets everything up, builds, and runs every test: the normal build (unit and integration tests with the real
# office application), the Debian package, then the unit tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the fuzz targets of every reader of outside text for 20 seconds each, and last the
# unit and integration tests again in a Debian 13 root, with that release's Qt, compilers and office.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 LANG=C.UTF-8

# The layers' includes run one way (a few lines of shell: it fails fast, before anything is built).
"$here/scripts/check-layers.sh"

"$here/scripts/setup.sh" "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
# No source file or function too long to read at once (universal-ctags, installed by the setup, counts them).
"$here/scripts/check-sizes.sh"
ctest --test-dir "$here/build" --output-on-failure --timeout 900

# The Debian package: built, installed with its dependencies, started and used for a console conversion.
"$here/scripts/check-package.sh" "$here/build"

# The cluster recipes run for real: a Slurm job array on a one-machine cluster (a failed share re-run), and the
# container image built from the package converting in two shares (skipped, saying why, where podman cannot run).
"$here/scripts/cluster-test.sh" "$here/build"

VORLANE_FONTS_FROM="$here/build/fonts" "$here/scripts/setup.sh" "$here/build-asan" -DCMAKE_BUILD_TYPE=Debug -DVORLANE_SANITIZE=ON -DVORLANE_OFFICE=OFF \
    -DVORLANE_BENCH=OFF
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$here/build-asan" --output-on-failure --timeout 900 -L unit

# Every reader of outside text under libFuzzer (clang, address and undefined-behaviour sanitizers).
"$here/scripts/fuzz.sh" 20

# Debian 13: its own root (made with mmdebstrap, or the cached one), build and tests there, offices in a PID
# namespace of their own.
"$here/scripts/debian13.sh"
