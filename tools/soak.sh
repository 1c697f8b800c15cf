#!/usr/bin/env bash
# Soak test of the brain, run by hand (it takes hours): velmaro against itself
# in velmaro-arena, from the shipped openings, on boards of 7, 10, 15 and 20.
#
#   tools/soak.sh [BUILD_FOLDER]          (default build)
#   tools/soak.sh --check OUT             (the checks again, on a soak's output,
#                                          into OUT/summary-check.txt)
#
# Phases: FAST_GAMES games with FAST_MS turns, then SLOW_GAMES with SLOW_MS,
# each split evenly over the SIZES (defaults 500 x 200 ms, 100 x 1000 ms,
# sizes "7 10 15 20"). Everything goes to OUT (default a new folder under
# /tmp): the arena logs, the brains' data folders and an RSS sample file per
# match. At the end it checks, and prints, per match and in total:
#   - forfeits: every game must end by five in a row or a full board;
#   - error lines: the brains' logs must be empty, and no "Error" line may
#     reach the arena's output;
#   - leaks: per brain process, the peak resident memory (VmRSS) during its
#     last game must be within 1% of the peak during the first game after its
#     first one. Peaks, because a brain frees its player at END: a sample
#     taken while it does so reads low and says nothing about a leak;
#   - time: the slowest reply of all games as a fraction of the turn limit,
#     the first move (player creation, 200 MB of tables) included; it must
#     stay below 1.0. Also shown: the slowest reply apart from each brain's
#     first one, and how many replies reached the turn limit.
# Exit code 0 when every check passed. The checks read only the files in OUT,
# so --check can repeat them (with the same phase and size settings) without
# playing again.
set -uo pipefail
cd "$(dirname "$0")/.."

checkOnly=0
if [ "${1:-}" = --check ]; then
  checkOnly=1
  OUT=${2:?usage: tools/soak.sh --check OUT}
  set -- build
fi
build=${1:-build}
FAST_GAMES=${FAST_GAMES:-500}
FAST_MS=${FAST_MS:-200}
SLOW_GAMES=${SLOW_GAMES:-100}
SLOW_MS=${SLOW_MS:-1000}
SIZES=${SIZES:-"7 10 15 20"}
OUT=${OUT:-$(mktemp -d /tmp/velmaro-soak-XXXXXX)}
arena="$build/velmaro-arena"
brain="$PWD/$build/pbrain-velmaro"
openings="$PWD/tools/arena/openings15.txt"
if [ $checkOnly -eq 0 ]; then
  mkdir -p "$OUT"
  [ -x "$arena" ] && [ -x "$brain" ] || { echo "build $arena and $brain first" >&2; exit 2; }
fi
[ -d "$OUT" ] || { echo "no soak output in $OUT" >&2; exit 2; }
echo "soak output: $OUT"
summary="$OUT/summary.txt"
[ $checkOnly -eq 0 ] || summary="$OUT/summary-check.txt"
: >"$summary"

# Samples the VmRSS (kB) of the arena's brain processes once a second while
# the arena runs: "seconds pid rss games_finished".
sample() {
  local arenaPid=$1 log=$2 samples=$3 t0=$SECONDS
  while kill -0 "$arenaPid" 2>/dev/null; do
    local done_games
    done_games=$(grep -c '^Game ' "$log" 2>/dev/null || true)
    for pid in $(pgrep -P "$arenaPid" -x pbrain-velmaro); do
      local rss
      rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null)
      [ -n "$rss" ] && echo "$((SECONDS - t0)) $pid $rss $done_games" >>"$samples"
    done
    sleep 1
  done
}

failed=0
slowest_fraction=0
total_games=0
report() { echo "$*" | tee -a "$summary"; }

# Plays one match; its exit status goes to the arena-TAG.status file.
play_match() {
  local size=$1 turn=$2 games=$3
  local tag="s${size}-t${turn}"
  local log="$OUT/arena-$tag.log" samples="$OUT/rss-$tag.txt"
  mkdir -p "$OUT/data-$tag"
  : >"$samples"
  "$arena" --engine "$brain" --engine "$brain" --size "$size" --turn "$turn" --games "$games" \
    --openings "$openings" --folder "$OUT/data-$tag" --psq "$OUT/games-$tag" >"$log" 2>&1 &
  local arenaPid=$!
  sample "$arenaPid" "$log" "$samples" &
  local samplerPid=$!
  wait "$arenaPid"
  echo $? >"$OUT/arena-$tag.status"
  wait "$samplerPid"
}

