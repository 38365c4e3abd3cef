#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Cross-builds Qt Core, Gui, Network, Widgets, Test and the Windows platform plugin for 64-bit
# Windows from Debian's qt6-base source (the same 6.4.2 as the host Qt, whose tools it
# uses), with MinGW-w64. The result is cached and reused:
#   ${KORVANE_CACHE:-~/.cache/korvane}/qt-6.4.2-mingw
# Prints the install folder on standard output; everything else goes to standard error.
set -euo pipefail
exec 3>&1 1>&2
here=$(cd "$(dirname "$0")/.." && pwd)
cache=${KORVANE_CACHE:-$HOME/.cache/korvane}
prefix=$cache/qt-6.4.2-mingw
# The cache holds only a build made by this very script and toolchain.
recipe=$(cat "$0" "$here/packaging/windows/mingw-w64-x86_64.cmake" | sha1sum | cut -c1-40)
stamp=$prefix/.korvane-recipe
if [[ -f $stamp && $(cat "$stamp") == "$recipe" ]]; then
  echo "$prefix" >&3
  exit 0
fi

src=$cache/src
mkdir -p "$src"
cd "$src"
if [[ ! -f qt6-base/configure ]]; then
  rm -rf qt6-base
  if ! apt-cache showsrc qt6-base 2>/dev/null | grep -q '^Version:'; then
    # Debian's source lists, beside its binary ones: the same mirrors and suites.
    if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        >/etc/apt/sources.list.d/korvane-deb-src.sources
    else
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >/etc/apt/sources.list.d/korvane-deb-src.list
    fi
    apt-get update -qq
  fi
  # Debian's source for the host Qt's own version, with Debian's patches applied.
  version=$(dpkg-query -W -f '${source:Version}' qt6-base-dev)
  apt-get source -q --download-only "qt6-base=$version"
  dpkg-source -x "qt6-base_${version#*:}.dsc" qt6-base
fi

build=$src/qt6-base-build
rm -rf "$build" "$prefix"
mkdir -p "$build"
cd "$build"
start=$(date +%s)
# Only what the programs and their tests use: Network without TLS (plain TCP for the
# network serial ports); no SQL, D-Bus, OpenGL, printing
# or XML; Qt's own copies of zlib, PCRE2, libpng, FreeType and HarfBuzz; no ICU (the
# code page 936 helpers use the Windows code page functions there). No tablet events:
# Debian's source leaves out the Wintab header they need.
"$src/qt6-base/configure" -prefix "$prefix" -release -opensource -confirm-license \
  -qt-host-path /usr -xplatform win32-g++ -nomake examples -nomake tests \
  -no-opengl -no-dbus -no-icu -no-openssl -no-feature-sql \
  -no-feature-printsupport -no-feature-xml -no-feature-concurrent -no-feature-vulkan \
  -no-feature-imageformat_jpeg -no-libjpeg \
  -qt-zlib -qt-pcre -qt-libpng -qt-freetype -qt-harfbuzz -no-feature-zstd \
  -no-feature-testlib_selfcover -no-feature-tabletevent \
  -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/packaging/windows/mingw-w64-x86_64.cmake" \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DFEATURE_pkg_config=OFF
cmake --build . --parallel "${KORVANE_JOBS:-$(nproc)}"
cmake --install .
echo "Qt for Windows built in $(( $(date +%s) - start )) s" >&2
echo "$recipe" >"$stamp"
echo "$prefix" >&3
