#!/usr/bin/env bash
# A match cut into shards and played by GNU parallel equals the match played at once, game for
# game:  tests/shards/parallel_check.sh ARENA BRAIN OPENINGS
# The real brain against itself, each side held to a node budget (its moves do not depend on the
# machine's load), every game with fresh brains (its game memory does not depend on the games
# before). GNU parallel plays shards 1/3, 2/3 and 3/3 at once here, as it would on three hosts
# with --sshlogin; `velmaro-arena merge` adds them up into the whole match's results file, byte for
# byte, and summary. Both wall times are printed. Exit code 77 (skipped) without GNU parallel.
set -euo pipefail

arena=$(realpath "${1:?arena}")
brain=$(realpath "${2:?brain}")
openings=$(realpath "${3:?openings}")
shards=3

if ! parallel --version 2>/dev/null | grep -q "GNU parallel"; then
  echo "skipped: GNU parallel is not installed (Debian package parallel)"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Small board, small tables (quick to start for every game), budgets the brain spends in a few
# milliseconds, and a turn time far above them.
match=(--engine "$brain" --engine-info "max_node 3000"
       --engine "$brain" --engine-info "max_node 6000"
       --size 9 --turn 5000 --memory 30000000 --openings "$openings" --games 24)

ms() { echo $(( $(date +%s%N) / 1000000 )); }

start=$(ms)
"$arena" "${match[@]}" --fresh --results whole.json --folder whole > whole.txt
whole_ms=$(( $(ms) - start ))

# -q keeps each argument one word (the engine-info lines hold blanks).
start=$(ms)
parallel --will-cite -q --jobs "$shards" --halt now,fail=1 \
  "$arena" "${match[@]}" --shard "{}/$shards" --results "shard{}.json" --folder "shard{}" \
  ::: $(seq 1 "$shards") > shards.txt
shards_ms=$(( $(ms) - start ))

"$arena" merge shard*.json --results merged.json > merged.txt

status=0
fail() { echo "FAIL: $*"; status=1; }
diff whole.json merged.json || fail "the merged shards differ from the whole match (above)"
# The summary: from the first "Engine 1:" line on, in both.
diff <(sed -n '/^Engine 1: /,$p' whole.txt) <(sed -n '/^Engine 1: /,$p' merged.txt) ||
  fail "the merge prints another summary than the whole match"
games=$(grep -c '"game":' whole.json)
[ "$games" -eq 24 ] || fail "the whole match has $games games, not 24"

cat merged.txt
echo "whole match: $whole_ms ms; $shards shards with GNU parallel: $shards_ms ms"
[ "$status" -eq 0 ] && echo "the merged shards equal the whole match, game for game"
exit "$status"
