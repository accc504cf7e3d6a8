#!/usr/bin/env bash
# This build against another (the commit before a change, built in a folder of its own) on the same decks, runs
# alternating so that the machine's mood falls on both alike: for each folder and format, ROUNDS runs of each with
# two workers, and the median of the ratios of their times (above 1: this build is slower). The files each wrote
# are counted, so that a faster run that wrote less does not pass unseen.
# Usage: bench/compare.sh OTHER-BUILD-OR-PROGRAM [--rounds N] [--format F]... [--build DIR] FOLDER...
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
other=${1:?usage: bench/compare.sh OTHER-BUILD-OR-PROGRAM [--rounds N] [--format F]... FOLDER...}
shift
[ -d "$other" ] && other=$other/src/vorlane
build=$here/build
rounds=3
formats=()
folders=()
while (($#)); do
    case $1 in
    --rounds) rounds=$2; shift 2 ;;
    --format) formats+=("$2"); shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) folders+=("$1"); shift ;;
    esac
done
((${#formats[@]})) || formats=(emf svg)
((${#folders[@]})) || folders=("$here/tests/data/decks")
this=$build/src/vorlane
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export QT_QPA_PLATFORM=offscreen

run() { # program format folder: prints milliseconds and files written
    rm -rf "$out/run"
    local start end
    start=$(date +%s%N)
    "$1" -q -f "$2" -j 2 -r -o "$out/run" "$3" >/dev/null 2>&1 || true # broken decks fail, the rest counts
    end=$(date +%s%N)
    echo "$(((end - start) / 1000000)) $(find "$out/run" -type f | wc -l)"
}

for folder in "${folders[@]}"; do
    for format in "${formats[@]}"; do
        ratios=()
        for ((r = 1; r <= rounds; r++)); do
            if ((r % 2)); then
                read -r a_ms a_files < <(run "$other" "$format" "$folder")
                read -r b_ms b_files < <(run "$this" "$format" "$folder")
            else
                read -r b_ms b_files < <(run "$this" "$format" "$folder")
                read -r a_ms a_files < <(run "$other" "$format" "$folder")
            fi
            ratios+=("$(awk -v a="$a_ms" -v b="$b_ms" 'BEGIN { printf "%.3f", b / a }')")
            printf '%s %s round %d: other %d ms (%d files), this %d ms (%d files)\n' "$(basename "$folder")" \
                "$format" "$r" "$a_ms" "$a_files" "$b_ms" "$b_files"
        done
        median=$(printf '%s\n' "${ratios[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
        printf '%s %s: time of this build / the other, median of %d: %s\n' "$(basename "$folder")" "$format" \
            "$rounds" "$median"
    done
done
