#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks soak_report.py on result folders of both drivers, built from texts
that xboard 4.9, polyglot 2.0 and cutechess-cli 1.3.1 really wrote (the
cutechess illegal-move, disconnect and stall results use its message formats).
Run: python3 scripts/soak_report_test.py"""

import io
import os
import sys
import tempfile
import unittest
from contextlib import redirect_stdout

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import soak_report as soak  # noqa: E402

XBOARD_PGN = """[Event "Computer Chess Game"]
[White "{first}"]
[Black "{second}"]
[Result "{result}"]

1. c4 {{+0.17/6}} f5 {{+0.24/5 0.2}}
{{{reason}}} {result}
"""
XBOARD_DEBUG = """12198 >first : time 333
12198 >first : b8d7
12366 <first :  4     55        7      22721 f3d4 c7c5 d5c6 b7c6
{engine_line}
GameEnds(27, {reason}, 4)
"""
MATE = "Xboard adjudication: Checkmate"
FORFEIT = "Xboard: Forfeit due to invalid move: a1a5 (a1a5 via `0, `0) res=24"
REVERSED = dict(side="second", first="Fairy-Max", second="Tarvok")
SELF = dict(side="both", first="Tarvok B", second="Tarvok A")

CUTECHESS_LOG = """Started game 2 of 4 (glaurung vs Tarvok)
Started game 1 of 4 (Tarvok vs glaurung)
Warning: Illegal PV move f3e5 from Tarvok (0)
Warning: Illegal PV move a2a3 from glaurung (3)
Finished game 2 (glaurung vs Tarvok): 1/2-1/2 {Draw by timeout}
Finished game 1 (Tarvok vs glaurung): 0-1 {Black mates}
Started game 4 of 4 (glaurung vs Tarvok)
Warning: Illegal ponder move from Tarvok: e7e5
Finished game 3 (Tarvok vs glaurung): 1-0 {Black loses on time}
Finished game 6 (glaurung vs Tarvok): 1-0 {Black makes an illegal move}
Finished game 7 (Tarvok vs glaurung): 0-1 {White disconnects}
Finished game 8 (glaurung vs Tarvok): 0-1 {White's connection stalls}
Finished game 9 (glaurung vs Tarvok): 1-0 {Black's connection stalls}
Finished game 10 (glaurung vs Tarvok): 1/2-1/2 {Draw by disconnection}
Finished game 11 (Tarvok vs phalanx): 1-0 {White wins by adjudication: black claims illegal move: sd 6}
"""


def cutechess_game(white, black, result, plies, side="w", termination="time forfeit"):
    tag = f'[Termination "{termination}"]\n' if termination else ""
    return (f'[Event "?"]\n[White "{white}"]\n[Black "{black}"]\n[Result "{result}"]\n'
            f'[FEN "4k3/8/8/8/8/8/8/4K3 {side} - - 0 1"]\n[PlyCount "{plies}"]\n{tag}\n1. e4 e5 {result}\n\n')


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


class SoakReportTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.count = 0

    def tearDown(self):
        self.tmp.cleanup()

    def xboard_game(self, side="first", first="Tarvok", second="Fairy-Max", result="1-0", reason=MATE,
                    status=0, codes=(1, 1), engine_line="12366 <first : move f3d4", stderr="", polyglot="",
                    pgn=True):
        """A game folder in soak.sh's layout, and its analysis."""
        self.count += 1
        d = os.path.join(self.tmp.name, "game%03d" % self.count)
        write(os.path.join(d, "meta.txt"), "tarvok_side=%s\nfirst_name=%s\nsecond_name=%s\nprotocol=xboard\n"
              "opponent=test\nponder=off\ntc=5+0.05\ntime_limit=190\nxboard_status=%d\n"
              % (side, first, second, status))
        if pgn:
            write(os.path.join(d, "game.pgn"), XBOARD_PGN.format(first=first, second=second, result=result,
                                                                   reason=reason))
        write(os.path.join(d, "xboard.debug"), XBOARD_DEBUG.format(engine_line=engine_line, reason=reason))
        for sub, code in zip(("first", "second"), codes):
            write(os.path.join(d, sub, "stderr.log"), stderr if sub == "first" else "")
            if code is not None:
                write(os.path.join(d, sub, "exit_status"), "%d\n" % code)
        if polyglot:
            write(os.path.join(d, "first", "polyglot.log"), polyglot)
        return soak.XboardGame(d)

    def test_xboard_games(self):
        illegal_claim = "12366 <first : Illegal move: e7e8q"
        cases = [  # (game, score, failure kinds)
            (dict(), "+", []),
            (dict(REVERSED), "-", []),
            (dict(result="1/2-1/2", reason="Xboard adjudication: repetition draw"), "=", []),
            (dict(SELF, result="0-1"), "+", []),
            (dict(result="0-1", reason=FORFEIT), "-", ["illegal"]),
            (dict(result="1-0", reason=FORFEIT), "+", []),
            (dict(result="0-1", reason="False illegal-move claim", engine_line=illegal_claim), "-", ["illegal"]),
            (dict(REVERSED, reason="polyglot: resign (illegal engine move by black: e7e9)"), "-", ["illegal"]),
            (dict(engine_line=illegal_claim), "+", ["illegal"]),
            (dict(engine_line="12366 <second: Illegal move: e7e8q"), "+", []),
            (dict(polyglot='0.101 POLYGLOT ILLEGAL MOVE "e7e9"\n'), "+", ["illegal"]),
            (dict(result="0-1", reason="Black wins on time"), "-", ["forfeits"]),
            (dict(result="0-1", reason="White's flag fell"), "-", ["forfeits"]),
            (dict(result="1-0", reason="White wins on time"), "+", []),
            (dict(SELF, first="Tarvok A", second="Tarvok B", reason="White wins on time"), "+", ["forfeits"]),
            (dict(codes=(139, 1), result="0-1", reason="Black wins on time"), "-", ["crashes", "forfeits"]),
            (dict(codes=(0, 1)), "+", ["crashes"]),
            (dict(stderr="==1==ERROR: AddressSanitizer: heap-buffer-overflow\n"), "+", ["crashes"]),
            (dict(codes=(143, 1)), "+", []),
            (dict(codes=(1, 139)), "+", []),
            (dict(engine_line="Error writing to first chess program"), "+", ["crashes"]),
            (dict(status=124, result="*", reason="xboard exit", codes=(None, None)), None, ["stalls"]),
            (dict(pgn=False, status=1), None, ["unfinished"]),
        ]
        for case, score, kinds in cases:
            with self.subTest(case):
                game = self.xboard_game(**case)
                self.assertEqual((game.score, game.kinds()), (score, kinds))
        notes = self.xboard_game(result="1-0", reason=FORFEIT).notes
        self.assertTrue(any(FORFEIT in note for note in notes))

    def test_cutechess_log_and_pgn(self):
        write(os.path.join(self.tmp.name, "plan.txt"), "uci glaurung off 2+0.02\n")
        name = os.path.join(self.tmp.name, soak.combo_name("uci", "glaurung", "off", "2+0.02"))
        write(name + ".log", CUTECHESS_LOG)
        write(name + ".pgn", "".join([
            cutechess_game("Tarvok", "glaurung", "1-0", 67),                # glaurung flagged
            cutechess_game("glaurung", "Tarvok", "1/2-1/2", 98),            # glaurung, a draw
            cutechess_game("glaurung", "Tarvok", "1-0", 67),                # Tarvok flagged
            cutechess_game("Tarvok-2", "Tarvok", "0-1", 10, side="b"),      # Tarvok-2 flagged
            cutechess_game("Tarvok", "glaurung", "0-1", 41, termination=""),
            cutechess_game("Tarvok", "glaurung", "*", 41),                  # unfinished: not counted
        ]))
        [(combo, counts, details)] = soak.cutechess_rows(self.tmp.name)
        self.assertEqual(counts, dict(games=9, wins=3, draws=2, losses=4, illegal=1, illegal_pv=2, crashes=2,
                                      stalls=1, unfinished=1, forfeits=2, pgn_games=5))
        self.assertEqual(len(details), 6)
        with redirect_stdout(io.StringIO()):
            self.assertFalse(soak.write_report(self.tmp.name))
        self.assertIn("| all ", soak.read_text(os.path.join(self.tmp.name, "report.txt")))

    def test_limits_and_xboard_report(self):
        def row(tc, **values):
            return (("uci", "glaurung", "off", tc), dict(soak.empty_counts(), games=100, **values), [])
        self.assertEqual(soak.failures([row("2+0.02", forfeits=1), row("10+0.1"), row("st=1")]), [])
        # The fast share is over all fast games: 2 losses in 200 games pass, 3 do not.
        self.assertEqual(soak.failures([row("2+0.02", forfeits=2), row("1+0.01")]), [])
        self.assertEqual(len(soak.failures([row("2+0.02", forfeits=2), row("1+0.01", forfeits=1)])), 1)
        broken = soak.failures([row("?", forfeits=1), row("10+0.1", forfeits=1), row("40/20", stalls=1),
                                row("depth=6", illegal_pv=1), row("st=1", unfinished=1)])
        self.assertEqual(len(broken), 5)
        self.assertEqual(soak.failures([]), ["no game played"])

        self.xboard_game()
        self.xboard_game(result="1/2-1/2", reason="draw")
        out = io.StringIO()
        with redirect_stdout(out):
            self.assertTrue(soak.write_report(self.tmp.name))
        self.xboard_game(codes=(139, 1))
        with redirect_stdout(out):
            self.assertFalse(soak.write_report(self.tmp.name))
        self.assertIn("| xboard   | test     | off    | 5+0.05 | 3     | 2 | 1 | 0 | 0       | 0             | 1 ",
                      out.getvalue())
        self.assertIn("12198 >first : b8d7", out.getvalue())   # evidence from the debug log


if __name__ == "__main__":
    unittest.main()
