#!/usr/bin/env bash
# Cross-builds the whole program with its tests and runs them under Wine, tries the installer; then,
# when the corpus is beside the checkout, compresses every .pptx deck with the Windows CLI under
# Wine and with a Linux CLI built on the same libvips, and compares the outputs byte for byte.
# Usage: test-windows.sh [build-dir] [ctest arguments...]
# The dependencies come from build-windows.sh's cache (QUARNEL_WINDOWS_CACHE), built first if needed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${QUARNEL_WINDOWS_CACHE:-$HOME/.cache/quarnel-windows}
dir=${1:-$root/build-windows}
shift || true
export QUARNEL_WINDOWS_CACHE=$cache QUARNEL_WINDOWS_BUILD=$dir

# The dependencies and the programs, then everything else in the same tree (the tests).
nice -n 19 bash "$root/scripts/build-windows.sh"
nice -n 19 cmake --build "$dir" --parallel "$(nproc)"
# The Wine prefix is made once, before the tests start in parallel.
"$root/cmake/windows/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true
# Every part runs even when an earlier one failed; the script fails when any did.
failed=()
(cd "$dir" && QT_QPA_PLATFORM=offscreen nice -n 19 ctest --output-on-failure --timeout 300 -j "$(nproc)" "$@") ||
  failed+=(tests)
# The installer, installed and removed in a Wine prefix of its own.
bash "$root/scripts/check-installed-windows.sh" "$(find "$dir" -maxdepth 1 -name 'quarnel-*-setup.exe' | head -n1)" ||
  failed+=(installer)

corpus=$root/../shared/corpus
if [ -d "$corpus" ]; then
  reference=$dir-linux-reference
  nice -n 19 bash "$root/scripts/build-windows.sh" linux-reference
  # Qt's GLib event loop would meet the GLib inside that libvips; the CLI needs neither.
  QT_NO_GLIB=1 /usr/bin/python3 "$root/bench/windows/run_wine_identity.py" --corpus "$corpus" \
    --linux-cli "$reference/cli/quarnel-cli" --windows-cli "$dir/cli/quarnel-cli.exe" --require-identical ||
    failed+=("corpus byte check")
fi
if ((${#failed[@]})); then
  echo "test-windows: failed: ${failed[*]}" >&2
  exit 1
fi
echo "test-windows: tests, installer and corpus byte check passed"
