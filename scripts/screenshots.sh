#!/usr/bin/env bash
# Pictures of the windows as a user sees them: the main window at three sizes, the Config dialog, the About
# window and the image list, written as PNG files to BUILD/screenshots. Uses a real X server (Xvfb) when it is
# installed, else Qt's offscreen platform.
# Usage: scripts/screenshots.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
cmake --build "$build" --target tst_windowshots
export LC_ALL=C.UTF-8 LANG=C.UTF-8
if command -v xvfb-run >/dev/null 2>&1; then
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1920x1080x24" "$build/tests/tst_windowshots"
else
    QT_QPA_PLATFORM=offscreen "$build/tests/tst_windowshots"
fi
ls -1 "$build"/screenshots/*.png
