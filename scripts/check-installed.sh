#!/usr/bin/env bash
# Tries the installed package from /usr/bin: version, manual page, data files found beside
# /usr/share/quarnel, and the sample deck compressed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[[ $(command -v quarnel-cli) == /usr/bin/quarnel-cli ]]
/usr/bin/quarnel-cli --version
# The manual page is read from the package's own file, also where the image strips /usr/share/man.
MANPAGER=cat man -l /usr/share/man/man1/quarnel-cli.1.gz | grep -q -- --jobs
if command -v mandb >/dev/null && [[ -d /usr/share/man/man1 ]]; then
  MANPAGER=cat man quarnel-cli | grep -q -- --shard
fi
share=/usr/bin/../share/quarnel
for data in help/support.html help/update.html cores/Transcoding.ini; do
  if [[ -e $root/app/$data || -e $root/$data ]]; then
    [[ -e $share/$data ]] || { echo "missing $share/$data" >&2; exit 1; }
  fi
done

cp "$root/samples/sample.pptx" "$work/sample.pptx"
QUARNEL_REGISTRY_DIR=$work/registry XDG_CONFIG_HOME=$work/config \
  /usr/bin/quarnel-cli --report "$work/r.json" "$work/sample.pptx" </dev/null >"$work/log.txt"
grep -q '"result": "compressed"' "$work/r.json"
cmp -s "$root/samples/sample.pptx" "$work/sample.pptx"
echo "installed package: ok"
