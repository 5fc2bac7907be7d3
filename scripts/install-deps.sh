#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need. Idempotent.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libzip-dev zipcmp zipmerge ziptool libpugixml-dev
  libvips-dev librsvg2-dev libwmf-dev libemf2svg-dev
  libgtest-dev libgmock-dev ccache
  libturbojpeg0-dev libjpeg62-turbo-dev libzopfli-dev libdeflate-dev libpng-dev
  libeot-dev libharfbuzz-dev libfreetype-dev libgsf-1-dev
  qt6-translations-l10n
  fonts-noto-cjk fonts-dejavu-core fonts-crosextra-carlito fonts-crosextra-caladea fonts-liberation2
  libreoffice-impress-nogui
  ffmpeg python3 python3-pil python3-numpy python3-lxml
  unzip zip poppler-utils jpegoptim optipng xvfb xauth
  desktop-file-utils appstream lintian man-db
  chromium
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