check_match() {
  local size=$1 turn=$2 games=$3
  local tag="s${size}-t${turn}"
  local log="$OUT/arena-$tag.log" samples="$OUT/rss-$tag.txt"
  local status
  status=$(cat "$OUT/arena-$tag.status" 2>/dev/null || echo missing)
  [ -f "$log" ] || { report "size $size turn $turn ms: no arena log"; report "  FAILED"; failed=1; return; }

  local played forfeits errors logs slow
  played=$(grep -c '^Game ' "$log")
  forfeits=$(grep '^Game ' "$log" | grep -v -e ', five in a row;' -e ', board full;' | wc -l)
  errors=$(grep -c 'Error' "$log")
  logs=$(find "$OUT/data-$tag" -name velmaro.log -size +0 | wc -l)
  slow=$(grep -o 'slowest reply [0-9]* ms (engine 1), [0-9]* ms' "$log" |
    awk '{a=$3; b=$7; if (a>m) m=a; if (b>m) m=b} END {print m+0}')
  local fraction
  fraction=$(awk -v s="$slow" -v t="$turn" 'BEGIN {printf "%.3f", s / t}')
  # From the game records (x,y,ms per stone): the slowest reply apart from
  # each brain's first reply of the match, which creates the player, and the
  # number of replies at or over the turn limit.
  local later over replies
  read -r later over replies < <(awk -F, -v t="$turn" '
    FNR == 1 { seen = 0; first = (FILENAME ~ /game0*1\.psq$/) }
    NF == 3 && $3 + 0 > 0 {
      seen++; n++
      if (!(first && seen <= 2) && $3 + 0 > m) m = $3 + 0
      if ($3 + 0 >= t) o++
    }
    END { print m + 0, o + 0, n + 0 }' "$OUT/games-$tag"/*.psq 2>/dev/null)
  # Memory: per brain process, the peak during the first game after its first
  # finished one against the peak during its last game (samples are tagged
  # with the number of games finished when they were taken; those taken once
  # every game has finished see only the brains ending).
  local rss
  rss=$(awk -v games="$games" '$4 >= 1 && $4 < games {
      p = $2
      if (!(p in firstGame)) firstGame[p] = $4
      if ($4 == firstGame[p] && $3 > first[p]) first[p] = $3
      if ($4 != lastGame[p]) { lastGame[p] = $4; last[p] = 0 }
      if ($3 > last[p]) last[p] = $3
    }
    END { worst = 0; out = "";
      for (p in first) { d = (last[p] - first[p]) / first[p] * 100;
        out = out sprintf(" pid %s %d->%d kB (%+.2f%%)", p, first[p], last[p], d);
        if (d > worst) worst = d; if (-d > worst) worst = -d }
      printf "%.2f%s", worst, out }' "$samples")
  local drift=${rss%% *}
  report "size $size turn $turn ms: $played/$games games, exit $status, forfeits $forfeits," \
    "error lines $errors, non-empty logs $logs, slowest reply $slow ms ($fraction of the turn;" \
    "${later:-0} ms after the players' creation; ${over:-0} of ${replies:-0} replies at or over the turn)," \
    "RSS drift ${drift}%:${rss#* }"
  total_games=$((total_games + played))
  if [ "$status" != 0 ] || [ "$played" -ne "$games" ] || [ "$forfeits" -ne 0 ] ||
    [ "$errors" -ne 0 ] || [ "$logs" -ne 0 ] ||
    awk -v f="$fraction" -v d="$drift" 'BEGIN {exit !(f >= 1.0 || d > 1.0)}'; then
    report "  FAILED"
    failed=1
  fi
  slowest_fraction=$(awk -v a="$slowest_fraction" -v b="$fraction" 'BEGIN {print (b > a) ? b : a}')
}

count=$(wc -w <<<"$SIZES")
for phase in "$FAST_MS $FAST_GAMES" "$SLOW_MS $SLOW_GAMES"; do
  read -r turn games <<<"$phase"
  per=$((games / count))
  [ "$per" -gt 0 ] || continue
  for size in $SIZES; do
    [ $checkOnly -eq 1 ] || play_match "$size" "$turn" "$per"
    check_match "$size" "$turn" "$per"
  done
done
report "total: $total_games games; slowest reply $slowest_fraction of the turn limit;" \
  "$([ $failed -eq 0 ] && echo passed || echo FAILED)"
exit $failed
