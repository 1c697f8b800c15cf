#!/usr/bin/env bash
# Builds and runs the tests under a sanitizer, in a build folder of its own:
#
#   tests/sanitizers/run.sh address   # build-asan: every suite, ASan + UBSan
#   tests/sanitizers/run.sh thread    # build-tsan: the unit and end-to-end tests, TSan
#
# Every instrumented process (the test programs, and the brains and arena
# they start) writes its sanitizer reports into one folder; the run fails
# when any report appears there, also from a child process whose exit code
# no test looks at.
#
# Leaks: LeakSanitizer checks the test programs at their exit. The brain
# itself always ends through _Exit (its worker may still be computing), which
# runs no exit handler, so it is never leak-checked; the fuzzing harnesses
# check the code behind it for leaks input by input.
set -euo pipefail
cd "$(dirname "$0")/../.."

kind=${1:?address or thread}
case "$kind" in
  address) build=build-asan; targets=(); labels=() ;;
  # Left out: the arena's tests and the board page's game against the real
  # brain (under TSan the brain's first move, filling 200 MB of instrumented
  # tables, takes longer than their turn limit); the page's other API tests
  # (scripted brains) run, checking the server's threads. TSan makes the brain
  # several times slower and some protocol tests hold it to tight times: a
  # failed test is run again, up to 3 times; reports from every attempt still
  # fail the run. The unit tests include parallel decisions in one process.
  thread)
    build=build-tsan
    targets=(--target velmaro-e2e-tests velmaro-unit-tests)
    labels=(-L 'e2e|unit' -E '^Arena|^ServeBrain\.' --repeat until-pass:3)
    ;;
  *) echo "usage: $0 address|thread" >&2; exit 2 ;;
esac

[ -f "$build/CMakeCache.txt" ] ||
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMARO_SANITIZE="$kind" >/dev/null
cmake --build "$build" -j"${JOBS:-2}" "${targets[@]}"

reports="$PWD/$build/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"
# allocator_may_return_null: an engine that cannot be allocated is reported
# by the brain itself, not by the sanitizer.
export ASAN_OPTIONS="log_path=$reports/asan:detect_leaks=1:allocator_may_return_null=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="log_path=$reports/ubsan:print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="log_path=$reports/tsan:halt_on_error=1:second_deadlock_stack=1"

status=0
(cd "$build" && ctest --output-on-failure -j"${JOBS:-2}" "${labels[@]}") || status=$?

if compgen -G "$reports/*" >/dev/null; then
  echo "sanitizer reports:"
  tail -v -n +1 "$reports"/*  # each after a line with its name
  exit 1
fi
exit "$status"
