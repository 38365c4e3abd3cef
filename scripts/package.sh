#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package in Release mode in build-release/ and prints its path.
#   bash scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh >&2
build=build-release
# The hardening of Debian's own packages (fortify, stack protector, relro, bindnow), as
# dpkg-buildflags gives it; CMake reads no CPPFLAGS, so they join the compile flags.
# Warnings stay warnings, as for any packager's build.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVANE_TESTS=OFF \
  -DKORVANE_SANITIZE=OFF -DKORVANE_WERROR=OFF -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >&2
cmake --build "$build" -j "$(nproc)" >&2
rm -f "$build"/korvane_*.deb
(cd "$build" && cpack -G DEB >&2)
ls "$PWD/$build"/korvane_*.deb
