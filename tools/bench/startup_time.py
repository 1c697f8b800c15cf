#!/usr/bin/env python3
"""Start-up time of brains: from process start to the reply to BEGIN.

  tools/bench/startup_time.py RUNS BRAIN1 [BRAIN2 ...]

Starts each brain RUNS times, in turns, in a scratch folder; sends
START 15 and BEGIN and times the first line that is a move. Prints the
median, the fastest and the slowest per brain, in milliseconds.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time


def startup_ms(brain, folder):
    start = time.perf_counter()
    p = subprocess.Popen([brain], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                         bufsize=1, cwd=folder)
    p.stdin.write("START 15\nBEGIN\n")
    p.stdin.flush()
    while True:
        line = p.stdout.readline()
        if not line:
            sys.exit(f"startup_time: {brain} ended without a move")
        if line.strip()[:1].isdigit():
            break
    elapsed = (time.perf_counter() - start) * 1000
    p.stdin.write("END\n")
    p.stdin.flush()
    p.wait()
    return elapsed


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    runs = int(sys.argv[1])
    brains = [os.path.abspath(b) for b in sys.argv[2:]]
    times = {b: [] for b in brains}
    with tempfile.TemporaryDirectory() as folder:
        for _ in range(runs):
            for b in brains:
                times[b].append(startup_ms(b, folder))
    for b in brains:
        t = times[b]
        print(f"{b}: BEGIN reply from process start, median of {runs}: "
              f"{statistics.median(t):.1f} ms (fastest {min(t):.1f}, slowest {max(t):.1f})")


if __name__ == "__main__":
    main()
