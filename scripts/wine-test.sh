#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs one Qt Test program under Wine for CTest (the Windows build's test emulator).
# Under Wine a test's own output does not reach the pipe, so it writes a log file,
# which is printed here.
#   scripts/wine-test.sh TEST.exe [ARGS]...
set -uo pipefail
log=$(mktemp --suffix=.txt)
"$(dirname "$0")/wine-run.sh" "$@" -o "$(printf 'Z:%s' "${log//\//\\}"),txt"
status=$?
cat "$log"
rm -f "$log"
exit "$status"
