#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, ASan + UBSan) and runs each for a
# while, one after the other:
#
#   tests/fuzz/run.sh [SECONDS] [HARNESS...]
#
# SECONDS per harness (default 60); harnesses: protocol, memo_file, positions,
# http_request (default all), each with tests/fuzz/<harness>.dict if there is
# one. The seed corpus (tests/fuzz/corpus/<harness>) is never written: new
# inputs go to a scratch corpus, a crashing input to
# build-fuzz/findings/<harness>/crash-* (add it to the seed corpus once the
# fault is fixed). Exits non-zero on the first harness that finds a fault.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-60}
shift || true
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(protocol memo_file positions http_request)
build=${FUZZ_BUILD:-build-fuzz}

[ -f "$build/CMakeCache.txt" ] ||
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DVELMARO_FUZZ=ON -DVELMARO_TESTS=OFF >/dev/null
targets=()
for h in "${harnesses[@]}"; do targets+=(--target "velmaro-fuzz-$h"); done
cmake --build "$build" -j"${JOBS:-2}" "${targets[@]}"

# Leaks count as faults; a report stops the run (libFuzzer's default for
# ASan). The engine object is 200 MB: allow a few of them.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

for h in "${harnesses[@]}"; do
  scratch=$(mktemp -d)
  findings="$build/findings/$h"
  mkdir -p "$findings"
  echo "== fuzzing $h for $seconds s"
  log="$findings/last-run.log"
  status=0
  dict=()
  [ -f "tests/fuzz/$h.dict" ] && dict=(-dict="tests/fuzz/$h.dict")
  "$build/tests/fuzz/velmaro-fuzz-$h" -max_total_time="$seconds" -rss_limit_mb=4096 \
    -timeout=60 -print_final_stats=1 -artifact_prefix="$findings/" "${dict[@]}" \
    "$scratch" "tests/fuzz/corpus/$h" >"$log" 2>&1 || status=$?
  rm -rf "$scratch"
  # The last status line (executions, coverage) and the final statistics.
  grep -E '^#[0-9]+' "$log" | tail -1 || true
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
  if [ "$status" -ne 0 ]; then
    echo "fuzzing $h found a fault (exit $status); the log: $log"
    tail -60 "$log"
    exit 1
  fi
done
