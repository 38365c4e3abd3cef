#!/usr/bin/env bash
# Builds the Debian package in Release mode in build-release/ and prints its path.
#   bash scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh >&2
build=build-release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVANE_TESTS=OFF \
  -DKORVANE_SANITIZE=OFF -DKORVANE_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr >&2
cmake --build "$build" -j "$(nproc)" >&2
rm -f "$build"/korvane_*.deb
(cd "$build" && cpack -G DEB >&2)
ls "$PWD/$build"/korvane_*.deb
