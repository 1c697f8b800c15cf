#!/usr/bin/env python3
"""Mutation testing: how many small faults planted in src/ the suite catches.

  tools/mutation/mutate.py generate --seed S --count N --out FILE  # draws a sample
  tools/mutation/mutate.py run [--mutants FILE] [--only ID,...] [--retries R] [--exclude RE]

A mutant is one operator change on one source line: a comparison flipped,
a "+ 1" or "- 1" dropped, a condition negated, an integer constant changed,
or a statement removed. A sample file holds one mutant per line:

  id <TAB> file <TAB> line <TAB> operator <TAB> original line <TAB> mutated line

mutants.txt (beside this script) is the kept sample: the regression sample
that the suite must go on killing, run when no --mutants is given. It is
kept by hand as the code moves (an entry whose line moved is re-located;
one whose code is gone is replaced by a mutant of the same kind on the code
that replaced it). `generate` draws a fresh sample from today's code into a
file of its own, so that the suite can be measured on faults it was never
tuned against; the same seed and count on the same code give the same file.

`run` copies the tree once into a scratch folder (MUTATION_DIR, default
/tmp/velmaro-mutation), keeps one incremental Release build there, and for
each mutant puts the mutated line in place of the original (found by its
text, nearest to the recorded line number), builds, and runs the suite with
ctest, stopping at the first failure. A mutant is killed when a test fails
(with --retries R, when it fails R + 1 times in a row: the suite has timing
tests that a heavily loaded machine can fail once) or the suite runs past
its time limit; one that does not build is reported apart and not counted;
one whose line is no longer in the source is stale. --exclude leaves out the
tests whose names match a regular expression (ctest -E): on a machine too
loaded for the timing tests, the mutants that survived a full run can be
run again against the other tests. The working tree is never touched.
"""
import argparse
import fractions
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
MUTANTS = os.path.join(HERE, "mutants.txt")
# Mutants per area in a sample of 48, roughly by the size of the code.
AREAS = {"src/board": 12, "src/search": 12, "src/memo": 7, "src/protocol": 8, "src/platform": 5,
         "src/player": 2, "src/log": 2}
SUITE_SECONDS = 300  # a suite still running after this long counts as killing the mutant

COMPARISONS = [("<=", "<"), (">=", ">"), ("==", "!="), ("!=", "=="), (" < ", " <= "),
               (" > ", " >= ")]


def code_part(line):
    """The line without a trailing // comment."""
    i = line.find("//")
    return line if i < 0 else line[:i]


def candidates(line):
    """(operator, mutated line) pairs that apply to a source line."""
    code = code_part(line)
    stripped = code.strip()
    if not stripped or stripped.startswith(("#", "//", "*")) or "static_assert" in code:
        return []
    out = []
    for a, b in COMPARISONS:
        i = code.find(a)
        if i >= 0 and "<<" not in code[max(0, i - 1):i + 3] and ">>" not in code[max(0, i - 1):i + 3] \
                and "->" not in code[max(0, i - 1):i + 3] and "template" not in code \
                and "#include" not in code and "<int>" not in code:
            out.append(("comparison", line[:i] + b + line[i + len(a):]))
    for a in (" + 1", " - 1"):
        i = code.find(a)
        if i >= 0 and not code[i + len(a):i + len(a) + 1].isdigit():
            out.append(("drop " + a.strip(), line[:i] + line[i + len(a):]))
    m = re.search(r"\bif \((.*)\)( \{| return| [a-z])", code)
    if m and "constexpr" not in code:
        out.append(("negate", line[:m.start(1)] + "!(" + m.group(1) + ")" + line[m.end(1):]))
    for m in re.finditer(r"(?<![\w.])(\d+)(?![\w.'])", code):
        if "[" in code[:m.start()] and "]" not in code[m.start():]:
            continue
        value = int(m.group(1))
        out.append(("constant", line[:m.start()] + str(value + 1) + line[m.end():]))
        break
    if re.match(r"^\s*[A-Za-z_][\w.\->\[\]]*\s*(\+\+|--|[-+*/|&^]?=[^=]).*;\s*$", code) \
            or re.match(r"^\s*[A-Za-z_][\w:.\->]*\(.*\);\s*$", code):
        if not re.match(r"^\s*(return|const|int|bool|auto|unsigned|std::|char|long|static|double)\b",
                        code):
            indent = line[:len(line) - len(line.lstrip())]
            out.append(("remove statement", indent + ";"))
    return out


