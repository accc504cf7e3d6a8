#!/usr/bin/env bash
# Converts the bundled sample decks (built by scripts/setup.sh) in console mode and says where the EMF files are.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
out=${1:-$here/out/samples}

if [ ! -x "$build/src/vorlane" ] || ! ls "$build"/samples/*.ppt* >/dev/null 2>&1; then
    "$here/scripts/setup.sh" "$build"
fi
mkdir -p "$out"
"$build/src/vorlane" "-P:Source=$build/samples/*.ppt?;Target=$out;PureConsole=1;ThreadsCount=2;LogFile=$out/conversion.log"
echo
echo "The EMF files are in $out (one per slide: deck.emf, deck-2.emf, ...); the log is $out/conversion.log"
