#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing (as root, on Debian 12), builds and runs every test.
#   bash scripts/test.sh                   normal build in build/
#   KORVANE_SANITIZE=1 bash scripts/test.sh  ASan+UBSan build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

if [[ "${KORVANE_SANITIZE:-0}" == 1 ]]; then
  build=build-asan
  san=ON
else
  build=build
  san=OFF
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE="$san" \
  -DKORVANE_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