def built_here(lines, n):
    """False for line n (1-based) when the Linux Release build leaves it out:
    Windows-only code and Debug-only checks, which the suite cannot reach."""
    stack = []  # per open #if: True when its current branch is left out
    for line in lines[:n - 1]:
        t = line.strip()
        if t.startswith("#if"):
            stack.append(t in ("#ifdef _WIN32", "#if defined(_WIN32)", "#ifdef VELM_CHECK_BOARD"))
        elif t.startswith("#else") and stack:
            stack[-1] = not stack[-1]
        elif t.startswith("#endif") and stack:
            stack.pop()
    return not any(stack)


def generate(seed, count, out_path):
    if count < len(AREAS):
        sys.exit(f"--count must be at least {len(AREAS)}: every area gets a mutant")
    rng = random.Random(seed)
    files = []
    for area in AREAS:
        for name in sorted(os.listdir(os.path.join(ROOT, area))):
            if name.endswith(".cpp"):
                files.append(os.path.join(area, name))
    # Every area gets mutants; within an area, lines are drawn at random.
    pool = {}
    for f in files:
        lines = open(os.path.join(ROOT, f)).read().split("\n")
        for n, line in enumerate(lines, 1):
            if not built_here(lines, n):
                continue
            for op, mutated in candidates(line):
                pool.setdefault(os.path.dirname(f), []).append((f, n, op, line, mutated))
    chosen = []
    for area, want in sorted(area_counts(count).items()):
        picked = 0
        while picked < want:
            pick = rng.choice(pool[area])
            if all((c[0], c[1]) != (pick[0], pick[1]) for c in chosen):
                chosen.append(pick)
                picked += 1
    chosen.sort(key=lambda c: (c[0], c[1]))
    with open(out_path, "w") as out:
        for i, (f, n, op, line, mutated) in enumerate(chosen, 1):
            out.write("\t".join([str(i), f, str(n), op, line, mutated]) + "\n")
    print(f"wrote {len(chosen)} mutants to {out_path}")


def area_counts(count):
    """Mutants per area for a sample of `count`: each area's share rounded,
    at least one, then evened out so that they add up to `count` exactly
    (taken from or given to the areas that rounding favoured or short-changed
    most, the larger area first on a tie). For 48 these are AREAS as given."""
    total = sum(AREAS.values())
    exact = {area: fractions.Fraction(share * count, total) for area, share in AREAS.items()}
    want = {area: max(1, round(e)) for area, e in exact.items()}
    while sum(want.values()) > count:
        area = max((a for a in want if want[a] > 1),
                   key=lambda a: (want[a] - exact[a], exact[a], a))
        want[area] -= 1
    while sum(want.values()) < count:
        area = max(want, key=lambda a: (exact[a] - want[a], exact[a], a))
        want[area] += 1
    return want


def load(path):
    mutants = []
    for row in open(path).read().split("\n"):
        if row:
            i, f, n, op, line, mutated = row.split("\t")
            mutants.append((int(i), f, int(n), op, line, mutated))
    return mutants


def sh(cmd, cwd, timeout=None):
    """(exit code, output) of cmd; (None, "") past the timeout. The command
    runs in a process group of its own, ended whole at the timeout: a suite
    stopped at its time limit must not leave a hung test program running."""
    p = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                         start_new_session=True)
    try:
        out, _ = p.communicate(timeout=timeout)
        return p.returncode, out.decode(errors="replace")
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        p.communicate()
        return None, ""


