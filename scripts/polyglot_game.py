#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Plays a few moves of a game against Tarvok through Debian's polyglot
adapter, which speaks XBoard to this script and UCI to Tarvok, and checks
that every move the engine sends is legal.

Usage: polyglot_game.py TARVOK_BINARY [MOVES]
Exit status 0 on success (or when polyglot is not installed), 1 on failure.
Legal moves come from stockfish's "go perft 1" when it is installed, else
from Tarvok's own "divide 1" in a separate UCI process.
"""
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time


def find_program(name):
    return shutil.which(name) or shutil.which(name, path="/usr/games:/usr/local/games")


class Process:
    def __init__(self, args, cwd=None):
        self.proc = subprocess.Popen(args, cwd=cwd, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, bufsize=0)
        self.pending = b""
        self.transcript = []

    def send(self, line):
        self.proc.stdin.write((line + "\n").encode())
        self.proc.stdin.flush()

    def read_line(self, deadline):
        while b"\n" not in self.pending:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            ready, _, _ = select.select([self.proc.stdout], [], [], left)
            if not ready:
                return None
            chunk = os.read(self.proc.stdout.fileno(), 4096)
            if not chunk:
                return None
            self.pending += chunk
        line, self.pending = self.pending.split(b"\n", 1)
        text = line.decode(errors="replace").rstrip("\r")
        self.transcript.append(text)
        return text

    def wait_for(self, match, timeout):
        deadline = time.monotonic() + timeout
        while True:
            line = self.read_line(deadline)
            if line is None or match(line):
                return line

    def close(self, timeout=10):
        try:
            self.proc.stdin.close()
        except OSError:
            pass
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            return self.proc.wait()


class StockfishMoves:
    def __init__(self, path):
        self.engine = Process([path])
        self.engine.send("uci")
        if self.engine.wait_for(lambda l: l == "uciok", 20) is None:
            raise RuntimeError("stockfish did not answer uci")

    def legal(self, moves):
        self.engine.send("position startpos moves " + " ".join(moves) if moves else "position startpos")
        self.engine.send("go perft 1")
        result = []
        while True:
            line = self.engine.wait_for(lambda l: True, 20)
            if line is None:
                raise RuntimeError("stockfish perft timed out")
            if line.startswith("Nodes searched"):
                return result
            if ": " in line:
                result.append(line.split(":")[0])


class TarvokMoves:
    """Legal moves from Tarvok's divide listing (Ng1-f3, e7-e8=Q, O-O)."""

    def __init__(self, path, workdir):
        self.engine = Process([path], cwd=workdir)
        self.engine.send("uci")
        if self.engine.wait_for(lambda l: l == "uciok", 20) is None:
            raise RuntimeError("tarvok did not answer uci")

    def legal(self, moves):
        self.engine.send("position startpos moves " + " ".join(moves) if moves else "position startpos")
        self.engine.send("divide 1")
        white = len(moves) % 2 == 0
        result = []
        while True:
            line = self.engine.wait_for(lambda l: True, 20)
            if line is None:
                raise RuntimeError("tarvok divide timed out")
            if line.startswith("total"):
                return result
            if " : " not in line:
                continue
            text = line.split(" : ")[0].strip()
            if text in ("O-O", "O-O-O"):
                rank = "1" if white else "8"
                result.append("e" + rank + ("g" if text == "O-O" else "c") + rank)
                continue
            text = text.lstrip("NBRQK").replace("e.p", "")
            promotion = ""
            if "=" in text:
                text, piece = text.split("=")
                promotion = piece.lower()
            result.append(text[0:2] + text[3:5] + promotion)


def main():
    if len(sys.argv) < 2:
        print("usage: polyglot_game.py TARVOK_BINARY [MOVES]")
        return 1
    binary = os.path.abspath(sys.argv[1])
    engine_moves = int(sys.argv[2]) if len(sys.argv) > 2 else 6
    polyglot = find_program("polyglot")
    if polyglot is None:
        print("polyglot is not installed: skipped")
        return 0

    workdir = tempfile.mkdtemp(prefix="tarvok-polyglot-")
    ini = os.path.join(workdir, "tarvok.pg.ini")
    with open(ini, "w") as f:
        f.write("[PolyGlot]\n")
        f.write("EngineDir = %s\n" % workdir)
        f.write("EngineCommand = %s\n" % binary)
        f.write("Book = false\n")
        f.write("Log = false\n")
        f.write("[Engine]\n")
        f.write("Hash = 16\n")

    stockfish = find_program("stockfish")
    oracle = StockfishMoves(stockfish) if stockfish else TarvokMoves(binary, workdir)
    adapter = Process([polyglot, ini], cwd=workdir)
    failure = None
    try:
        adapter.send("xboard")
        adapter.send("protover 2")
        if adapter.wait_for(lambda l: l.startswith("feature") and "done=1" in l, 30) is None:
            raise RuntimeError("no feature done=1 from polyglot")
        adapter.send("new")
        adapter.send("st 1")
        game = []
        for ply in range(engine_moves):
            ours = oracle.legal(game)
            if not ours:
                break
            mine = ours[(ply * 7) % len(ours)]
            game.append(mine)
            adapter.send(mine)
            line = adapter.wait_for(lambda l: l.startswith("move ") or l.startswith("Illegal move")
                                    or l.startswith("Error"), 60)
            if line is None:
                raise RuntimeError("no move after " + " ".join(game))
            if not line.startswith("move "):
                raise RuntimeError("polyglot rejected a move: " + line)
            reply = line.split()[1]
            if reply not in oracle.legal(game):
                raise RuntimeError("illegal engine move %s after %s" % (reply, " ".join(game)))
            game.append(reply)
            print("%d. %s %s" % (ply + 1, mine, reply))
        adapter.send("quit")
    except (RuntimeError, OSError) as error:
        failure = str(error)
    status = adapter.close()
    oracle.engine.send("quit")
    oracle.engine.close()
    shutil.rmtree(workdir, ignore_errors=True)
    if failure:
        print("FAILED: " + failure)
        for line in adapter.transcript[-40:]:
            print("  | " + line)
        return 1
    print("ok: %d engine moves, polyglot exit status %s" % (engine_moves, status))
    return 0


if __name__ == "__main__":
    sys.exit(main())
