#!/usr/bin/env bash
# Cross-builds the layers ported to Windows so far (platform/ and its tests) and runs the tests
# under Wine. Usage: test-windows.sh [build-dir] [ctest arguments...]
# The dependencies come from build-windows.sh's cache (QUARNEL_WINDOWS_CACHE), built first if needed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${QUARNEL_WINDOWS_CACHE:-$HOME/.cache/quarnel-windows}
prefix=$cache/prefix
dir=${1:-$root/build-windows}
shift || true
export QUARNEL_WINDOWS_CACHE=$cache QUARNEL_WINDOWS_PREFIX=$prefix

nice -n 19 bash "$root/scripts/build-windows.sh" googletest qt6-base
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/windows/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARNEL_PLATFORM_ONLY=ON -DQUARNEL_BUILD_GUI=OFF \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_PREFIX_PATH="$prefix/qt6;$prefix" >/dev/null
nice -n 19 cmake --build "$dir" --parallel "$(nproc)"
# The Wine prefix is made once, before the tests start in parallel.
"$root/cmake/windows/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true
cd "$dir"
QT_QPA_PLATFORM=offscreen nice -n 19 ctest --output-on-failure "$@"
