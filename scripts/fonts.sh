#!/usr/bin/env bash
# The free font families decks ask for that Debian lacks (fonts/families.tsv): each fetched from the npm registry
# by package name at its pinned version (npm pack, never a URL), made into one TrueType face per weight and style
# (scripts/fonts-merge.py: Debian's python3-fonttools reads the WOFF2 files), its licence kept beside it, all
# under DEST/FAMILY/. A family that cannot be fetched or made is left out, saying so: decks asking for it get the
# stand-in of its kind. Packages are kept in CACHE, so a second run fetches nothing.
# Wine's copies of Tahoma, Wingdings, Symbol and Webdings (fonts-wine) are linked in under DEST/Wine; width-matched
# twins of Windows fonts (fonts/twins.tsv) are made from free faces.
# Usage: scripts/fonts.sh DEST [CACHE]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dest=${1:?usage: scripts/fonts.sh DEST [CACHE]}
cache=${2:-${XDG_CACHE_HOME:-$HOME/.cache}/vorlane/npm}
mkdir -p "$dest" "$cache"
dest=$(cd "$dest" && pwd)
npm_ok=1
if ! command -v npm >/dev/null; then
    echo "fonts: npm is not on the PATH: the web font families are left out" >&2
    npm_ok=0
fi
made=0
missed=()
while IFS=$'\t' read -r family package version; do
    [[ -z $family || $family == \#* || $npm_ok == 0 ]] && continue
    folder="$dest/${family// /}"
    if [ -s "$folder/LICENSE" ] && compgen -G "$folder/*.ttf" >/dev/null; then
        made=$((made + 1))
        continue
    fi
    tgz="$cache/$(tr / - <<<"${package#@}")-$version.tgz"
    if [ ! -s "$tgz" ] && ! (cd "$cache" && timeout 120 npm pack --silent "$package@$version" >/dev/null 2>&1); then
        missed+=("$family")
        continue
    fi
    work=$(mktemp -d)
    rm -rf "$folder"
    if tar xzf "$tgz" -C "$work" && /usr/bin/python3 "$here/scripts/fonts-merge.py" "$family" "$work/package/files" \
        "$folder" >/dev/null && cp "$work/package/LICENSE" "$folder/LICENSE"; then
        made=$((made + 1))
    else
        rm -rf "$folder"
        missed+=("$family")
    fi
    rm -rf "$work"
done <"$here/fonts/families.tsv"
# Width-matched twins of Windows fonts (fonts/twins.tsv), made from free faces: Debian's, or the web families above
# ({dest}). A twin that cannot be made is left out, and its font falls to the next stand-in the table names.
styles=(Regular Bold Italic BoldItalic)
while IFS=$'\t' read -r font twin widths sources licence _; do
    [[ -z $font || $font == \#* || $font == font ]] && continue
    folder="$dest/${twin// /}"
    # Made before, and nothing it is made from changed since (its widths included).
    if [ -s "$folder/LICENSE" ] && [ -z "$(find "$here/scripts/fonts-twin.py" "$here/fonts/twins.tsv" \
        "$here/fonts/widths" -newer "$folder/LICENSE" -print -quit)" ]; then
        made=$((made + 1))
        continue
    fi
    rm -rf "$folder"
    mkdir -p "$folder"
    IFS=, read -r -a faces <<<"${sources//\{dest\}/$dest}"
    for k in 0 1 2 3; do
        style=${styles[$k]}
        measured=$widths
        # "NAME:Regular": a font Windows has in its regular face only, which PowerPoint slants and emboldens
        # keeping its advances: every style takes the regular's widths.
        if [[ $widths == *:Regular ]]; then
            measured="$here/fonts/widths/${widths%:Regular}-Regular.tsv"
        elif ! [[ $widths =~ ^[0-9.]+$ ]]; then
            measured="$here/fonts/widths/$widths-$style.tsv"
        fi
        if ! /usr/bin/python3 "$here/scripts/fonts-twin.py" "${faces[$k]:-}" "$measured" "$twin" \
            "${style/BoldItalic/Bold Italic}" "$folder/${twin// /}-$style.ttf" >/dev/null 2>&1; then
            rm -rf "$folder"
            break
        fi
    done
    if [ -d "$folder" ] && cp "${licence//\{dest\}/$dest}" "$folder/LICENSE"; then
        made=$((made + 1))
    else
        rm -rf "$folder"
        missed+=("$twin (twin of $font)")
    fi
done <"$here/fonts/twins.tsv"
# Wine's copies of Windows' metrics (fonts-wine) lie where fontconfig does not look: linked in beside the others.
wine=/usr/share/wine/fonts
if [ -d "$wine" ]; then
    mkdir -p "$dest/Wine"
    for f in tahoma.ttf tahomabd.ttf wingding.ttf symbol.ttf webdings.ttf; do
        [ -e "$wine/$f" ] && ln -sfn "$wine/$f" "$dest/Wine/$f"
    done
fi
echo "fonts: $made families in $dest"
if ((${#missed[@]})); then
    echo "fonts: not fetched or not made (decks asking for them get a stand-in): ${missed[*]}" >&2
fi
