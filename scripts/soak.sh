#!/usr/bin/env bash
# Soak: hundreds of conversions (copies of the test decks, their broken decks mixed in) with two workers while
# an office is killed at random every few seconds and one office is frozen (SIGSTOP) until the per-file time
# limit replaces it. Afterwards: every good deck has all its slides or a failure line that names the cause, no
# temporary file is left in the targets, no office process is left, and the program's memory and open file
# descriptors stayed near where they started. Not part of CI.
# Usage: scripts/soak.sh [ROUNDS (20)] [BUILD-DIR] [CORPUS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-20}
build=${2:-$here/build}
corpus=$(cd "${3:-$here/tests/data/decks}" && pwd)
work=$(mktemp -d)
trap 'kill "$prog" 2>/dev/null || true; rm -rf "$work"' EXIT

# The decks, each round in a folder of its own. Every other round's folder has a Latin-1 name (bytes that are not
# UTF-8, as old archives hold them): the log shows that byte as "\xE4".
latin1=$'\xe4'
folder() { if (($1 % 2)); then echo "r$1-Pr${latin1}s"; else echo "r$1"; fi; }
shown() { if (($1 % 2)); then echo "r$1-Pr\\xE4s"; else echo "r$1"; fi; }
while IFS=$'\t' read -r file _ _ _ slides _ _ expect _; do
    [ "$file" = file ] && continue
    for r in $(seq "$rounds"); do
        mkdir -p "$work/in/$(folder "$r")/$(dirname "$file")"
        cp "$corpus/$file" "$work/in/$(folder "$r")/$file"
    done
    printf '%s\t%s\t%s\n' "$file" "${slides:-0}" "$expect" >>"$work/decks.tsv"
done <"$corpus/MANIFEST.tsv"
total=$(find "$work/in" -type f | wc -l)
echo "soak: $total decks in $rounds rounds, 2 workers, offices killed every 3-6 s, one frozen"

offices_before=$(pgrep -xc soffice.bin || true)
"$build/src/vorlane" "-P:Source=$work/in/*.ppt?;Target=$work/out;Subdir=1;PureConsole=1;ThreadsCount=2;Timeout=20" \
    >"$work/run.out" 2>"$work/run.err" &
prog=$!

offices() { pgrep -P "$prog" -x soffice.bin 2>/dev/null || true; }
sample() { # rss-KiB fds
    local rss fds
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$prog/status" 2>/dev/null || echo 0)
    fds=$(ls "/proc/$prog/fd" 2>/dev/null | wc -l)
    echo "$rss $fds"
}
killed=0 frozen=0 frozen_pid=0 first="" last="" peak_rss=0 peak_fds=0 series="" start=$(date +%s)
next_sample=$((start + 10))
next_kill=$((start + 5))
while kill -0 "$prog" 2>/dev/null; do
    now=$(date +%s)
    read -r rss fds < <(sample)
    if [ "$rss" -gt 0 ]; then
        [ -z "$first" ] && [ $((now - start)) -ge 5 ] && first="$rss $fds"
        last="$rss $fds"
        [ "$rss" -gt "$peak_rss" ] && peak_rss=$rss
        [ "$fds" -gt "$peak_fds" ] && peak_fds=$fds
        if [ "$now" -ge "$next_sample" ]; then
            series="$series $((rss / 1024))"
            next_sample=$((now + 10))
        fi
    fi
    if [ "$now" -ge "$next_kill" ]; then
        # The frozen office is left to the time limit.
        mapfile -t pids < <(offices | grep -vx "$frozen_pid")
        if [ "${#pids[@]}" -gt 0 ]; then
            victim=${pids[RANDOM % ${#pids[@]}]}
            if [ "$frozen" -eq 0 ] && [ $((now - start)) -ge 15 ]; then
                kill -STOP "$victim" 2>/dev/null && frozen=1 && frozen_pid=$victim
            else
                kill -KILL "$victim" 2>/dev/null && killed=$((killed + 1))
            fi
        fi
        next_kill=$((now + 3 + RANDOM % 4))
    fi
    sleep 0.5
done
wait "$prog" && code=0 || code=$?
seconds=$(($(date +%s) - start))

# Every good deck: all its slides, or a failure line that says why.
lost=0 converted=0 failed=0 slides_ok=0
while IFS=$'\t' read -r file slides expect; do
    for r in $(seq "$rounds"); do
        src="$work/in/$(shown "$r")/$file"
        line=$(grep -F -- "=> $src =>" "$work/run.out" | tail -1 || true)
        case "$line" in
        Success*)
            converted=$((converted + 1))
            out=${line##* => }
            out=${out//\\xE4/$latin1}
            n=1
            base=${out%.*} ext=${out##*.}
            while [ -e "$base-$((n + 1)).$ext" ]; do n=$((n + 1)); done
            if [ "$expect" = convert ] && [ "$n" -ne "$slides" ]; then
                echo "  lost slides: $src has $n of $slides" && lost=$((lost + 1))
            else
                slides_ok=$((slides_ok + 1))
            fi
            ;;
        Failure*)
            failed=$((failed + 1))
            [ -n "${line##* => }" ] || { echo "  failure without a cause: $src" && lost=$((lost + 1)); }
            ;;
        *) echo "  no line at all: $src" && lost=$((lost + 1)) ;;
        esac
    done
done <"$work/decks.tsv"
temps=$(find "$work/out" -name '.vorlane-*' | wc -l)
sleep 2
left=$(($(pgrep -xc soffice.bin || true) - ${offices_before:-0}))

echo "run: exit $code after $seconds s; $killed offices killed, $frozen frozen"
echo "decks: $converted converted (slides complete: $slides_ok), $failed failed with a cause, $lost lost"
grep -F "Failure" "$work/run.out" | sed 's/.* => //; s/ \/.*//; s/:$//' | sort | uniq -c | sed 's/^/  /'
echo "temporary files left in the targets: $temps; office processes left: $left"
echo "memory (RSS KiB) and open descriptors: first ${first:-?}, last ${last:-?}, peak $peak_rss $peak_fds"
echo "memory every 10 s (MiB):$series"
[ "$lost" -eq 0 ] && [ "$temps" -eq 0 ] && [ "$left" -eq 0 ]
