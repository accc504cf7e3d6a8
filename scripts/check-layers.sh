#!/usr/bin/env bash
# Fails when a file under src/ includes a header of a folder its own folder may not include: the layers are linked
# one way (src/CMakeLists.txt), and this keeps the includes so. Usage: scripts/check-layers.sh [SRC-DIR]
set -euo pipefail
src=${1:-$(cd "$(dirname "$0")/.." && pwd)/src}

# The folders each folder may include besides its own.
declare -A allowed=(
    [base]=""
    [regex]="base"
    [automation]=""
    [render]="base"
    [deck]="base"
    [fonts]="base deck"
    [engine]="base regex automation render deck fonts project info"
    [project]="base regex automation render deck fonts engine info"
    [info]="base regex automation render deck fonts engine project"
    [platform/shell]="base"
    [platform/office]="base automation render deck fonts"
    [ui]="base regex automation render deck fonts engine project info"
    [service]="base automation render deck fonts"
    [app]="base regex automation render deck fonts engine project info platform/shell platform/office ui service"
)
folderOf() {
    case $1 in
    platform/*) echo "${1%%/*}/$(cut -d/ -f2 <<<"$1")" ;;
    *) echo "${1%%/*}" ;;
    esac
}

bad=0
while IFS= read -r -d '' file; do
    rel=${file#"$src"/}
    from=$(folderOf "$rel")
    if [[ ! -v allowed[$from] ]]; then
        echo "check-layers: $rel: the folder $from is not in the table" >&2
        bad=1
        continue
    fi
    while IFS= read -r header; do
        [[ $header == */* ]] || continue
        to=$(folderOf "$header")
        [[ -d $src/$to ]] || continue # a library's own header, not ours
        [[ $to == "$from" || " ${allowed[$from]} " == *" $to "* ]] && continue
        echo "check-layers: $rel includes $header: $from may include only: ${allowed[$from]:-nothing else}" >&2
        bad=1
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find "$src" -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
[ $bad -eq 0 ] && echo "check-layers: every include follows the layers"
exit $bad
