#!/usr/bin/env bash
# Search speed of two or more builds, measured in turns so that a busy
# machine slows them alike:
#   tools/bench/compare_speed.sh RUNS BENCH1 BENCH2 ...
# Each run of each velmaro-bench does its search suite with
# VELMARO_BENCH_PASSES=3 (its median pass: the first pass also pays for
# mapping the tables). Prints, per build, the median over the runs of the
# elapsed and the processor-time speed (nodes/s), then the ratios to the
# first build.
set -euo pipefail
if [ $# -lt 3 ]; then
  echo "usage: $0 RUNS BENCH1 BENCH2 ..." >&2
  exit 2
fi
runs="$1"
shift
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
for ((r = 0; r < runs; r++)); do
  i=0
  for bench in "$@"; do
    VELMARO_BENCH_PASSES=3 "$bench" search |
      awk '/^search speed:/ {e = $3} /^search speed \(processor time\):/ {c = $5} END {print e, c}' \
        >> "$tmp/$i"
    i=$((i + 1))
  done
done
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
i=0
for bench in "$@"; do
  elapsed="$(cut -d' ' -f1 "$tmp/$i" | median)"
  cpu="$(cut -d' ' -f2 "$tmp/$i" | median)"
  if [ "$i" -eq 0 ]; then
    base_elapsed="$elapsed"
    base_cpu="$cpu"
  fi
  awk -v b="$bench" -v e="$elapsed" -v c="$cpu" -v be="$base_elapsed" -v bc="$base_cpu" -v n="$runs" \
    'BEGIN {printf "%s: median of %d runs: %.0f nodes/s elapsed (x%.2f), %.0f nodes/s processor time (x%.2f)\n", b, n, e, e / be, c, c / bc}'
  i=$((i + 1))
done
