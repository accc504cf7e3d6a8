#!/usr/bin/env bash
# The conversion service against a batch run of the same decks with this build, and against the office route
# behind the listener Debian packages (unoconv with two kept listeners, then pdftocairo for SVG and PNG, Inkscape
# for EMF), in the same run, per format. The service has two workers; four clients each send one deck at a time.
# Prints requests a second and p50/p95 latency of the service and of the office route, the batch run's decks a
# second, the ratios, and the p95 latency of a one-slide deck on the idle service.
# Usage: bench/service.sh [BUILD-DIR] [DECKS-DIR...]   (decks: every *.ppt? under each DECKS-DIR but bad/)
#        the office route where unoconv is installed (Debian 12: apt-get install unoconv python3-uno)
#        FORMATS="emf svg png" ROUNDS=1 to choose
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true
dirs=("$@")
[ ${#dirs[@]} -gt 0 ] || dirs=("$here/tests/data/decks")
formats=${FORMATS:-"emf svg png"}
rounds=${ROUNDS:-1}
program=$build/src/vorlane
command -v curl >/dev/null || { echo "curl is missing (apt-get install curl)" >&2; exit 1; }
work=$(mktemp -d)
servicePid=
cleanup() {
    [ -z "$servicePid" ] || kill -TERM "$servicePid" 2>/dev/null || true
    [ -z "$servicePid" ] || wait "$servicePid" 2>/dev/null || true
    pkill -f "unoconv --listener --port 200[23]" 2>/dev/null || true
    pkill -f "soffice.*port=200[23]" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The decks, flat and numbered, for every side alike.
mkdir -p "$work/in"
n=0
for d in "${dirs[@]}"; do
    while IFS= read -r -d '' f; do
        n=$((n + 1))
        cp "$f" "$work/in/$(printf '%03d' "$n")-$(basename "$f")"
    done < <(find "$d" -path "$d/bad" -prune -o -type f \( -iname '*.ppt' -o -iname '*.ppt?' \) -print0 | sort -z)
done
decks=("$work"/in/*)
now() { date +%s%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b - a) / 1e9 }'; }
rate() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.3f", (s > 0 ? n / s : 0) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b > 0 ? a / b : 0) }'; }
quantile() { sort -n "$1" | awk -v q="$2" '{ v[NR] = $1 } END { i = int(q * NR + 0.999); if (i < 1) i = 1; printf "%.3f", v[i] }'; }

port=$((20000 + RANDOM % 20000))
TMPDIR=$work "$program" --serve --port "$port" --jobs 2 --queue 64 --timeout 300 >"$work/service.log" 2>&1 &
servicePid=$!
for _ in $(seq 120); do
    curl -sf "http://127.0.0.1:$port/health" >/dev/null && break
    sleep 0.5
done

# client FORMAT: one deck at a time from the list on standard input; its latency a line
client() {
    while IFS= read -r deck; do
        curl -s -o /dev/null -w '%{time_total}\n' -F "files=@$deck" -F "format=$1" "http://127.0.0.1:$port/convert"
    done
}
export -f client
export port

printf '%-6s %-10s %10s %10s %8s %8s\n' format side "decks/s" seconds p50 p95
for format in $formats; do
    for _ in $(seq "$rounds"); do
        : >"$work/latency"
        start=$(now)
        clients=()
        for c in 0 1 2 3; do
            printf '%s\n' "${decks[@]}" | awk -v c=$c 'NR % 4 == c' | client "$format" >>"$work/latency" &
            clients+=($!)
        done
        wait "${clients[@]}"
        end=$(now)
        service=$(seconds "$start" "$end")
        printf '%-6s %-10s %10s %10s %8s %8s\n' "$format" service "$(rate ${#decks[@]} "$service")" "$service" \
            "$(quantile "$work/latency" 0.5)" "$(quantile "$work/latency" 0.95)"
        rm -rf "$work/batch"
        start=$(now)
        "$program" -q -j 2 -f "$format" -o "$work/batch" "${decks[@]}" >/dev/null 2>&1 || true
        end=$(now)
        batch=$(seconds "$start" "$end")
        printf '%-6s %-10s %10s %10s\n' "$format" batch "$(rate ${#decks[@]} "$batch")" "$batch"
        echo "$format service against batch (decks a second): $(ratio "$batch" "$service")"
        if [ -x "$here/bench/unoconv-route.sh" ] && command -v unoconv >/dev/null; then
            route=$("$here/bench/unoconv-route.sh" "$format" "$work/route" "${decks[@]}") || continue
            printf '%-6s %-10s %10s %10s %8s %8s\n' "$format" unoconv $(echo "$route" | awk -v n=${#decks[@]} \
                '{ printf "%.3f %s %s %s", n / $1, $1, $2, $3 }')
            echo "$format service against the office route: $(ratio "$(echo "$route" | cut -d' ' -f1)" "$service")"
        fi
    done
done

# A one-slide deck on the idle service, twenty times.
one=$here/samples/one-slide.pptx
[ -f "$one" ] || one=$(ls "$work"/in/* | head -1)
: >"$work/idle"
for _ in $(seq 20); do
    curl -s -o /dev/null -w '%{time_total}\n' -F "files=@$one" -F format=emf "http://127.0.0.1:$port/convert" >>"$work/idle"
done
echo "one-slide deck on the idle service: p50 $(quantile "$work/idle" 0.5) s, p95 $(quantile "$work/idle" 0.95) s"