def run(mutants_path, only, retries, exclude):
    work = os.environ.get("MUTATION_DIR", "/tmp/velmaro-mutation")
    tree = os.path.join(work, "tree")
    build = os.path.join(work, "build")
    jobs = os.environ.get("JOBS", "2")
    # One copy of the tree, refreshed from the working tree; the build in it
    # stays and is rebuilt incrementally.
    os.makedirs(tree, exist_ok=True)
    for part in ["CMakeLists.txt", "cmake", "src", "tools", "tests"]:
        src, dst = os.path.join(ROOT, part), os.path.join(tree, part)
        if os.path.isdir(src):
            shutil.rmtree(dst, ignore_errors=True)
            shutil.copytree(src, dst)
        else:
            shutil.copy2(src, dst)
    # A run ended while a mutant was in place left a build of it: the copy
    # keeps the older time of the unmutated file, so make would not rebuild
    # it. Its file is named in `mutated`, and made newer than the build.
    marker = os.path.join(work, "mutated")
    if os.path.exists(marker):
        left = os.path.join(tree, open(marker).read().strip())
        if os.path.exists(left):
            os.utime(left)
        os.remove(marker)
    # Ended by a signal, the run still puts the unmutated line back.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("ended by a signal"))
    if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        rc, out = sh(["cmake", "-S", tree, "-B", build, "-DCMAKE_BUILD_TYPE=Release"], work)
        if rc != 0:
            sys.exit("configure failed:\n" + out)
    rc, out = sh(["cmake", "--build", build, "-j" + jobs], work)
    if rc != 0:
        sys.exit("the unmutated tree does not build:\n" + out[-3000:])
    suite = ["ctest", "--stop-on-failure", "-j" + jobs, "-LE", "windows|browser"]
    if retries > 0:
        suite += ["--repeat", f"until-pass:{retries + 1}"]
    if exclude:
        suite += ["-E", exclude]
    rc, out = sh(suite, build, SUITE_SECONDS)
    if rc != 0:
        sys.exit("the suite fails without any mutant:\n" + out[-3000:])

    killed, counted, survivors, invalid, stale = 0, 0, [], [], []
    print(f"mutants: {mutants_path}", flush=True)
    for i, f, n, op, line, mutated in load(mutants_path):
        if only and i not in only:
            continue
        path = os.path.join(tree, f)
        text = open(path).read()
        lines = text.split("\n")
        places = [k for k, l in enumerate(lines) if l == line]
        if not places:
            stale.append(i)
            print(f"mutant {i:3} {f}:{n} {op}: stale (line not found)", flush=True)
            continue
        k = min(places, key=lambda p: abs(p + 1 - n))
        lines[k] = mutated
        open(marker, "w").write(f)
        open(path, "w").write("\n".join(lines))
        start = time.time()
        try:
            rc, out = sh(["cmake", "--build", build, "-j" + jobs], work)
            if rc != 0:
                invalid.append(i)
                verdict = "does not build"
            else:
                rc, out = sh(suite, build, SUITE_SECONDS)
                counted += 1
                if rc != 0:
                    killed += 1
                    failed = re.findall(r"\d+ - (\S+) \(", out)
                    verdict = "killed" + (f" by {failed[0]}" if failed else " (time limit)")
                else:
                    survivors.append(i)
                    verdict = "SURVIVED"
        finally:
            open(path, "w").write(text)
            os.remove(marker)
        print(f"mutant {i:3} {f}:{n} {op}: {verdict} ({time.time() - start:.0f} s)", flush=True)
    # Leave the build matching the unmutated tree.
    sh(["cmake", "--build", build, "-j" + jobs], work)
    print(f"survivors: {' '.join(map(str, survivors)) or 'none'}")
    if invalid:
        print(f"not counted (do not build): {' '.join(map(str, invalid))}")
    if stale:
        print(f"not counted (stale): {' '.join(map(str, stale))}")
    print(f"killed {killed} of {counted}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    g = sub.add_parser("generate", help="draw a fresh sample into a file")
    g.add_argument("--seed", type=int, required=True)
    g.add_argument("--count", type=int, default=48)
    g.add_argument("--out", required=True,
                   help="the sample file (naming mutants.txt replaces the kept sample)")
    r = sub.add_parser("run", help="run a sample: the kept one unless --mutants names another")
    r.add_argument("--mutants", default=MUTANTS)
    r.add_argument("--only", default="", help="ids of the sample to run, comma-separated")
    r.add_argument("--retries", type=int, default=0,
                   help="runs of a failed test again before it counts as failed")
    r.add_argument("--exclude", default="", help="tests left out: a regular expression (ctest -E)")
    args = parser.parse_args()
    if args.command == "generate":
        generate(args.seed, args.count, args.out)
    else:
        only = {int(x) for x in args.only.split(",") if x}
        run(os.path.abspath(args.mutants), only, args.retries, args.exclude)

if __name__ == "__main__":
    main()
