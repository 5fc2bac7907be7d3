#!/usr/bin/env bash
# Installs what is needed, checks the formatting, builds with warnings as errors, runs every test,
# then runs the tests again in an address + undefined sanitizer build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/check-format.sh"

export QT_QPA_PLATFORM=offscreen
bash "$root/scripts/build.sh" "$root/build-ci" -DQUARNEL_WERROR=ON
ctest --test-dir "$root/build-ci" --output-on-failure --timeout 600 -j "$(nproc)"
# The menu entry and the AppStream metainfo (the whole package is checked by scripts/package.sh).
desktop-file-validate "$root/packaging/jp.vodrik.quarnel.desktop"
appstreamcli validate --no-net "$root/build-ci/packaging/jp.vodrik.quarnel.metainfo.xml"

bash "$root/scripts/build.sh" "$root/build-asan" -DQUARNEL_WERROR=ON -DQUARNEL_SANITIZE=ON \
  -DCMAKE_BUILD_TYPE=Debug -DQUARNEL_BUILD_GUI=OFF
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$root/build-asan" --output-on-failure --timeout 900 -j "$(nproc)" -LE slow
