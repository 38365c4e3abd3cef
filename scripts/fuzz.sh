#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the fuzz targets in build-fuzz/ (clang, libFuzzer, ASan, UBSan) and runs each
# for SECONDS (default 60), one after the other, from its seed corpus in fuzz/corpus/.
# With RUNS, a target also stops after that many executions, whichever comes first.
# Prints one row per target; exits 1 when any target found a crash, leak, timeout or
# out-of-memory (its reproducer is left in build-fuzz/findings/<target>/).
#   bash scripts/fuzz.sh [SECONDS [RUNS]]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
runs_limit=${2:--1}
[[ $seconds =~ ^[0-9]+$ && $seconds -gt 0 && ($runs_limit == -1 || $runs_limit =~ ^[0-9]+$) ]] ||
  { echo "usage: $0 [SECONDS [RUNS]]" >&2; exit 2; }

bash scripts/install-deps.sh --fuzz
build=build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVANE_FUZZ=ON -DKORVANE_WERROR=ON \
  -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j 2 >/dev/null

targets=$(sed -n 's/^korvane_add_fuzzer(\([a-z0-9_]*\) .*/\1/p' fuzz/CMakeLists.txt)
work=$build/fuzz-work
rm -rf "$work" && mkdir -p "$work" "$build/findings"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# An input under 64 KB that takes over a second is a fault, and so is one that needs
# more than 2 GB.
run_target() {
  local t=$1 corpus=$work/corpus-$1 log=$work/$1.log status
  mkdir -p "$corpus" "$build/findings/$t"
  local args=(-max_total_time="$seconds" -runs="$runs_limit" -timeout=1 -rss_limit_mb=2048
    -max_len=65536 -print_final_stats=1 -artifact_prefix="$build/findings/$t/")
  [[ -f fuzz/dict/$t.dict ]] && args+=(-dict="fuzz/dict/$t.dict")
  local seeds=()
  [[ -d fuzz/corpus/$t ]] && seeds=("fuzz/corpus/$t")
  local began=$SECONDS
  set +e
  "$build/fuzz/$t" "${args[@]}" "$corpus" "${seeds[@]}" >"$log" 2>&1
  status=$?
  set -e
  local runs speed cov_start cov_end result=ok
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  cov_start=$(grep -m1 -o 'INITED cov: [0-9]*' "$log" | grep -o '[0-9]*$' || true)
  cov_end=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | grep -o '[0-9]*$' || true)
  if ((status != 0)); then
    if grep -q 'ERROR: libFuzzer: timeout' "$log"; then result=timeout
    elif grep -q 'out-of-memory' "$log"; then result=out-of-memory
    elif grep -q 'LeakSanitizer' "$log"; then result=leak
    else result=crash; fi
    result="$result (log $log)"
  fi
  printf '%-26s %12s %10s %8s %7s  %s\n' "$t" "${runs:-?}" "${speed:-?}" \
    "+$(( ${cov_end:-0} - ${cov_start:-0} ))" "$((SECONDS - began))" "$result" >"$work/$t.row"
}

# KORVANE_FUZZ_JOBS targets run side by side (default 1).
parallel=${KORVANE_FUZZ_JOBS:-1}
for t in $targets; do
  while (($(jobs -rp | wc -l) >= parallel)); do wait -n || true; done
  run_target "$t" &
done
wait

printf '%-26s %12s %10s %8s %7s  %s\n' target executions exec/s "new cov" seconds result
failed=0
for t in $targets; do
  cat "$work/$t.row"
  grep -q '  ok$' "$work/$t.row" || failed=1
done
exit "$failed"
