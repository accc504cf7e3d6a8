#!/usr/bin/env bash
# Per-slide SVG and PNG from this program against the route users take without it: the office exports each deck
# to PDF, then poppler's pdftocairo cuts each PDF into one SVG per page (one call a page) or into PNG pages (one
# call a PDF, its fastest way). Both sides run two at a time (two workers; two offices, then two pdftocairo) on
# the same decks in the same run, office start-up included. Prints the time, files and bytes of each and the
# ratio; then EMF with one worker and with two.
# Usage: bench/pdfroute.sh [BUILD-DIR] [DECKS-DIR] [ROUNDS]   (decks: every *.ppt? under DECKS-DIR but bad/)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
decks=${2:-$here/tests/data/decks}
rounds=${3:-1}
command -v pdftocairo >/dev/null || { echo "pdftocairo is missing (apt-get install poppler-utils)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pngWidth=1024

# The decks, flat and numbered (a.ppt and a.pptx would both give a.pdf), so both sides see the same files; broken
# decks fail on both sides and are left out.
mkdir -p "$work/in"
n=0
while IFS= read -r -d '' f; do
    n=$((n + 1))
    cp "$f" "$work/in/$(printf '%03d' "$n")-$(basename "$f")"
done < <(find "$decks" -path "$decks/bad" -prune -o -type f \( -iname '*.ppt' -o -iname '*.ppt?' \) -print0 | sort -z)

now() { date +%s%N; }
ms() { echo $((($2 - $1) / 1000000)); }
bytes() { du -sb "$1" | cut -f1; }
files() { find "$1" -type f | wc -l; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", (b > 0 ? a / b : 0) }'; }

# timed DIR COMMAND...: DIR made empty, then the command run; prints its milliseconds
timed() {
    local dir=$1 start end
    shift
    rm -rf "$dir" && mkdir -p "$dir"
    start=$(now)
    "$@" >/dev/null 2>&1 || true
    end=$(now)
    ms "$start" "$end"
}

# ours FORMAT WORKERS DIR: a console run
ours() {
    "$build/src/vorlane" "-P:Source=$work/in/*.ppt?;Target=$3;PureConsole=1;Format=$1;ThreadsCount=$2;PngWidth=$pngWidth"
}

# officePdf DIR: two offices, each with a profile of its own, converting every other deck
officePdf() {
    for half in 0 1; do
        (
            mapfile -t mine < <(find "$work/in" -type f | sort | awk -v h=$half 'NR % 2 == h')
            soffice "-env:UserInstallation=file://$work/profile$half" --headless --convert-to pdf --outdir "$1" \
                "${mine[@]}"
        ) &
    done
    wait
}

# paginate FORMAT PDFDIR DIR: pdftocairo two at a time; SVG one call a page, PNG one call a PDF
paginate() {
    if [ "$1" = svg ]; then
        for pdf in "$2"/*.pdf; do
            pages=$(pdfinfo "$pdf" 2>/dev/null | awk '/^Pages:/ {print $2}')
            for k in $(seq 1 "${pages:-0}"); do
                printf '%s\0%s\0%s\0' "$pdf" "$k" "$3/$(basename "$pdf" .pdf)-$k.svg"
            done
        done | xargs -0 -n3 -P2 sh -c 'pdftocairo -svg -f "$2" -l "$2" "$1" "$3"' sh
    else
        find "$2" -name '*.pdf' -print0 |
            xargs -0 -I{} -P2 sh -c 'pdftocairo -png -scale-to-x '$pngWidth' -scale-to-y -1 "$1" "$0/$(basename "$1" .pdf)"' "$3" {}
    fi
}

# Each office's profile is set up before timing, as a user's is.
for half in 0 1; do
    soffice "-env:UserInstallation=file://$work/profile$half" --headless --convert-to pdf --outdir "$work/warm" \
        "$(find "$work/in" -type f | sort | head -1)" >/dev/null 2>&1 || true
done

echo "$(find "$work/in" -type f | wc -l) decks from $decks; $rounds round(s); LibreOffice $(soffice --version 2>/dev/null | awk '{print $2}')"
printf '%-5s %12s %8s %12s   %12s %8s %12s   %s\n' format "ours ms" files bytes "route ms" files bytes "route/ours"
for round in $(seq "$rounds"); do
    for format in svg png; do
        o=$(timed "$work/ours-$format" ours "$format" 2 "$work/ours-$format")
        p=$(timed "$work/pdf" officePdf "$work/pdf")
        c=$(timed "$work/route-$format" paginate "$format" "$work/pdf" "$work/route-$format")
        r=$((p + c))
        printf '%-5s %12d %8d %12d   %12d %8d %12d   %.2fx  (route: pdf %d ms, pdftocairo %d ms)\n' "$format" \
            "$o" "$(files "$work/ours-$format")" "$(bytes "$work/ours-$format")" "$r" "$(files "$work/route-$format")" \
            "$(bytes "$work/route-$format")" "$(ratio "$r" "$o")" "$p" "$c"
    done
    one=$(timed "$work/emf1" ours emf 1 "$work/emf1")
    two=$(timed "$work/emf2" ours emf 2 "$work/emf2")
    printf 'emf   one worker %d ms, two workers %d ms: %.2fx\n' "$one" "$two" "$(ratio "$one" "$two")"
done
