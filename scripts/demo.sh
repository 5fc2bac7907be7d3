#!/usr/bin/env bash
# Installs what is needed, builds, and compresses the bundled sample deck with the command-line front end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build"
out=$(mktemp -d)
cp "$root/samples/sample.pptx" "$out/"
QUARNEL_REGISTRY_DIR="$out/registry" "$root/build/cli/quarnel-cli" --overwrite "$out/sample.pptx"
ls -l "$out"
