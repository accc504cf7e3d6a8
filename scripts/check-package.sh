#!/usr/bin/env bash
# Builds the Debian package, installs it with apt-get (which pulls its dependencies), and checks that the installed
# program starts and converts the sample decks on the console.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}

(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/quillon-converter_*.deb | head -n 1)
echo "Package: $deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --reinstall "$deb" >/dev/null

test -x /usr/lib/quillon-converter/vorlane
test -f /usr/share/applications/vorlane.desktop
test -f /usr/share/mime/packages/vorlane.xml
vorlane --version

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build"/samples/*.ppt* "$work/"
vorlane "-P:Source=$work/*.ppt?;Target=$work/out;PureConsole=1"
count=$(ls "$work"/out/*.emf | wc -l)
echo "Installed program wrote $count EMF files"
[ "$count" -ge 4 ]
