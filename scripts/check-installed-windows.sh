#!/usr/bin/env bash
# Tries the Windows installer under Wine in a prefix of its own: a silent install, the files, the
# Start menu entry and "Open with" in place, the sample deck compressed by the installed
# quarnel-cli.exe, then a silent uninstall that leaves none of them.
# Usage: check-installed-windows.sh [setup.exe]   (default: build-windows/quarnel-<version>-setup.exe)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${QUARNEL_WINDOWS_CACHE:-$HOME/.cache/quarnel-windows}
setup=${1:-$(find "$root/build-windows" -maxdepth 1 -name "quarnel-*-setup.exe" | head -n1)}
work=$(mktemp -d)
trap 'WINEPREFIX=$work/wine wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
fail() { echo "check-installed-windows: $*" >&2; exit 1; }

"$wine" "$setup" /S </dev/null >/dev/null 2>&1
wineserver -w
drive=$WINEPREFIX/drive_c
installed="$drive/Program Files/Vodrik/Quarnel"
for file in bin/quarnel.exe bin/quarnel-cli.exe bin/Qt6Core.dll bin/libvips-42.dll bin/platforms/qwindows.dll \
  share/quarnel/cores/Transcoding.ini share/quarnel/help/support.html share/quarnel/fonts/DejaVuSans.ttf \
  share/quarnel/translations/qtbase_ja.qm uninstall.exe; do
  [ -f "$installed/$file" ] || fail "$file was not installed"
done
[ -f "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/クオーネル.lnk" ] || fail "no Start menu entry"
"$wine" reg query 'HKLM\Software\Classes\.pptx\OpenWithList\quarnel.exe' >/dev/null 2>&1 ||
  fail "not under Open with for .pptx"
"$wine" reg query 'HKLM\Software\Classes\Applications\quarnel.exe\shell\open\command' 2>/dev/null |
  grep -q 'Quarnel\\bin\\quarnel.exe" "%1"' || fail "no open command"

# Wine 8.0 has no bcryptprimitives.dll, which every Windows 10 has; the stand-in is for Wine only.
cp "$cache/wine-support/bcryptprimitives.dll" "$drive/windows/system32/"
mkdir -p "$work/out"
"$wine" 'C:\Program Files\Vodrik\Quarnel\bin\quarnel-cli.exe' --output-dir 'Z:'"${work//\//\\}"'\out' \
  'Z:'"${root//\//\\}"'\samples\sample.pptx' </dev/null >"$work/run.log" 2>&1 || { cat "$work/run.log"; fail "the installed CLI failed"; }
output=$(find "$work/out" -name "*.pptx" | head -n1)
[ -n "$output" ] || { cat "$work/run.log"; fail "the installed CLI wrote no deck"; }
echo "installed quarnel-cli.exe: $(basename "$output"), $(stat -c %s "$output") bytes (sample $(stat -c %s "$root/samples/sample.pptx"))"

"$wine" 'C:\Program Files\Vodrik\Quarnel\uninstall.exe' /S </dev/null >/dev/null 2>&1
# The uninstaller copies itself away and runs from there; wait for it.
for _ in $(seq 1 100); do [ -e "$installed" ] || break; sleep 0.2; done
wineserver -w
[ ! -e "$installed" ] || fail "the uninstaller left $installed"
[ ! -e "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/クオーネル.lnk" ] || fail "the Start menu entry stayed"
if "$wine" reg query 'HKLM\Software\Classes\Applications\quarnel.exe' >/dev/null 2>&1; then
  fail "the Open with registration stayed"
fi
echo "check-installed-windows: installed, compressed the sample deck, uninstalled cleanly"
