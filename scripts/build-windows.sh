#!/usr/bin/env bash
# The recipes are called by name (build_$stage), which shellcheck cannot follow.
# shellcheck disable=SC2317
# Cross-builds the Windows dependencies with MinGW-w64, each once, into a cache outside the tree.
#
# Usage: build-windows.sh                  every stage, then quarnel.exe, quarnel-cli.exe and the
#                                          installer in build-windows/ (QUARNEL_WINDOWS_BUILD)
#        build-windows.sh stage...         only these stages
#        build-windows.sh linux-reference  a Linux quarnel-cli on the same libvips, in
#                                          <build>-linux-reference, for comparing outputs
#   Stages: zlib libdeflate libzip pugixml libjpeg-turbo libpng zopfli googletest libvips qt6-base
#           qt6-translations lcms2 freetype harfbuzz libeot iconv libuemf libemf2svg libwmf libxml2 libgsf
#           x264 ffmpeg
#
# Environment:
#   QUARNEL_WINDOWS_CACHE  the cache (default ~/.cache/quarnel-windows): sources in src/, build trees
#                          in build/, everything installed into prefix/, logs in logs/, stamps in stamps/
#   QUARNEL_WINDOWS_JOBS   parallel jobs (default: the number of cores)
#
# Sources come from Debian's source packages (apt-get source with a list and state of the cache's
# own; the system's apt configuration is not touched), for libvips from the npm registry's prebuilt
# Windows libvips, for what MinGW lacks from the stand-ins in cmake/windows/compat, and for Qt's
# Japanese texts from the build machine's Debian package of them. A dependency whose stamp matches
# its version and recipe is not built again; change either and it is.
set -euo pipefail
shopt -s inherit_errexit

root=$(cd "$(dirname "$0")/.." && pwd)
cache=${QUARNEL_WINDOWS_CACHE:-$HOME/.cache/quarnel-windows}
jobs=${QUARNEL_WINDOWS_JOBS:-$(nproc)}
prefix=$cache/prefix
toolchain=$root/cmake/windows/mingw-w64-x86_64.cmake
triple=x86_64-w64-mingw32
build=${QUARNEL_WINDOWS_BUILD:-$root/build-windows}
export QUARNEL_WINDOWS_CACHE=$cache QUARNEL_WINDOWS_PREFIX=$prefix

# The libvips build for Windows; the dev package carries the headers and C++ sources of the same build.
libvips_npm_version=1.3.3

all_stages=(zlib libdeflate libzip pugixml libjpeg-turbo libpng zopfli googletest libvips qt6-base
            qt6-translations lcms2 freetype harfbuzz libeot iconv libuemf libemf2svg libwmf libxml2 libgsf
            x264 ffmpeg)
# The Debian source package of a stage, where its name is not the stage's.
declare -A stage_packages=([libpng]=libpng1.6)
# The stages whose installed files a stage's build reads (Qt uses its own bundled copies).
declare -A stage_dependencies=([libzip]=zlib [libpng]=zlib [freetype]=zlib [libuemf]=iconv
                               [libemf2svg]="zlib libpng freetype iconv libuemf"
                               [libwmf]="zlib libpng freetype" [libgsf]="zlib libvips libxml2"
                               [ffmpeg]=x264)
# The shared helpers besides cmake_cross whose text is part of a stage's recipe.
declare -A stage_helpers=([lcms2]=configure_cross [libeot]=configure_cross
                          [libwmf]=configure_cross)
# Stand-ins for what MinGW's C library and the system lack (cmake/windows/compat), by stage; they
# are part of its recipe. A stage with no source package of its own is built from these alone.
compat=$root/cmake/windows/compat
declare -A stage_compat_files=([iconv]="iconv.h iconv.c"
                               [libemf2svg]="memstream.h memstream.c fontconfig/fontconfig.h compat_check.c"
                               [libgsf]="fopen_utf8.h fopen_utf8.c")

