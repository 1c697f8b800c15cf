#!/usr/bin/env bash
# Runs the search bench and compares its signature line (the total nodes of
# its fixed-depth searches, which depend only on the engine's code) with the
# one recorded in signature.txt beside this script.
#   tools/bench/check_signature.sh [build-folder]   (default: build)
# A deliberate change of the search changes the signature: record the new
# value in signature.txt in the same commit.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-build}"
bench="$build/velmaro-bench"
if [ ! -x "$bench" ]; then
  echo "check_signature: $bench not found; build the velmaro-bench target first" >&2
  exit 2
fi
expected="$(tr -d '[:space:]' < "$here/signature.txt")"
output="$("$bench" search)"
echo "$output"
actual="$(echo "$output" | sed -n 's/^signature: //p')"
if [ "$actual" != "$expected" ]; then
  echo "check_signature: signature ${actual:-missing}, expected $expected" >&2
  exit 1
fi
echo "check_signature: signature $actual matches"
