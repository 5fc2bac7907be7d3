#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine: a prefix of its own, no Wine diagnostics, and the
# DLLs of the MinGW runtime and of the cross-built dependencies found beside the system ones, and
# the tests' ffmpeg and ffprobe on PATH (build-windows.sh's ffmpeg stage), where a person's would be.
set -euo pipefail
cache=${QUARNEL_WINDOWS_CACHE:-$HOME/.cache/quarnel-windows}
export WINEPREFIX=${WINEPREFIX:-$cache/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
paths=("$runtime" /usr/x86_64-w64-mingw32/lib "$cache/prefix/qt6/bin" "$cache/prefix/bin" "$cache/prefix/vips/bin"
       "$cache/wine-support" "$cache/ffmpeg")
winepath=""
for p in "${paths[@]}"; do
  winepath+="Z:${p};"
done
export WINEPATH="${winepath}${WINEPATH:-}"
# Qt's platform and style plugins for programs run from the build tree (an installed program has
# them beside itself).
export QT_PLUGIN_PATH=${QT_PLUGIN_PATH:-Z:${cache//\//\\}\\prefix\\qt6\\plugins}
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
[ -x "$wine" ] || wine=wine
# One server for the whole test run: each program then starts in milliseconds instead of seconds.
# The server and Wine's own background programs are started here with no terminal or pipe of
# ours: they outlive the program, and a pipe they held open would never see its end.
wineserver -p60 </dev/null >/dev/null 2>&1 || true
"$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
# The program's output goes through a file: a console host Wine starts for a child the program
# runs can outlive it holding the program's output, and a caller reading a pipe (ctest) would
# wait for its end until that host goes.
output=$(mktemp)
trap 'rm -f "$output"' EXIT
status=0
"$wine" "$@" >"$output" 2>&1 </dev/null || status=$?
cat "$output"
exit "$status"
