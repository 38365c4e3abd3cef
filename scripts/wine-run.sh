#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs one Windows program under Wine with the Qt and MinGW DLLs on its path, in the
# prefix ${WINEPREFIX:-build-windows/wine}; the prefix is made on first use.
#   scripts/wine-run.sh PROGRAM.exe [ARGS]...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
qt=${KORVANE_CACHE:-$HOME/.cache/korvane}/qt-6.4.2-mingw
export WINEPREFIX=${WINEPREFIX:-$root/build-windows/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Wine shows the host's root as drive Z:.
windows_path() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
gcc_dll=$(ls -d /usr/lib/gcc/x86_64-w64-mingw32/*-posix | head -n 1)
WINEPATH="$(windows_path "$qt/bin");$(windows_path "$gcc_dll")"
export WINEPATH="$WINEPATH;$(windows_path /usr/x86_64-w64-mingw32/lib)"
mkdir -p "$WINEPREFIX"
(
  flock 9
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    wineboot --init >/dev/null 2>&1
    wineserver -w
  fi
) 9>"$WINEPREFIX.lock"
exec wine "$@"
