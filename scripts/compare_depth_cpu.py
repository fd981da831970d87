#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Whole-process CPU time (user + sys) of Tarvok builds on the same fixed-depth
UCI searches: bench_search's 40 positions, each after "ucinewgame" and
searched with "go depth D". The builds take turns within each round; the
median CPU time of each build is printed with its ratio to the first build.
Every build must print the same search: the "info" lines without their time
and nps fields, and the best moves; the script fails when they differ.

  scripts/compare_depth_cpu.py [--depth D] [--rounds N] BINARY [BINARY ...]
"""
import argparse
import os
import re
import statistics
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def positions():
    data = os.path.join(ROOT, "tests", "data")
    with open(os.path.join(data, "perft.txt")) as f:
        fens = [line.split(";")[0].strip() for line in f if line.strip()][:16]
    with open(os.path.join(data, "bk.epd")) as f:
        fens += [" ".join(line.split()[:4]) + " 0 1" for line in f if line.strip()][:24]
    return fens


def run(binary, depth):
    """Runs one session, each search sent after the previous one has ended
    (a command arriving mid-search would stop it); returns (CPU seconds of
    the process, search lines, total nodes)."""
    engine = subprocess.Popen([binary], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
    search, nodes = [], 0
    engine.stdin.write("uci\n")
    for fen in positions():
        engine.stdin.write("ucinewgame\nposition fen %s\ngo depth %d\n" % (fen, depth))
        engine.stdin.flush()
        last = 0
        for line in engine.stdout:
            if line.startswith("info") and " nodes " in line:
                last = int(line.split(" nodes ")[1].split()[0])
                search.append(re.sub(r" (time|nps) \d+", "", line.rstrip()))
            elif line.startswith("bestmove"):
                search.append(line.rstrip())
                nodes += last
                break
    engine.stdin.write("quit\n")
    engine.stdin.close()
    _, _, usage = os.wait4(engine.pid, 0)
    engine.returncode = 0
    return usage.ru_utime + usage.ru_stime, search, nodes


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--depth", type=int, default=8)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("binaries", nargs="+")
    args = parser.parse_args()
    times = {b: [] for b in args.binaries}
    reference = None
    for round_number in range(1, args.rounds + 1):
        for binary in args.binaries:
            cpu, search, nodes = run(binary, args.depth)
            if reference is None:
                reference = (search, nodes)
            elif search != reference[0]:
                sys.exit("%s searched differently from %s" % (binary, args.binaries[0]))
            times[binary].append(cpu)
            print("round %d: %s %.3f s" % (round_number, binary, cpu), file=sys.stderr)
    print("depth %d, %d searches, %d nodes (same search in every build)" %
          (args.depth, sum(1 for l in reference[0] if l.startswith("bestmove")), reference[1]))
    first = statistics.median(times[args.binaries[0]])
    for binary in args.binaries:
        median = statistics.median(times[binary])
        print("%-40s median CPU %.3f s  ratio to first %.3f" % (binary, median, first / median))


if __name__ == "__main__":
    main()
