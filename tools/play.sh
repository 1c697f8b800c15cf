#!/bin/sh
# One game of the brain against itself on a 15x15 board, one second a move,
# with the board drawn after every move. The brains' data folders live in a
# temporary folder that is removed afterwards.
# Usage: tools/play.sh BUILD_FOLDER   (the Makefile's `make play` passes build)
set -eu

build=${1:-build}
if [ ! -x "$build/velmaro-arena" ] || [ ! -x "$build/pbrain-velmaro" ]; then
  echo "play.sh: build velmaro-arena and pbrain-velmaro in $build first" >&2
  exit 1
fi
build=$(cd "$build" && pwd)
data=$(mktemp -d "${TMPDIR:-/tmp}/velmaro-play.XXXXXX")
trap 'rm -rf "$data"' EXIT
trap 'exit 130' INT TERM

# The arena runs each engine command through the shell: quote the path.
brain="'$build/pbrain-velmaro'"
"$build/velmaro-arena" --engine "$brain" --engine "$brain" --size 15 --games 1 \
  --turn 1000 --show --folder "$data"
