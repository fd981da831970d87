#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""How fast the engine answers what a GUI sends first, and what a big hash
table costs: medians of several runs, in seconds, for one or more binaries
measured side by side (so before and after share the machine's load).

  scripts/response_times.py [--runs N] [--sizes 32,1024,4096] BINARY...

Rows: uciok after "uci"; the XBoard feature line after "xboard", also with
Hash=1024 in tarvok.ini; readyok after "setoption name Hash value 4096" and
after "ucinewgame" once a search has filled part of that table; the whole
process of "-perft 1"; and, per hash size, the time of a fixed-depth search
run first after the resize and then again after "ucinewgame".
"""
import argparse
import os
import statistics
import subprocess
import tempfile
import time


class Engine:
    def __init__(self, binary, folder, args=()):
        self.process = subprocess.Popen([binary, *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        cwd=folder, text=True, bufsize=1)

    def send(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def until(self, prefix):
        """Seconds until a line starting with prefix arrives."""
        start = time.perf_counter()
        for line in self.process.stdout:
            if line.startswith(prefix):
                return time.perf_counter() - start
        raise RuntimeError(f"no {prefix!r} line")

    def close(self):
        self.send("quit")
        self.process.communicate(timeout=60)


def answer(binary, folder, first, prefix, ini=""):
    with open(os.path.join(folder, "tarvok.ini"), "w") as config:
        config.write(ini)
    engine = Engine(binary, folder)
    engine.send(first)
    seconds = engine.until(prefix)
    engine.close()
    return seconds


def ready_after_hash(binary, folder, after_newgame):
    engine = Engine(binary, folder)
    engine.send("uci")
    engine.until("uciok")
    engine.send("setoption name Hash value 4096")
    engine.send("isready")
    seconds = engine.until("readyok")
    if after_newgame:
        engine.send("position startpos")
        engine.send("go movetime 3000")
        engine.until("bestmove")
        engine.send("ucinewgame")
        engine.send("isready")
        seconds = engine.until("readyok")
    engine.close()
    return seconds


def perft_one(binary, folder):
    start = time.perf_counter()
    subprocess.run([binary, "-perft", "1"], cwd=folder, stdout=subprocess.DEVNULL, check=False)
    return time.perf_counter() - start


def first_and_again(binary, folder, megabytes, depth):
    """Seconds of the same search right after a resize and after a new game."""
    engine = Engine(binary, folder)
    engine.send("uci")
    engine.until("uciok")
    engine.send(f"setoption name Hash value {megabytes}")
    times = []
    for _ in range(2):
        engine.send("ucinewgame")
        engine.send("isready")
        engine.until("readyok")
        engine.send("position startpos moves e2e4 e7e5 g1f3")
        engine.send(f"go depth {depth}")
        times.append(engine.until("bestmove"))
    engine.close()
    return times


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("binaries", nargs="+")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--sizes", default="32,1024,4096")
    parser.add_argument("--depth", type=int, default=11)
    options = parser.parse_args()
    binaries = [os.path.abspath(b) for b in options.binaries]
    rows = [
        ("uciok", lambda b, f: answer(b, f, "uci", "uciok")),
        ("feature", lambda b, f: answer(b, f, "xboard", "feature")),
        ("feature Hash=1024", lambda b, f: answer(b, f, "xboard", "feature", "[Engine]\nHash=1024\n")),
        ("readyok Hash 4096", lambda b, f: ready_after_hash(b, f, False)),
        ("readyok ucinewgame 4096", lambda b, f: ready_after_hash(b, f, True)),
        ("-perft 1 process", perft_one),
    ]
    with tempfile.TemporaryDirectory() as folder:
        print(f"{'row':26}" + "".join(f"{os.path.basename(os.path.dirname(b)) or b:>16}" for b in binaries))
        for name, measure in rows:
            samples = {b: [] for b in binaries}
            for _ in range(options.runs):
                for binary in binaries:  # interleaved: both meet the same load
                    samples[binary].append(measure(binary, folder))
            print(f"{name:26}" + "".join(f"{statistics.median(samples[b]):16.3f}" for b in binaries))
        for megabytes in (int(s) for s in options.sizes.split(",")):
            samples = {b: ([], []) for b in binaries}
            for _ in range(options.runs):
                for binary in binaries:
                    first, again = first_and_again(binary, folder, megabytes, options.depth)
                    samples[binary][0].append(first)
                    samples[binary][1].append(again)
            cells = "".join(f"{statistics.median(samples[b][0]):8.3f}/{statistics.median(samples[b][1]):<7.3f}"
                            for b in binaries)
            print(f"{f'depth {options.depth} first/again {megabytes}':26}" + cells)


if __name__ == "__main__":
    main()
