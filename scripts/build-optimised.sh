#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds everything, tests included, with optimisation and debug information
# (RelWithDebInfo: -O2 -g, as distributions build) and warnings as errors, in
# build-relwithdebinfo/. The optimiser's own warnings appear only in such a build.
#   bash scripts/build-optimised.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
build=build-relwithdebinfo
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
echo "$build: built"
