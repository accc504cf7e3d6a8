#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (AddressSanitizer and UndefinedBehaviorSanitizer, core
# library only) and runs each for SECONDS (default 20), starting from its seeds in tests/fuzz/corpus/<target>.
# What a run discovers stays in a scratch folder; the seeds in the repository are never changed. Exits non-zero
# when any target crashes, hangs or reports. Inputs that failed are kept in build-fuzz/findings/.
# Usage: scripts/fuzz.sh [SECONDS] [target...]     (FUZZ_JOBS sets the build's parallel jobs, default 2)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
shift || true
build=$here/build-fuzz
export LC_ALL=C.UTF-8 LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen

if ! command -v clang++ >/dev/null; then
    echo "fuzz.sh: clang++ is missing (scripts/setup.sh installs it)" >&2
    exit 1
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DVORLANE_FUZZ=ON -DVORLANE_OFFICE=OFF \
        -DVORLANE_BENCH=OFF -DVORLANE_TESTS=OFF -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1"
fi
nice -n 10 cmake --build "$build" --target vorlane_fuzz -j "${FUZZ_JOBS:-2}"

targets=("$@")
if ((${#targets[@]} == 0)); then
    for source in "$here"/tests/fuzz/fuzz_*.cpp; do
        name=$(basename "$source" .cpp)
        targets+=("${name#fuzz_}")
    done
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$build/findings"
# Qt keeps caches for the life of the process that the leak check would report on every run.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for name in "${targets[@]}"; do
    max_len=4096
    [ "$name" = emf ] && max_len=65536
    corpus=$scratch/$name
    mkdir -p "$corpus" "$scratch/work-$name"
    cp "$here/tests/fuzz/corpus/$name/"* "$corpus/" 2>/dev/null || true
    echo "== fuzz_$name: $seconds s"
    # Run from a folder of its own: whatever the target creates relative to the current folder stays there.
    if ! (cd "$scratch/work-$name" && "$build/tests/fuzz/fuzz_$name" "$corpus" -max_total_time="$seconds" \
        -max_len="$max_len" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$build/findings/$name-" >"$scratch/$name.log" 2>&1); then
        tail -n 60 "$scratch/$name.log" >&2
        failed+=("$name")
    else
        grep -E "^stat::number_of_executed_units|^Done" "$scratch/$name.log" || true
    fi
done
if ((${#failed[@]})); then
    echo "fuzz.sh: failed: ${failed[*]} (inputs in $build/findings/)" >&2
    exit 1
fi
echo "fuzz.sh: all ${#targets[@]} targets ran $seconds s without a finding"
