#!/usr/bin/env bash
# A console run over 100,000 files in 1,000 folders, 20,000 of them decks whose outputs all exist, with
# IsOverwrite=skip (no file reaches the office), against GNU find listing the same decks, in the same run.
# Usage: bench/skiprun.sh [BUILD-DIR] [ROUNDS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
rounds=${2:-10}
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
for d in $(seq 0 999); do
    in="$tree/in/d$((d / 100))/f$d" out="$tree/out/d$((d / 100))/f$d"
    mkdir -p "$in" "$out"
    (cd "$in" && touch deck{0..19}.pptx file{20..99}.txt)
    (cd "$out" && touch deck{0..19}.emf)
done
time_of() {
    local start end
    start=$(date +%s%N)
    for _ in $(seq "$rounds"); do "$@" >/dev/null; done
    end=$(date +%s%N)
    echo $(((end - start) / rounds / 1000))
}
found=$(find "$tree/in" -iname '*.ppt?' | wc -l)
listed=$("$build/src/vorlane" "-P:Source=$tree/in/*.ppt?;Target=$tree/out;Subdir=1;PureConsole=1;IsOverwrite=skip" | wc -l)
f=$(time_of find "$tree/in" -iname '*.ppt?')
v=$(time_of "$build/src/vorlane" "-P:Source=$tree/in/*.ppt?;Target=$tree/out;Subdir=1;PureConsole=1;IsOverwrite=skip")
echo "find: $found decks in $f us; vorlane (skip run): $listed lines in $v us; ratio $(echo "scale=2; $v / $f" | bc)x"
