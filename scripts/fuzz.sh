#!/usr/bin/env bash
# Builds the fuzz targets in build-fuzz/ (clang, libFuzzer, ASan, UBSan) and runs each
# for SECONDS (default 60), one after the other, from its seed corpus in fuzz/corpus/.
# Prints one row per target; exits 1 when any target found a crash, leak, timeout or
# out-of-memory (its reproducer is left in build-fuzz/findings/<target>/).
#   bash scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
[[ $seconds =~ ^[0-9]+$ && $seconds -gt 0 ]] || { echo "usage: $0 [SECONDS]" >&2; exit 2; }

bash scripts/install-deps.sh --fuzz
build=build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVANE_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j 2 >/dev/null

targets=$(sed -n 's/^korvane_add_fuzzer(\([a-z_]*\) .*/\1/p' fuzz/CMakeLists.txt)
work=$build/fuzz-work
rm -rf "$work" && mkdir -p "$work" "$build/findings"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# An input under 64 KB that takes over a second is a fault, and so is one that needs
# more than 2 GB.
failed=0
rows=()
for t in $targets; do
  corpus=$work/corpus-$t
  mkdir -p "$corpus" "$build/findings/$t"
  args=(-max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -max_len=65536
    -print_final_stats=1 -artifact_prefix="$build/findings/$t/")
  [[ -f fuzz/dict/$t.dict ]] && args+=(-dict="fuzz/dict/$t.dict")
  seeds=()
  [[ -d fuzz/corpus/$t ]] && seeds=("fuzz/corpus/$t")
  set +e
  "$build/fuzz/$t" "${args[@]}" "$corpus" "${seeds[@]}" >"$work/$t.log" 2>&1
  status=$?
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$t.log" | tail -n 1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/$t.log" | tail -n 1)
  cov_start=$(grep -m1 -o 'INITED cov: [0-9]*' "$work/$t.log" | grep -o '[0-9]*$' || true)
  cov_end=$(grep -o 'cov: [0-9]*' "$work/$t.log" | tail -n 1 | grep -o '[0-9]*$' || true)
  new=$(( ${cov_end:-0} - ${cov_start:-0} ))
  result=ok
  if ((status != 0)); then
    failed=1
    if grep -q 'ERROR: libFuzzer: timeout' "$work/$t.log"; then result=timeout
    elif grep -q 'out-of-memory' "$work/$t.log"; then result=out-of-memory
    elif grep -q 'LeakSanitizer' "$work/$t.log"; then result=leak
    else result=crash; fi
    result="$result (log $work/$t.log)"
  fi
  rows+=("$(printf '%-26s %12s %10s %8s  %s' "$t" "${runs:-?}" "${speed:-?}" "+$new" "$result")")
done

printf '%-26s %12s %10s %8s  %s\n' target executions exec/s "new cov" result
printf '%s\n' "${rows[@]}"
exit "$failed"
