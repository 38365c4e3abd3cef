#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian 12 packages the build, the tests and the run command need.
# Quick when everything is already there; needs root only when something is missing.
#   bash scripts/install-deps.sh [--fuzz | --windows]
#     --fuzz: also what the fuzz targets need; --windows: also the Windows build's
#     cross compilers, Wine (wine64 and the wine launcher, which is only recommended),
#     zip, xwininfo, dpkg-source, and for the icon and the installer rsvg-convert,
#     icotool and wrestool, wixl and msibuild, and ss for the Wine test's free TCP port
set -euo pipefail

# qt6-serialport-dev lists the serial ports; help2man writes the man pages; dpkg-dev and
# file let cpack compute the package's dependencies; desktop-file-utils checks the menu
# entry; ser2net serves the simulator through RFC 2217 and raw TCP in the network port
# tests; bash-completion runs korvanectl's completion in its test; lintian and appstream
# check the package.
packages=(cmake ninja-build g++ clang-format qt6-base-dev qt6-serialport-dev libgl-dev fonts-wqy-zenhei xvfb xauth help2man dpkg-dev
  file desktop-file-utils ser2net bash-completion lintian appstream)
# The fuzz build (scripts/fuzz.sh, or KORVANE_FUZZ=1) needs clang and its libFuzzer runtime.
if [[ "${1:-}" == --fuzz || "${KORVANE_FUZZ:-0}" == 1 ]]; then
  packages+=(clang libclang-rt-14-dev)
fi
if [[ "${1:-}" == --windows ]]; then
  packages+=(g++-mingw-w64-x86-64-posix wine64 wine zip dpkg-dev x11-utils librsvg2-bin icoutils
    wixl msitools iproute2)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
((${#missing[@]} == 0)) && exit 0

if [[ $(id -u) -ne 0 ]]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run as root, or: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