log() { printf '[build-windows %s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }

install_host_packages() {
  local packages=(g++-mingw-w64-x86-64-posix wine64 wine nsis nasm dpkg-dev cmake ninja-build make
                  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n pkg-config autoconf automake libtool)
  local missing=()
  # Any npm will do (a machine may have Node.js from elsewhere, whose npm Debian's would conflict with).
  command -v npm >/dev/null || missing+=(npm)
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    log "installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# The Debian release the sources come from, and the next one, for a package whose sources the
# mirror no longer serves for the first (the older release's files are dropped once superseded).
debian_releases=(bookworm trixie)

# The apt state of a release: the first keeps the folder it always had.
apt_dir() {
  if [ "$1" = "${debian_releases[0]}" ]; then echo "$cache/apt"; else echo "$cache/apt-$1"; fi
}

# apt-get (or apt-cache) with a source list and state of the cache's own for one release, so that
# the system's lists stay as they are.
apt_private() {
  local release=$1 tool=apt-get dir
  shift
  [ "$1" = cache ] && { tool=apt-cache; shift; }
  dir=$(apt_dir "$release")
  "$tool" -o Dir::Etc::SourceList="$dir/sources.list" -o Dir::Etc::SourceParts=/dev/null \
    -o Dir::State::Lists="$dir/lists" -o Dir::Cache="$dir/cache" -o Dir::State::status=/dev/null \
    -o APT::Sandbox::User=root "$@"
}

prepare_apt_sources() {
  local release=$1 dir
  dir=$(apt_dir "$release")
  mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial"
  local keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  cat >"$dir/sources.list.new" <<EOF
deb-src [signed-by=$keyring] http://deb.debian.org/debian $release main
deb-src [signed-by=$keyring] http://deb.debian.org/debian $release-updates main
deb-src [signed-by=$keyring] http://deb.debian.org/debian-security $release-security main
EOF
  mv "$dir/sources.list.new" "$dir/sources.list"
  # Refreshed once a day; the versions fetched are in the stamps either way.
  if [ -z "$(find "$dir" -maxdepth 1 -name updated -mtime -1 -print -quit)" ]; then
    log "updating the source package lists of $release"
    apt_private "$release" update -qq
    touch "$dir/updated"
  fi
}

# Fetches and unpacks a source package once, the newest version that can be had: a security
# update's sources are not always on the mirror when its lists are. The next release is asked only
# when the first has none. Sets src_dir and src_version (e.g. 1.2.13.dfsg-1+deb12u1; the epoch is
# left out, as in the file names).
debian_source() {
  local package=$1 release full version dir
  for release in "${debian_releases[@]}"; do
    [ "$release" = "${debian_releases[0]}" ] || prepare_apt_sources "$release"
    for full in $(apt_private "$release" cache showsrc "$package" | awk '/^Version:/ {print $2}' | sort -Vru); do
      version=${full#*:}
      dir=$cache/src/$package-$version
      if [ ! -f "$dir/.unpacked" ]; then
        log "fetching source package $package $version"
        rm -rf "$dir" && mkdir -p "$dir"
        if ! (cd "$dir" && apt_private "$release" source -qq "$package=$full" >/dev/null 2>"$dir/.fetch-errors"); then
          log "$package $version cannot be fetched: $(head -n1 "$dir/.fetch-errors")"
          rm -rf "$dir"
          continue
        fi
        touch "$dir/.unpacked"
      fi
      src_dir=$(find "$dir" -mindepth 1 -maxdepth 1 -type d | head -n1)
      src_version=$version
      return 0
    done
  done
  log "no source package $package could be fetched"
  return 1
}

# The stamp of a stage: its version, its recipe and the toolchain file. A change in any rebuilds it.
stage_key() {
  local stage=$1 version=$2 dependency helper file
  {
    echo "$stage $version"
    declare -f "build_$stage"
    declare -f cmake_cross
    for helper in ${stage_helpers[$stage]:-}; do
      declare -f "$helper"
    done
    for file in ${stage_compat_files[$stage]:-}; do
      cat "$compat/$file"
    done
    cat "$toolchain"
    # A stage built against another is built again when that one is.
    for dependency in ${stage_dependencies[$stage]:-}; do
      cat "$cache/stamps/$dependency" 2>/dev/null || echo "$dependency missing"
    done
  } | sha256sum | cut -d' ' -f1
}

cmake_cross() {
  local src=$1 build=$2
  shift 2
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" -DBUILD_SHARED_LIBS=OFF "$@"
  nice -n 19 cmake --build "$build" --parallel "$jobs"
  cmake --install "$build"
}

# An autotools package configured out of its source tree for MinGW, static only, finding what it
# needs in the prefix alone.
configure_cross() {
  local src=$1 build=$2
  shift 2
  mkdir -p "$build"
  (cd "$build" && PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH="" PKG_CONFIG_SYSROOT_DIR="" \
    "$src/configure" --host="$triple" --prefix="$prefix" --disable-shared --enable-static \
    CC="$triple-gcc-posix" CXX="$triple-g++-posix" AR="$triple-gcc-ar-posix" RANLIB="$triple-gcc-ranlib-posix" \
    CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib" "$@")
}

build_zlib() {
  local src=$1 build=$cache/build/zlib
  # Debian's repack has no win32 makefile, and zlib's CMake rewrites zconf.h in the source folder and
  # names the library zlibstatic; fifteen C files compile into the usual libz.a directly.
  rm -rf "$build" && mkdir -p "$build"
  local c
  for c in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees \
    trees uncompr zutil; do
    nice -n 19 "$triple"-gcc-posix -O2 -c "$src/$c.c" -o "$build/$c.o"
  done
  "$triple"-gcc-ar-posix rcs "$build/libz.a" "$build/"*.o
  install -D -m644 "$build/libz.a" "$prefix/lib/libz.a"
  install -D -m644 -t "$prefix/include" "$src/zlib.h" "$src/zconf.h"
  local version
  version=$(sed -n 's/^#define ZLIB_VERSION "\(.*\)"/\1/p' "$src/zlib.h")
  mkdir -p "$prefix/lib/pkgconfig"
  # shellcheck disable=SC2016 # ${prefix} is pkg-config's, not the shell's
  printf 'prefix=%s\nName: zlib\nDescription: zlib\nVersion: %s\nLibs: -L${prefix}/lib -lz\nCflags: -I${prefix}/include\n' \
    "$prefix" "$version" >"$prefix/lib/pkgconfig/zlib.pc"
}

build_libdeflate() {
  local src=$1
  rm -rf "$cache/build/libdeflate" && cp -a "$src" "$cache/build/libdeflate"
  # The static library only; its makefile names it libdeflatestatic.lib on Windows.
  nice -n 19 make -C "$cache/build/libdeflate" -j"$jobs" CC="$triple-gcc-posix" AR="$triple-gcc-ar-posix" \
    libdeflatestatic.lib
  install -D -m644 "$cache/build/libdeflate/libdeflatestatic.lib" "$prefix/lib/libdeflate.a"
  install -D -m644 "$src/libdeflate.h" "$prefix/include/libdeflate.h"
  local version
  version=$(sed -n 's/^#define LIBDEFLATE_VERSION_STRING[[:space:]]*"\(.*\)"/\1/p' "$src/libdeflate.h")
  mkdir -p "$prefix/lib/pkgconfig"
  # shellcheck disable=SC2016 # ${prefix} is pkg-config's, not the shell's
  printf 'prefix=%s\nName: libdeflate\nDescription: libdeflate\nVersion: %s\nLibs: -L${prefix}/lib -ldeflate\nCflags: -I${prefix}/include\n' \
    "$prefix" "$version" >"$prefix/lib/pkgconfig/libdeflate.pc"
}

build_libzip() {
  cmake_cross "$1" "$cache/build/libzip" -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
    -DENABLE_OPENSSL=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF \
    -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF
}

build_pugixml() {
  cmake_cross "$1" "$cache/build/pugixml" -DPUGIXML_BUILD_TESTS=OFF
}

build_libjpeg-turbo() {
  cmake_cross "$1" "$cache/build/libjpeg-turbo" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=ON \
    -DWITH_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm
}

build_libpng() {
  cmake_cross "$1" "$cache/build/libpng" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DZLIB_ROOT="$prefix"
}

build_zopfli() {
  cmake_cross "$1" "$cache/build/zopfli" -DZOPFLI_BUILD_SHARED=OFF
}

build_googletest() {
  cmake_cross "$1" "$cache/build/googletest" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
}

# The library alone: its sample programs would want libjpeg and libtiff.
build_lcms2() {
  local build=$cache/build/lcms2
  configure_cross "$1" "$build" --without-jpeg --without-tiff --without-zlib
  nice -n 19 make -C "$build/src" -j"$jobs"
  make -C "$build/src" install
  make -C "$build/include" install
  make -C "$build" install-pkgconfigDATA
}

# Outlines and metrics of TrueType and OpenType fonts, with zlib for WOFF; nothing else.
build_freetype() {
  cmake_cross "$1" "$cache/build/freetype" -DFT_REQUIRE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON -DZLIB_ROOT="$prefix"
}

# The shaper and the subsetter, with no FreeType, GLib, ICU or Cairo. The CMake build compiles
# libharfbuzz from one amalgamated source, yet gives libharfbuzz-subset its own copies of four of
# the files in it; statically linked, both would be pulled in and clash, so the subsetter's copies
# go and it uses libharfbuzz's, which its .pc requires anyway.
build_harfbuzz() {
  cmake_cross "$1" "$cache/build/harfbuzz" -DHB_BUILD_SUBSET=ON -DHB_HAVE_FREETYPE=OFF -DHB_HAVE_GLIB=OFF \
    -DHB_HAVE_ICU=OFF -DHB_HAVE_GOBJECT=OFF -DHB_BUILD_UTILS=OFF -DHB_HAVE_INTROSPECTION=OFF
  "$triple"-gcc-ar-posix d "$prefix/lib/libharfbuzz-subset.a" hb-static.cc.obj hb-number.cc.obj \
    hb-ot-cff1-table.cc.obj hb-ot-cff2-table.cc.obj
}

# The library alone, not its command-line converter. libeot.c includes err.h, which MinGW lacks,
# and uses nothing from it: an empty one stands in.
build_libeot() {
  local build=$cache/build/libeot
  mkdir -p "$build/include"
  : >"$build/include/err.h"
  configure_cross "$1" "$build" CPPFLAGS="-I$build/include -I$prefix/include"
  nice -n 19 make -C "$build" -j"$jobs" libeot.la
  make -C "$build" install-libLTLIBRARIES install-libeot_includeHEADERS install-pkgconfDATA
}

# MinGW has no iconv; libuemf and libemf2svg need conversions between Unicode encodings and Latin-1.
build_iconv() {
  local build=$cache/build/iconv
  mkdir -p "$build"
  nice -n 19 "$triple"-gcc-posix -O2 -Wall -c "$compat/iconv.c" -o "$build/iconv.o"
  "$triple"-gcc-ar-posix rcs "$build/libiconv.a" "$build/iconv.o"
  install -D -m644 "$build/libiconv.a" "$prefix/lib/libiconv.a"
  install -D -m644 "$compat/iconv.h" "$prefix/include/iconv.h"
}

# The metafile record library libemf2svg is built on (Debian takes it out of libemf2svg's sources);
# its CMake builds only a shared library and test programs, so the ten sources are compiled here.
build_libuemf() {
  local src=$1 build=$cache/build/libuemf
  mkdir -p "$build"
  local c
  for c in uemf uemf_print uemf_endian uemf_safe uemf_utf uwmf uwmf_print uwmf_endian upmf upmf_print; do
    nice -n 19 "$triple"-gcc-posix -std=gnu99 -O2 -c "$src/$c.c" -o "$build/$c.o" -I"$prefix/include"
  done
  "$triple"-gcc-ar-posix rcs "$build/libuemf.a" "$build/"*.o
  install -D -m644 "$build/libuemf.a" "$prefix/lib/libuemf.a"
  install -D -m644 -t "$prefix/include" "$src"/u[ewp]mf*.h
}

# The library only: its CMake always adds the converter, which needs argp. Compiled with the
# open_memstream stand-in forced in, and with a fontconfig stand-in that looks in the system's
# registered fonts (see compat/).
build_libemf2svg() {
  local src=$1 build=$cache/build/libemf2svg
  mkdir -p "$build"
  local version
  version=$(sed -n 's/^set(emf2svg_VERSION_\(MAJOR\|MINOR\|PATCH\) \([0-9]*\))/\2/p' "$src/CMakeLists.txt" |
    paste -sd.)
  local flags=(-std=gnu11 -O2 -DE2S_VERSION="\"$version\"" -I"$src/inc" -I"$compat" -I"$prefix/include"
               -I"$prefix/include/freetype2" -include "$compat/memstream.h")
  local c
  for c in "$src"/src/lib/*.c; do
    nice -n 19 "$triple"-gcc-posix "${flags[@]}" -c "$c" -o "$build/$(basename "$c" .c).o"
  done
  nice -n 19 "$triple"-gcc-posix -O2 -I"$compat" -c "$compat/memstream.c" -o "$build/memstream.o"
  "$triple"-gcc-ar-posix rcs "$build/libemf2svg.a" "$build/"*.o
  # The stand-ins are checked under Wine before anything is installed.
  nice -n 19 "$triple"-gcc-posix -std=gnu11 -O2 -I"$compat" "$compat/compat_check.c" "$build/memstream.o" \
    -L"$prefix/lib" -liconv -o "$build/compat_check.exe"
  "$root/cmake/windows/wine-run.sh" "$build/compat_check.exe"
  install -D -m644 "$build/libemf2svg.a" "$prefix/lib/libemf2svg.a"
  install -D -m644 "$src/inc/emf2svg.h" "$prefix/include/emf2svg.h"
  # shellcheck disable=SC2016 # ${prefix} is pkg-config's, not the shell's
  printf 'prefix=%s\nName: emf2svg\nDescription: EMF to SVG conversion\nVersion: %s\nRequires: libpng freetype2\nLibs: -L${prefix}/lib -lemf2svg -luemf -liconv -ladvapi32\nCflags: -I${prefix}/include\n' \
    "$prefix" "$version" >"$prefix/lib/pkgconfig/emf2svg.pc"
}

# Only what SVG output needs: no X, plotutils, JPEG or XML font maps. Its own copy of GD stays: SVG
# output inlines bitmaps only through it. Its configure would take the host's freetype-config, so a stand-in answers from the
# prefix; its link tests put the libraries before the test's -lfreetype, hence zlib in LIBS.
# Debian's patches change configure.ac and a Makefile.am, so a copy of the sources is regenerated
# first, as Debian's own build does. The library, its headers and its standard fonts are installed,
# not the converters.
build_libwmf() {
  local build=$cache/build/libwmf
  local src=$build/source
  mkdir -p "$build/bin"
  cp -a "$1" "$src"
  # A font file named in a font map is taken as it stands only when its path starts with "/";
  # a drive letter counts as well.
  sed -i "s|if (file_name\[0\] == '/' \&\& stat|if ((file_name[0] == '/' \|\| (file_name[0] \&\& file_name[1] == ':')) \&\& stat|" \
    "$src/src/font.c"
  grep -q "file_name\[1\] == ':'" "$src/src/font.c"
  (cd "$src" && autoreconf -f -i -Ipatches)
  cat >"$build/bin/freetype-config" <<EOF
#!/bin/sh
exec env PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH= PKG_CONFIG_SYSROOT_DIR= \\
  pkg-config --static "\$@" freetype2
EOF
  chmod +x "$build/bin/freetype-config"
  configure_cross "$src" "$build" --without-sys-gd --without-x --without-expat --without-libxml2 \
    --with-freetype="$prefix" --with-png="$prefix" --with-zlib="$prefix" --without-jpeg \
    FREETYPE_CONFIG="$build/bin/freetype-config" LIBS=-lz
  nice -n 19 make -C "$build/src/extra" -j"$jobs"
  nice -n 19 make -C "$build/src/ipa" -j"$jobs"
  nice -n 19 make -C "$build/src" -j"$jobs" libwmflite.la libwmf.la
  make -C "$build/src" install-libLTLIBRARIES
  make -C "$build/include" install
  make -C "$build/fonts" install
  local version
  version=$(sed -n 's/^Version: //p' "$build/libwmf.pc")
  # Its own .pc leaves out the -L and -I a prefix other than /usr needs.
  # shellcheck disable=SC2016 # ${prefix} is pkg-config's, not the shell's
  printf 'prefix=%s\nName: libwmf\nDescription: Windows Metafile reading and conversion\nVersion: %s\nRequires: freetype2 libpng zlib\nLibs: -L${prefix}/lib -lwmf -lwmflite\nCflags: -I${prefix}/include\n' \
    "$prefix" "$version" >"$prefix/lib/pkgconfig/libwmf.pc"
}

# For libgsf's XML support: the parser and writer only, without iconv (libxml2 reads UTF-8, UTF-16
# and Latin-1 itself), compression, Python or its programs.
build_libxml2() {
  cmake_cross "$1" "$cache/build/libxml2" -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_PROGRAMS=OFF \
    -DLIBXML2_WITH_TESTS=OFF -DLIBXML2_WITH_ICONV=OFF -DLIBXML2_WITH_ICU=OFF -DLIBXML2_WITH_LZMA=OFF \
    -DLIBXML2_WITH_ZLIB=OFF -DLIBXML2_WITH_FTP=OFF -DLIBXML2_WITH_MODULES=OFF
  # A static library's own dependencies belong in its Libs: CMake's pkg_check_modules reads no others.
  local pc=$prefix/lib/pkgconfig/libxml-2.0.pc private
  private=$(sed -n 's/^Libs.private: *//p' "$pc")
  sed -i -e "s|^Libs: .*|& $private|" -e '/^Libs.private:/d' "$pc"
}

# The structured-file library, for reading OLE compound documents, on the GLib and GObject that
# libvips-42.dll exports; that DLL does not export GIO, so the GIO streams are left out (bzip2 is
# left out too). Its configure would insist on GIO, so the sources are compiled here with the few
# settings it would have found. Files are opened by the C library this code reads them with, not by
# GLib's g_fopen (see compat/fopen_utf8.h).
build_libgsf() {
  local src=$1 build=$cache/build/libgsf
  mkdir -p "$build/include"
  cat >"$build/include/gsf-config.h" <<'EOF'
#define GETTEXT_PACKAGE "libgsf"
#define HAVE_UNISTD_H 1
#define HAVE_IO_H 1
#define HAVE_SYS_UTIME_H 1
#define HAVE_G_DATE_TIME_FORMAT_ISO8601 1
#define HAVE_G_DATE_TIME_NEW_FROM_ISO8601 1
#define HAVE_XMLNANOHTTPOPEN 1
#define HAVE_XMLNANOHTTPCLOSE 1
EOF
  # GLib's gi18n-lib.h includes libintl.h; messages stay untranslated.
  cat >"$build/include/libintl.h" <<'EOF'
#define gettext(msgid) (msgid)
#define dgettext(domain, msgid) (msgid)
#define dcgettext(domain, msgid, category) (msgid)
#define ngettext(one, many, n) ((n) == 1 ? (one) : (many))
#define dngettext(domain, one, many, n) ((n) == 1 ? (one) : (many))
#define textdomain(domain) (domain)
#define bindtextdomain(domain, dir) (dir)
#define bind_textdomain_codeset(domain, codeset) (codeset)
EOF
  local vips=$prefix/vips
  local flags=(-O2 -DLIBXML_STATIC -I"$build/include" -I"$src" -I"$src/gsf" -I"$vips/include/glib-2.0"
               -I"$vips/lib/glib-2.0/include" -I"$prefix/include/libxml2" -I"$prefix/include")
  local c name
  for c in "$src"/gsf/*.c; do
    name=$(basename "$c" .c)
    case $name in gsf-input-gio | gsf-output-gio) continue ;; esac
    if [ "$name" = gsf-input-stdio ]; then
      { echo '#include "fopen_utf8.h"'; sed 's/\bg_fopen (/quarnel_fopen_utf8 (/' "$c"; } >"$build/$name.c"
      grep -q quarnel_fopen_utf8 "$build/$name.c"
      c=$build/$name.c
    fi
    nice -n 19 "$triple"-gcc-posix "${flags[@]}" -I"$compat" -c "$c" -o "$build/$name.o"
  done
  nice -n 19 "$triple"-gcc-posix -O2 -c "$compat/fopen_utf8.c" -o "$build/fopen_utf8.o"
  "$triple"-gcc-ar-posix rcs "$build/libgsf-1.a" "$build/"*.o
  # Its DllMain is for a DLL build; in a program beside libwmf's it would be defined twice.
  "$triple"-objcopy -L DllMain "$build/libgsf-1.a"
  install -D -m644 "$build/libgsf-1.a" "$prefix/lib/libgsf-1.a"
  mkdir -p "$prefix/include/libgsf-1/gsf"
  install -m644 "$src"/gsf/*.h "$prefix/include/libgsf-1/gsf/"
  local version
  version=$(sed -n 's/^m4_define(\[libgsf_version_\(major\|minor\|micro\)\], *\[\([0-9]*\)\])/\2/p' "$src/configure.ac" |
    paste -sd.)
  # shellcheck disable=SC2016 # ${prefix} is pkg-config's, not the shell's
  printf 'prefix=%s\nName: libgsf-1\nDescription: Structured file library\nVersion: %s\nRequires: glib-2.0 gobject-2.0 libxml-2.0 zlib\nLibs: -L${prefix}/lib -lgsf-1\nCflags: -I${prefix}/include/libgsf-1\n' \
    "$prefix" "$version" >"$prefix/lib/pkgconfig/libgsf-1.pc"
}

# Prebuilt libvips-42.dll and its import library, the headers, and the C++ binding compiled here.
# The DLL uses the UCRT C library while MinGW's programs use msvcrt: memory vips hands out is freed
# with g_free only, never with free(). Only the headers of vips and GLib are taken: the others are
# of the copies of libpng, libjpeg, lcms2, FreeType and HarfBuzz built into the DLL, which it does
# not export, and would shadow the ones in the prefix. GLib and GObject come from the same DLL,
# whose import library their .pc files name.
# shellcheck disable=SC2016 # the ${...} in the .pc files are pkg-config's, not the shell's
build_libvips() {
  local src=$1 dest=$prefix/vips
  rm -rf "$dest" && mkdir -p "$dest/bin" "$dest/lib" "$dest/include"
  cp -a "$src/win32-x64/lib/"*.dll "$dest/bin/"
  cp -a "$src/win32-x64/lib/"*.lib "$dest/lib/"
  # Under the name MinGW's linker looks for with -lvips.
  cp -a "$dest/lib/libvips.lib" "$dest/lib/libvips.dll.a"
  # glibconfig.h describes this build of GLib, so it comes with the library rather than the headers.
  cp -a "$src/win32-x64/lib/glib-2.0" "$dest/lib/"
  cp -a "$src/dev/include/vips" "$src/dev/include/glib-2.0" "$dest/include/"
  local build=$cache/build/libvips
  mkdir -p "$build"
  local cpp
  # vips-operators.cpp is included by VImage.cpp, not compiled on its own.
  for cpp in "$src/dev/cplusplus/"V*.cpp; do
    nice -n 19 "$triple"-g++-posix -std=c++20 -O2 -c "$cpp" -o "$build/$(basename "$cpp" .cpp).o" \
      -I"$dest/include" -I"$dest/include/glib-2.0" -I"$dest/lib/glib-2.0/include"
  done
  "$triple"-gcc-ar-posix rcs "$dest/lib/libvips-cpp.a" "$build/"*.o
  local vips_version glib_version
  vips_version=$(sed -n 's/^ *"vips": "\(.*\)",*$/\1/p' "$src/win32-x64/versions.json")
  glib_version=$(sed -n 's/^ *"glib": "\(.*\)",*$/\1/p' "$src/win32-x64/versions.json")
  local pc=$prefix/lib/pkgconfig
  mkdir -p "$pc"
  local head='prefix=%s\nlibdir=${prefix}/lib\nincludedir=${prefix}/include\n'
  local glib_cflags='-I${includedir}/glib-2.0 -I${libdir}/glib-2.0/include'
  printf "$head"'Name: GLib\nDescription: GLib, as built into libvips\nVersion: %s\nLibs: -L${libdir} -lvips\nCflags: %s\n' \
    "$dest" "$glib_version" "$glib_cflags" >"$pc/glib-2.0.pc"
  printf "$head"'Name: GObject\nDescription: GObject, as built into libvips\nVersion: %s\nRequires: glib-2.0\nLibs: -L${libdir} -lvips\n' \
    "$dest" "$glib_version" >"$pc/gobject-2.0.pc"
  printf "$head"'Name: vips\nDescription: Image processing library\nVersion: %s\nRequires: gobject-2.0\nLibs: -L${libdir} -lvips\nCflags: -I${includedir}\n' \
    "$dest" "$vips_version" >"$pc/vips.pc"
  printf "$head"'Name: vips-cpp\nDescription: C++ API for vips\nVersion: %s\nRequires: vips\nLibs: -L${libdir} -lvips-cpp\n' \
    "$dest" "$vips_version" >"$pc/vips-cpp.pc"
  build_wine_prng_stub
}

# Wine 8.0 has no bcryptprimitives.dll, which this libvips imports for ProcessPrng. A stand-in that
# forwards to BCryptGenRandom lets the tests load it under Wine; it is never shipped.
build_wine_prng_stub() {
  local dir=$cache/wine-support
  mkdir -p "$dir"
  cat >"$dir/bcryptprimitives.c" <<'EOF'
#include <windows.h>
#include <bcrypt.h>
__declspec(dllexport) BOOL WINAPI ProcessPrng(PBYTE data, SIZE_T size) {
    return BCryptGenRandom(NULL, data, (ULONG)size, BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
}
EOF
  printf 'LIBRARY bcryptprimitives\nEXPORTS\nProcessPrng\n' >"$dir/bcryptprimitives.def"
  "$triple"-gcc-posix -shared -O2 -o "$dir/bcryptprimitives.dll" "$dir/bcryptprimitives.c" \
    "$dir/bcryptprimitives.def" -lbcrypt
}

# The tests' encoder: ffmpeg.exe and ffprobe.exe of the version Linux's tests use, with libx264 and
# the native AAC encoder as the shipped profiles need, in a folder that wine-run.sh puts on PATH, so
# that the program finds them as it finds a person's (beside itself, then on PATH). Never shipped.
# H.264 comes from x264's library alone, built for ffmpeg only.
build_x264() {
  local src=$1 build=$cache/build/x264
  mkdir -p "$build"
  (cd "$build" && CC="$triple-gcc-posix" "$src/configure" --host="$triple" --cross-prefix="$triple-" \
    --prefix="$prefix/x264" --enable-static --disable-cli --disable-opencl)
  nice -n 19 make -C "$build" -j"$jobs"
  make -C "$build" install-lib-static
}

# Static programs with nothing found on the build machine, threads as Windows has them, and of the
# components what the shipped profiles, the tests and the program's movie and sound types need:
# their demuxers and decoders, every filter (the command-line tool inserts some of its own), the
# lavfi test sources, and the encoders and muxers the profiles and the tests write.
build_ffmpeg() {
  local src=$1 build=$cache/build/ffmpeg dest=$cache/ffmpeg
  # rawvideo: what the lavfi sources hand over.
  local decoders=(h264 hevc mpeg4 mpeg1video mpeg2video msmpeg4v1 msmpeg4v2 msmpeg4v3 wmv1 wmv2 wmv3 vc1
                  vp8 vp9 flv h263 mjpeg aac aac_latm mp3 mp3float mp2 mp2float ac3 eac3 wmav1 wmav2
                  'pcm_*' rawvideo wrapped_avframe)
  local demuxers=(mov avi matroska asf mpegps mpegts flv wav mp3 aac ac3 h264 hevc m4v mpegvideo)
  mkdir -p "$build"
  (cd "$build" && PKG_CONFIG_LIBDIR="$prefix/x264/lib/pkgconfig" PKG_CONFIG_PATH="" "$src/configure" \
    --enable-cross-compile --target-os=mingw32 --arch=x86_64 --cross-prefix="$triple-" \
    --cc="$triple-gcc-posix" --cxx="$triple-g++-posix" --pkg-config=pkg-config --pkg-config-flags=--static \
    --prefix="$build/install" --disable-autodetect --enable-w32threads --enable-gpl --enable-libx264 \
    --disable-everything --disable-ffplay --disable-doc --disable-debug --extra-ldflags=-static \
    --enable-protocol=file,pipe --enable-indev=lavfi --enable-filters --enable-parsers --enable-bsfs \
    --enable-decoder="$(IFS=,; echo "${decoders[*]}")" --enable-demuxer="$(IFS=,; echo "${demuxers[*]}")" \
    --enable-encoder=libx264,aac,mpeg4,pcm_s16le --enable-muxer=mp4,ipod,mov,avi,matroska,wav,null)
  nice -n 19 make -C "$build" -j"$jobs"
  rm -rf "$dest" && mkdir -p "$dest"
  install -m755 "$build/ffmpeg.exe" "$build/ffprobe.exe" "$dest/"
}

# Core, Gui and Widgets with the Windows and offscreen platform plugins. Debian's own Qt of the same
# version supplies moc, rcc and uic (QT_HOST_PATH). Qt's bundled zlib, libpng, libjpeg, FreeType,
# HarfBuzz and PCRE2 keep it independent of the stages above. OpenGL stays on: 6.4's Windows
# platform plugin does not build without it.
build_qt6-base() {
  local src=$1 build=$cache/build/qt6-base
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix/qt6" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_tabletevent=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_testlib=OFF \
    -DFEATURE_printsupport=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF \
    -DFEATURE_system_jpeg=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF \
    -DFEATURE_icu=OFF
  nice -n 19 cmake --build "$build" --parallel "$jobs"
  cmake --install "$build"
}

# Qt's own Japanese texts (the file dialog's column names among them) where the Windows Qt looks for
# them (<its prefix>/translations); the installer ships them under share\quarnel\translations. The
# compiled catalogue of Debian's qt6-translations-l10n for the same Qt release: a .qm file is the
# same on every system. Japanese alone: the program speaks nothing else.
build_qt6-translations() {
  local src=$1
  install -D -m644 "$src/qtbase_ja.qm" "$prefix/qt6/translations/qtbase_ja.qm"
}

# The npm packages, fetched with npm itself and unpacked side by side: the Windows build with its
# headers, or (linux) the Linux build of the same version.
npm_source() {
  local dir=$cache/src/libvips-$libvips_npm_version names=(win32-x64 dev)
  if [ "${1:-}" = linux ]; then
    dir=$cache/src/libvips-linux-$libvips_npm_version names=(linux-x64)
  fi
  if [ ! -f "$dir/.unpacked" ]; then
    log "fetching @img/sharp-libvips-${names[*]} $libvips_npm_version"
    rm -rf "$dir" && mkdir -p "$dir"
    local name
    for name in "${names[@]}"; do
      (cd "$dir" && npm pack --silent "@img/sharp-libvips-$name@$libvips_npm_version" >/dev/null)
      mkdir -p "$dir/$name"
      tar -xzf "$dir"/img-sharp-libvips-"$name"-*.tgz -C "$dir/$name" --strip-components=1
    done
    touch "$dir/.unpacked"
  fi
  echo "$dir"
}

run_stage() {
  local stage=$1 src version
  if [ "$stage" = libvips ]; then
    version=$libvips_npm_version
    src=$(npm_source)
  elif [ "$stage" = iconv ]; then
    version=compat src=$compat
  elif [ "$stage" = qt6-translations ]; then
    version=$(dpkg-query -W -f='${Version}' qt6-translations-l10n) src=/usr/share/qt6/translations
  else
    debian_source "${stage_packages[$stage]:-$stage}"
    src=$src_dir version=$src_version
  fi
  local key stamp=$cache/stamps/$stage
  key=$(stage_key "$stage" "$version")
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$key" ]; then
    log "$stage $version: up to date"
    return 0
  fi
  mkdir -p "$cache/logs" "$cache/stamps"
  local logfile=$cache/logs/$stage.log start=$SECONDS
  log "$stage $version: building (log: $logfile)"
  rm -f "$stamp"
  # A rebuild starts from nothing: what an older recipe left in the tree must not leak into it.
  rm -rf "$cache/build/$stage"
  # In the background, not in the if: a condition would switch off errexit inside the recipe.
  "build_$stage" "$src" >"$logfile" 2>&1 &
  if ! wait $!; then
    log "$stage: FAILED, see $logfile"
    tail -n 20 "$logfile" >&2
    return 1
  fi
  echo "$key" >"$stamp"
  log "$stage $version: built in $((SECONDS - start)) s"
  echo "$stage $version $((SECONDS - start))" >>"$cache/logs/timings.txt"
}

# The programs and the installer in $build (configured whole, so that test-windows.sh builds the
# tests in the same tree).
# The compiler cache when there is one, hashing paths relative to the checkout (as build.sh does).
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
fi

build_programs() {
  log "programs: configuring $build"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_PREFIX_PATH="$prefix/qt6;$prefix" "${launcher[@]}" >"$cache/logs/programs-configure.log"
  nice -n 19 cmake --build "$build" --parallel "$jobs" --target quarnel quarnel-cli quarnel_installer
  log "programs: $build/app/quarnel.exe, $build/cli/quarnel-cli.exe, $build/quarnel-*-setup.exe"
}

# A Linux quarnel-cli on the npm registry's Linux build of this libvips, in $build-linux-reference:
# the Windows outputs are compared with it byte for byte (the Linux package uses Debian's libvips,
# a different version). Its libvips sits in the cache, found through the program's run path.
build_linux_reference() {
  local src reference=$cache/linux-reference
  src=$(npm_source linux)
  rm -rf "$reference" && mkdir -p "$reference/lib/pkgconfig"
  cp -a "$prefix/vips/include" "$reference/include"
  cp -a "$src/linux-x64/lib/glib-2.0" "$reference/lib/"
  cp -a "$src/linux-x64/lib/"libvips-cpp.so.* "$reference/lib/"
  local so
  so=$(basename "$(find "$reference/lib" -maxdepth 1 -name 'libvips-cpp.so.*' | head -n1)")
  ln -s "$so" "$reference/lib/libvips-cpp.so"
  local name
  # The one library holds vips, its C++ binding and GLib.
  for name in vips-cpp vips glib-2.0 gobject-2.0; do
    # shellcheck disable=SC2016 # ${prefix} is pkg-config's, not the shell's
    printf 'prefix=%s\nName: %s\nDescription: from the npm build of libvips\nVersion: %s\nLibs: -L${prefix}/lib -Wl,-rpath,${prefix}/lib -lvips-cpp\nCflags: -I${prefix}/include -I${prefix}/include/glib-2.0 -I${prefix}/lib/glib-2.0/include\n' \
      "$reference" "$name" "$libvips_npm_version" >"$reference/lib/pkgconfig/$name.pc"
  done
  log "linux-reference: building $build-linux-reference"
  PKG_CONFIG_PATH=$reference/lib/pkgconfig cmake -S "$root" -B "$build-linux-reference" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARNEL_BUILD_GUI=OFF "${launcher[@]}" >"$cache/logs/linux-reference.log"
  nice -n 19 cmake --build "$build-linux-reference" --parallel "$jobs" --target quarnel-cli
}

main() {
  local stages=("$@") programs=0 reference=0
  if ((${#stages[@]} == 0)); then
    stages=("${all_stages[@]}") programs=1
  elif [ "${stages[*]}" = linux-reference ]; then
    stages=(libvips) reference=1
  fi
  for s in "${stages[@]}"; do
    [[ " ${all_stages[*]} " == *" $s "* ]] || { log "unknown stage $s (stages: ${all_stages[*]})"; exit 2; }
  done
  install_host_packages
  mkdir -p "$cache/src" "$cache/logs" "$prefix"
  prepare_apt_sources "${debian_releases[0]}"
  for s in "${stages[@]}"; do
    run_stage "$s"
  done
  if ((programs)); then
    build_programs
  fi
  if ((reference)); then
    build_linux_reference
  fi
}

# On one line: bash reads a script as it runs, and an edit of this file during a long build would
# otherwise be read from the middle.
main "$@"; exit
