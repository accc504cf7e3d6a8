#!/usr/bin/env bash
# Where a conversion's time goes: runs the console over each folder with --json (two workers by default) and prints,
# per folder and format, the seconds and share of each phase summed over its files: the office's own (start,
# open, its PDF, picture limits, close) against this program's (drawing, checking, writing). What the next speed
# step is chosen by; nothing is timed against a bound.
# Usage: bench/phases.sh [--build DIR] [--jobs N] [--format F]... FOLDER...   (default: the test decks, emf and svg)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build
jobs=2
formats=()
folders=()
while (($#)); do
    case $1 in
    --build) build=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    --format) formats+=("$2"); shift 2 ;;
    *) folders+=("$1"); shift ;;
    esac
done
((${#formats[@]})) || formats=(emf svg)
((${#folders[@]})) || folders=("$here/tests/data/decks")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

for folder in "${folders[@]}"; do
    for format in "${formats[@]}"; do
        rm -rf "$out/target"
        "$build/src/vorlane" --json -q -j "$jobs" -f "$format" -o "$out/target" "$folder" >"$out/run.jsonl" || true
        python3 - "$folder" "$format" "$jobs" "$out/run.jsonl" <<'PY'
import json, sys
folder, fmt, jobs, path = sys.argv[1:5]
order = ["startOffice", "open", "pdf", "pictures", "draw", "check", "write", "close", "other"]
sums = dict.fromkeys(order, 0.0)
files = slides = failed = 0
wall = 0.0
for line in open(path, encoding="utf-8"):
    o = json.loads(line)
    if o.get("summary"):
        wall = o["seconds"]
        continue
    files += 1
    slides += o.get("slides", 0)
    failed += o.get("status") == "failed"
    for k, v in o.get("phases", {}).items():
        sums[k] = sums.get(k, 0.0) + v
busy = sum(sums.values()) or 1.0
print(f"{folder}  {fmt}, {jobs} workers: {files} files, {slides} slides, {failed} failed, {wall:.1f} s")
for k in order:
    print(f"  {k:<12} {sums[k]:9.2f} s  {100 * sums[k] / busy:5.1f} %")
office = sum(sums[k] for k in ["startOffice", "open", "pdf", "pictures", "close"])
ours = sum(sums[k] for k in ["draw", "check", "write"])
print(f"  the office's share {100 * office / busy:.1f} %, drawing, checking and writing {100 * ours / busy:.1f} %")
PY
    done
done
