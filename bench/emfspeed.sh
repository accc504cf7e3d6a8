#!/usr/bin/env bash
# EMF of the same decks with two workers from this build and from another (the commit before a change, built in
# a folder of its own), and SVG from this build as the peer drawn from the same office PDF, one after the other in
# the same run: time, files and bytes of each, and the ratios.
# Usage: bench/emfspeed.sh OTHER-BUILD [DECKS] [BUILD]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
other=${1:?usage: bench/emfspeed.sh OTHER-BUILD [DECKS] [BUILD]}
decks=${2:-$here/tests/data/decks}
build=${3:-$here/build}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export QT_QPA_PLATFORM=offscreen
run() { # label program format: prints the label, milliseconds, files and bytes
    rm -rf "$out/run"
    local start end
    start=$(date +%s%N)
    "$2" -q -f "$3" -j 2 -r -o "$out/run" "$decks" >/dev/null 2>&1 || true # broken decks fail, the rest counts
    end=$(date +%s%N)
    echo "$1 $(((end - start) / 1000000)) $(find "$out/run" -type f | wc -l) $(du -sb "$out/run" | cut -f1)"
}
{
    run other-emf "$other/src/vorlane" emf
    run emf "$build/src/vorlane" emf
    run svg "$build/src/vorlane" svg
} | awk '{ ms[$1] = $2; printf "%-10s %8d ms %5d files %12d bytes\n", $1, $2, $3, $4 }
     END { printf "EMF: %.2fx as fast as the other build; SVG takes %.2fx the time of EMF\n",
                  ms["other-emf"] / ms["emf"], ms["svg"] / ms["emf"] }'
