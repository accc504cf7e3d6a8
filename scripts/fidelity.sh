#!/usr/bin/env bash
# Scores every slide of the presentations under FOLDER against the office's own picture of it and writes a
# montage of the worst slides. Usage: scripts/fidelity.sh FOLDER [OUT-DIR] [--plain] [--format emf|svg|png]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
[ $# -ge 1 ] || { echo "usage: $0 FOLDER [OUT-DIR] [--plain] [--format emf|svg|png]" >&2; exit 2; }
folder=$1
out=${2:-$here/out/fidelity}
shift $(( $# >= 2 ? 2 : 1 ))
[ -x "$build/bench/fidelity" ] || "$here/scripts/setup.sh" "$build"
mkdir -p "$out"
exec "$build/bench/fidelity" "$folder" --out "$out" "$@"
