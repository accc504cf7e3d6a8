#!/usr/bin/env bash
# The office route as users run it without this program: Debian's unoconv with two kept listeners makes each
# deck's PDF, then pdftocairo cuts it into SVG pages (a call a page) or PNG pages (a call a PDF), Inkscape into EMF
# pages (a call a page). Four clients, each one deck at a time, listeners taken in turn.
# Usage: bench/unoconv-route.sh FORMAT OUT-DIR DECK...   prints "SECONDS P50 P95" (latency a deck, seconds)
set -euo pipefail
format=$1 out=$2
shift 2
rm -rf "$out" && mkdir -p "$out"
# Debian's own Python, which has the office's UNO bridge (a python3 earlier on the PATH may not).
unoconv=(/usr/bin/python3 "$(command -v unoconv)")
export unoconvCommand="${unoconv[*]}"
for p in 2002 2003; do
    pgrep -f "unoconv --listener --port $p" >/dev/null || { "${unoconv[@]}" --listener --port $p >/dev/null 2>&1 & }
done
sleep 5

one() { # one deck through the route; prints its seconds
    local deck=$1 port=$2 format=$3 out=$4 start pdf pages k
    start=$(date +%s%N)
    pdf=$out/$(basename "${deck%.*}").pdf
    $unoconvCommand --port "$port" -f pdf -o "$pdf" "$deck" >/dev/null 2>&1 || true
    if [ -f "$pdf" ]; then
        pages=$(pdfinfo "$pdf" 2>/dev/null | awk '/^Pages:/ { print $2 }')
        case $format in
        png) pdftocairo -png -scale-to 1920 "$pdf" "${pdf%.pdf}" ;;
        svg) for k in $(seq "${pages:-0}"); do pdftocairo -svg -f "$k" -l "$k" "$pdf" "${pdf%.pdf}-$k.svg"; done ;;
        emf) for k in $(seq "${pages:-0}"); do
            inkscape --pdf-page="$k" --export-type=emf --export-filename="${pdf%.pdf}-$k.emf" "$pdf" >/dev/null 2>&1
        done ;;
        esac
    fi
    awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN { printf "%.3f\n", (b - a) / 1e9 }'
}
export -f one
start=$(date +%s%N)
pids=()
for c in 0 1 2 3; do
    (printf '%s\n' "$@" | awk -v c=$c 'NR % 4 == c' | while IFS= read -r deck; do
        one "$deck" $((2002 + c % 2)) "$format" "$out"
    done) >"$out/latency-$c" &
    pids+=($!)
done
wait "${pids[@]}"
end=$(date +%s%N)
# A route that wrote nothing measured nothing.
[ -n "$(find "$out" -name '*.pdf' -print -quit)" ] || { echo "the office route wrote no PDF" >&2; exit 1; }
cat "$out"/latency-* | sort -n | awk -v s="$start" -v e="$end" '{ v[NR] = $1 }
    END { printf "%.3f %.3f %.3f\n", (e - s) / 1e9, v[int(0.5 * NR + 0.999)], v[int(0.95 * NR + 0.999)] }'
