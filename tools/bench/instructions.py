#!/usr/bin/env python3
"""Instructions per search node, counted by callgrind inside thinkMove.

  tools/bench/instructions.py [build-folder] [--top N]   (default: build)

Runs `velmaro-bench search` under valgrind's callgrind with collection on
only inside the search's thinkMove, so the figures leave out building the
engine, its tables and the positions' stones. Instruction counts do not
depend on the machine's load, unlike the bench's times, so a change's cost
can be read from one run. Prints:
  - the instructions inside thinkMove, the search nodes (the bench's
    signature) and their ratio;
  - the calls of makeMove and undoMove, the average instructions of each
    (inclusive) and of one pair;
  - with --top N, the N functions with the most instructions of their own.
A run takes one to three minutes. Needs valgrind.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile

# The decision: the search worker's, or in builds before the worker the
# engine's own (so that older builds can be measured alike).
DECISIONS = ["velm::SearchWorker::thinkMove", "velm::VelmBrain::thinkMove"]
MAKE = "velm::VelmBoard::makeMove(int)"
UNDO = "velm::VelmBoard::undoMove()"


def parse(path):
    """Total instructions, per-function own instructions, and per-callee
    (calls, inclusive instructions), from an uncompressed callgrind file."""
    total = 0
    own = {}
    callee = {}
    fn = None
    cfn = None
    pending_calls = None
    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("fn="):
                fn = line[3:]
                continue
            if line.startswith("cfn="):
                cfn = line[4:]
                continue
            if line.startswith("calls="):
                pending_calls = int(line[6:].split()[0])
                continue
            if line.startswith("summary:") or line.startswith("totals:"):
                total = max(total, int(line.split()[1]))
                continue
            if not line or not (line[0].isdigit() or line[0] in "+-*"):
                continue
            fields = line.split()
            if len(fields) < 2:
                continue
            cost = int(fields[1])
            if pending_calls is not None:
                calls, incl = callee.get(cfn, (0, 0))
                callee[cfn] = (calls + pending_calls, incl + cost)
                pending_calls = None
            else:
                own[fn] = own.get(fn, 0) + cost
    return total, own, callee


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--top", type=int, default=0)
    args = parser.parse_args()
    bench = os.path.join(args.build, "velmaro-bench")
    if not os.access(bench, os.X_OK):
        sys.exit(f"instructions: {bench} not found; build the velmaro-bench target first")

    symbols = subprocess.run(["nm", "-C", bench], capture_output=True, text=True,
                             check=True).stdout
    decision = next((d for d in DECISIONS if d + "(" in symbols), None)
    if decision is None:
        sys.exit(f"instructions: no thinkMove in {bench}")

    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "callgrind.out")
        run = subprocess.run(
            ["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}",
             f"--toggle-collect={decision}*", "--compress-strings=no",
             "--compress-pos=no", bench, "search"],
            capture_output=True, text=True, check=True)
        total, own, callee = parse(out)

    match = re.search(r"^signature: (\d+)$", run.stdout, re.M)
    if not match:
        sys.exit("instructions: the bench printed no signature")
    nodes = int(match.group(1))
    make_calls, make_ir = callee.get(MAKE, (0, 0))
    undo_calls, undo_ir = callee.get(UNDO, (0, 0))

    print(f"search nodes (signature): {nodes}")
    print(f"instructions inside thinkMove: {total}")
    print(f"instructions per search node: {total / nodes:.0f}")
    if make_calls and undo_calls:
        print(f"makeMove calls: {make_calls} ({make_calls / nodes:.1f} per node), "
              f"{make_ir / make_calls:.0f} instructions each")
        print(f"undoMove calls: {undo_calls}, {undo_ir / undo_calls:.0f} instructions each")
        print(f"make+undo pair: {(make_ir + undo_ir) / make_calls:.0f} instructions")
        print(f"make+undo share of all instructions: {100.0 * (make_ir + undo_ir) / total:.0f}%")
    if args.top:
        print(f"functions with the most instructions of their own (top {args.top}):")
        for name, cost in sorted(own.items(), key=lambda kv: -kv[1])[:args.top]:
            print(f"  {100.0 * cost / total:5.1f}%  {cost / nodes:8.0f}/node  {name}")


if __name__ == "__main__":
    main()
