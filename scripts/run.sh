#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the program against the device simulator: builds if needed, starts korvane-sim
# on a pseudo-terminal, prepares run/ with a KORVANE.INI naming that port and the
# example files, starts the window there, and stops the simulator when it closes.
#   bash scripts/run.sh [korvane-sim options, e.g. --model KORVANEA/B]
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVANE_WERROR=ON >/dev/null
cmake --build build --target korvane korvane-sim >/dev/null

mkdir -p run
cd run
sim_out=$(mktemp)
"$top/build/sim/korvane-sim" --log sim.log "$@" >"$sim_out" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; rm -f "$sim_out"' EXIT

for _ in $(seq 50); do
  grep -q '^PTY ' "$sim_out" && break
  sleep 0.1
done
pty=$(sed -n 's/^PTY //p' "$sim_out" | head -n 1)
[[ -n "$pty" ]] || { echo "korvane-sim did not start" >&2; exit 1; }

channel_file=""
[[ -f "$top/examples/channels.chn" ]] && channel_file="$top/examples/channels.chn"
# Keep the operator's other settings; only the port and the example files are set here.
python3 - "$pty" "$channel_file" <<'PY'
import sys, os, re
pty, chn = sys.argv[1], sys.argv[2]
keys = {"CommName": pty, "BaudRate": "9600", "ByteSize": "3", "Parity": "0", "StopBits": "0"}
if chn:
    keys["ChannelFile"] = chn
lines = open("KORVANE.INI", encoding="gbk").read().splitlines() if os.path.exists("KORVANE.INI") else []
if not any(l.strip().lower() == "[setting]" for l in lines):
    lines.append("[Setting]")
out, in_setting, seen = [], False, set()
for l in lines:
    s = l.strip()
    if s.startswith("["):
        if in_setting:
            out += [f"{k}={v}" for k, v in keys.items() if k.lower() not in seen]
            seen |= {k.lower() for k in keys}
        in_setting = s.lower() == "[setting]"
    elif in_setting and "=" in s and s.split("=", 1)[0].strip().lower() in {k.lower() for k in keys}:
        k = next(k for k in keys if k.lower() == s.split("=", 1)[0].strip().lower())
        out.append(f"{k}={keys[k]}")
        seen.add(k.lower())
        continue
    out.append(l)
if in_setting:
    out += [f"{k}={v}" for k, v in keys.items() if k.lower() not in seen]
open("KORVANE.INI", "w", encoding="gbk", newline="\r\n").write("\n".join(out) + "\n")
PY

if [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]] && command -v xvfb-run >/dev/null; then
  echo "No display: running under xvfb-run (the window is not visible; set DISPLAY to see it)." >&2
  xvfb-run -a "$top/build/app/korvane"
else
  "$top/build/app/korvane"
fi
