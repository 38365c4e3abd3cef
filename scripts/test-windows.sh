#!/usr/bin/env bash
# The Windows build's tests under Wine, after scripts/build-windows.sh:
#  1. the test programs that need neither simulator nor display (codecs, command
#     catalogue, files, code page 936, the INI layer, the configuration model);
#  2. korvanectl.exe against korvane-sim on a pseudo-terminal that the Wine prefix sees
#     as COM12: identify and read must print what the Linux korvanectl prints;
#  3. korvane.exe opens its window on an X server (Xvfb).
#   bash scripts/test-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh --windows
build=build-windows
export WINEPREFIX=$root/$build/wine
wine_run=$root/scripts/wine-run.sh

"$wine_run" cmd /c exit 0 # makes the prefix once, before tests run side by side
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

# The Linux simulator and korvanectl, to compare with.
if [[ ! -f build/build.ninja ]]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVANE_WERROR=ON >/dev/null
fi
cmake --build build --target korvane-sim korvanectl >/dev/null

work=$(mktemp -d)
sim_pid=
cleanup() {
  [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

link=$WINEPREFIX/dosdevices/com12
rm -f "$link"
build/sim/korvane-sim --link "$link" >"$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do
  [[ -L $link ]] && break
  sleep 0.1
done
[[ -L $link ]] || { echo "korvane-sim made no pseudo-terminal" >&2; exit 1; }
pty=$(sed -n 's/^PTY //p' "$work/sim.out")

failed=0
for command in identify read; do
  build/cli/korvanectl --port "$pty" "$command" >"$work/linux.txt" 2>&1 || true
  "$wine_run" "$build/cli/korvanectl.exe" --port COM12 "$command" >"$work/windows.txt" 2>&1 || true
  # The same text but for the port's name and Windows' line ends.
  sed -i "s|$pty|PORT|g" "$work/linux.txt"
  sed -i 's/\r$//; s/COM12/PORT/g' "$work/windows.txt"
  if cmp -s "$work/linux.txt" "$work/windows.txt" && [[ -s $work/linux.txt ]]; then
    echo "korvanectl.exe $command over COM12: same as on Linux ($(wc -l <"$work/linux.txt") lines)"
  else
    echo "korvanectl.exe $command over COM12 differs from Linux:" >&2
    diff "$work/linux.txt" "$work/windows.txt" >&2 || true
    failed=1
  fi
done

# The window: its title appears on the X server within a minute. Wine's server, still
# running without a display from the programs above, must end first.
wineserver -k 2>/dev/null || true
wineserver -w
cd "$work"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  "$1" "$2/app/korvane.exe" >/dev/null 2>&1 &
  for _ in $(seq 120); do
    if xwininfo -root -tree | grep -q "\"Korvane\""; then echo "korvane.exe opened its window"; exit 0; fi
    sleep 0.5
  done
  echo "korvane.exe showed no window" >&2
  exit 1' _ "$wine_run" "$root/$build" || failed=1
wineserver -k 2>/dev/null || true
exit "$failed"
