#!/usr/bin/env bash
# Bytes and time of a console run over the test decks (tests/data/decks) for each output format and picture resolution, against
# the same run writing EMF with every picture as stored (the output before pictures were resampled), measured
# in the same run; the photo deck on its own as well.
# Usage: bench/formats.sh [BUILD-DIR] [CORPUS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
corpus=${2:-$here/tests/data/decks}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# run NAME SOURCE OPTIONS: prints "milliseconds bytes files"
run() {
    local dir="$out/$1" start end
    rm -rf "$dir"
    start=$(date +%s%N)
    "$build/src/vorlane" "-P:Source=$2;Target=$dir;Subdir=1;PureConsole=1;$3" >/dev/null
    end=$(date +%s%N)
    echo "$(((end - start) / 1000000)) $(du -sb "$dir" | cut -f1) $(find "$dir" -type f | wc -l)"
}

table() {
    local title=$1 source=$2
    echo "$title"
    printf '  %-24s %10s %14s %7s %9s %9s\n' setting ms bytes files bytes/x time/x
    read -r base_ms base_bytes base_files < <(run base "$source" "ImageResolution=0")
    printf '  %-24s %10d %14d %7d %9s %9s\n' "emf, pictures as stored" "$base_ms" "$base_bytes" "$base_files" 1.000 1.00
    for setting in "Format=emf" "Format=emf;ImageResolution=150" "Format=emf;ImageResolution=96" \
        "Format=emz" "Format=emz;ImageResolution=0" "Format=svg" "Format=png" "Format=pdf"; do
        read -r ms bytes files < <(run x "$source" "$setting")
        printf '  %-24s %10d %14d %7d %9.3f %9.2f\n' "${setting//;/, }" "$ms" "$bytes" "$files" \
            "$(echo "scale=4; $bytes / $base_bytes" | bc)" "$(echo "scale=4; $ms / $base_ms" | bc)"
    done
}

table "every test deck, bad ones included" "$corpus/*.ppt?"
table "site-photos.pptx" "$corpus/site-photos.pptx"
