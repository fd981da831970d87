#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks cutechess_soak.py's reading of cutechess-cli 1.3.1 output and PGN,
on texts it really wrote (the illegal-move, disconnect and stall results use
its message formats, which no game produced).
Run: python3 scripts/cutechess_soak_test.py"""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cutechess_soak as soak  # noqa: E402

LOG = """Indexing opening suite...
Started game 2 of 4 (glaurung vs Tarvok)
Started game 1 of 4 (Tarvok vs glaurung)
Warning: Illegal PV move f3e5 from Tarvok (0)
Warning: PV: Ne5 Bxe5 f3e5
Warning: Illegal PV move a2a3 from glaurung (3)
Finished game 2 (glaurung vs Tarvok): 1/2-1/2 {Draw by timeout}
Started game 3 of 4 (Tarvok vs glaurung)
Finished game 1 (Tarvok vs glaurung): 0-1 {Black mates}
Started game 4 of 4 (glaurung vs Tarvok)
Warning: Illegal ponder move from Tarvok: e7e5
Finished game 3 (Tarvok vs glaurung): 1-0 {Black loses on time}
Score of Tarvok vs glaurung: 1 - 1 - 1  [0.500] 3
Started game 5 of 8 (Tarvok vs glaurung)
Finished game 6 (glaurung vs Tarvok): 1-0 {Black makes an illegal move}
Finished game 7 (Tarvok vs glaurung): 0-1 {White disconnects}
Finished game 8 (glaurung vs Tarvok): 0-1 {White's connection stalls}
Finished game 9 (glaurung vs Tarvok): 1-0 {Black's connection stalls}
Finished game 10 (glaurung vs Tarvok): 1/2-1/2 {Draw by disconnection}
Finished game 11 (Tarvok vs phalanx): 1-0 {White wins by adjudication: black claims illegal move: sd 6}
"""

GAME = """[Event "?"]
[White "{white}"]
[Black "{black}"]
[Result "{result}"]
[FEN "{fen}"]
[PlyCount "{plies}"]
[SetUp "1"]
{termination}[TimeControl "2+0.02"]

1. e4 e5 {result}

"""


def pgn_game(white, black, result, plies, fen_side="w", termination="time forfeit"):
    fen = f"r1bqkb1r/ppp1pppp/2np1n2/1B6/5P2/4P3/PPPP2PP/RNBQK1NR {fen_side} KQkq - 0 1"
    tag = f'[Termination "{termination}"]\n' if termination else ""
    return GAME.format(white=white, black=black, result=result, fen=fen, plies=plies, termination=tag)


class ParseTest(unittest.TestCase):
    def test_log(self):
        counts = soak.empty_counts()
        soak.parse_log(LOG, counts)
        expected = dict(soak.empty_counts(), games=9, wins=3, draws=2, losses=4, illegal_pv=2, illegal=1,
                        disconnects=2, stalls=1, unfinished=2)
        self.assertEqual(counts, expected)

    def test_pgn_time_forfeits_name_the_side_to_move(self):
        text = "".join([
            pgn_game("Tarvok", "glaurung", "1-0", 67),                       # Black (glaurung) flagged
            pgn_game("glaurung", "Tarvok", "1/2-1/2", 98),                   # White (glaurung), a draw
            pgn_game("glaurung", "Tarvok", "1-0", 67),                       # Black (Tarvok) flagged
            pgn_game("Tarvok-2", "Tarvok", "0-1", 10, fen_side="b"),         # Black to move at the end
            pgn_game("Tarvok", "glaurung", "0-1", 41, termination=""),       # mate: no forfeit
            pgn_game("Tarvok", "glaurung", "*", 41),                         # unfinished: not counted
        ])
        counts = soak.empty_counts()
        soak.parse_pgn(text, counts)
        self.assertEqual((counts["pgn_games"], counts["forfeits"]), (5, 2))

    def test_limits(self):
        def row(tc, **values):
            return (("uci", "glaurung", "off", tc), dict(soak.empty_counts(), games=100, **values))
        self.assertEqual(soak.failures([row("2+0.02", forfeits=1), row("10+0.1"), row("st=1")]), [])
        # The fast share is over all fast games: 2 losses in 200 games pass, 3 do not.
        self.assertEqual(soak.failures([row("2+0.02", forfeits=2), row("1+0.01")]), [])
        self.assertEqual(len(soak.failures([row("2+0.02", forfeits=2), row("1+0.01", forfeits=1)])), 1)
        broken = soak.failures([row("2+0.02", forfeits=2), row("10+0.1", forfeits=1), row("40/20", stalls=1),
                                row("depth=6", illegal_pv=1), row("st=1", unfinished=1)])
        self.assertEqual(len(broken), 5)
        text, ok = soak.report_text([row("2+0.02", forfeits=2)])
        self.assertFalse(ok)
        self.assertIn("| all ", text)


if __name__ == "__main__":
    unittest.main()
