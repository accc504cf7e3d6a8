#!/usr/bin/env bash
# Fails when a source file under src/ is over 500 lines or a function over 60 (from its name's line to its closing
# brace, as universal-ctags counts them), and says which: a file or function that long no longer reads at once.
# Usage: scripts/check-sizes.sh [SRC-DIR]
set -euo pipefail
src=${1:-$(cd "$(dirname "$0")/.." && pwd)/src}
bad=0
while IFS= read -r -d '' file; do
    lines=$(wc -l <"$file")
    if [ "$lines" -gt 500 ]; then
        echo "check-sizes: ${file#"$src"/} has $lines lines (500 at most)" >&2
        bad=1
    fi
done < <(find "$src" -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
# Functions and lambdas' enclosing functions: "name<TAB>file<TAB>...line:N...end:M".
while IFS=$'\t' read -r name file rest; do
    start=$(grep -o 'line:[0-9]*' <<<"$rest" | cut -d: -f2)
    end=$(grep -o 'end:[0-9]*' <<<"$rest" | cut -d: -f2 || true)
    [ -n "$start" ] && [ -n "$end" ] || continue
    if [ $((end - start + 1)) -gt 60 ]; then
        echo "check-sizes: ${file#"$src"/}:$start: $name has $((end - start + 1)) lines (60 at most)" >&2
        bad=1
    fi
done < <(ctags -R --languages=C++ --kinds-c++=f --fields=+ne -f - "$src")
[ $bad -eq 0 ] && echo "check-sizes: no file over 500 lines, no function over 60"
exit $bad
