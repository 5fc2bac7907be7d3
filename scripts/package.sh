#!/usr/bin/env bash
# Builds the Debian package (cpack -G DEB) and checks it: desktop entry, AppStream metainfo, lintian.
# With --install it then installs the package with apt (as root) and tries the installed programs.
# Usage: package.sh [--install] [build-dir]      (build-dir defaults to build-package)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
install=0
if [[ ${1:-} == --install ]]; then
  install=1
  shift
fi
dir=${1:-"$root/build-package"}

bash "$root/scripts/build.sh" "$dir" -DQUARNEL_BUILD_GUI=ON -DCMAKE_INSTALL_PREFIX=/usr
rm -f "$dir"/quarnel_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(realpath "$dir"/quarnel_*.deb)
echo "package: $deb"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
dpkg-deb -x "$deb" "$stage"
desktop-file-validate "$stage/usr/share/applications/jp.vodrik.quarnel.desktop"
appstreamcli validate --no-net --pedantic "$stage/usr/share/metainfo/jp.vodrik.quarnel.metainfo.xml"
# Findings we keep on purpose are listed with their reason in packaging/lintian-explained.
lintian --fail-on error,warning --suppress-tags-from-file "$root/packaging/lintian-explained" "$deb"
echo "validators: ok"

if ((install)); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq "$deb" >/dev/null
  bash "$root/scripts/check-installed.sh"
fi
