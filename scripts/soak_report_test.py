#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks soak_report.py on game directories built from texts that xboard
4.9 and polyglot 2.0 really wrote (forfeits, flags, crashes, hangs).
Run: python3 scripts/soak_report_test.py"""

import io
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import soak_report  # noqa: E402

PGN = """[Event "Computer Chess Game"]
[Site "vm"]
[Round "1"]
[White "{white}"]
[Black "{black}"]
[Result "{result}"]
[TimeControl "5+0"]

1. c4 {{+0.17/6}} f5 {{+0.24/5 0.2}} 2. Nc3 {{+0.26/5 0.3}} a6
{{+0.07/5 0.2}}
{{{reason}}} {result}
"""

DEBUG = """12198 >first : time 333
12198 >first : otim 397
12198 >first : b8d7
12366 <first :  4     55        7      22721 f3d4 c7c5 d5c6 b7c6
12366 <second:  3     10        0        900 c7c5
{engine_line}
GameEnds(27, {reason}, 4)
12367 >first : result {result} {{{reason}}}
"""


class GameDirs:
    """Writes one game directory in the layout of scripts/soak.sh."""

    def __init__(self, root):
        self.root = root
        self.count = 0

    def make(self, side="first", result="1-0", reason="Xboard adjudication: Checkmate",
             first="Tarvok", second="Fairy-Max", status=0, exit_codes=(1, 1),
             engine_line="12366 <first : move f3d4", stderr="", polyglot="",
             pgn=True):
        self.count += 1
        d = os.path.join(self.root, "game%03d-xboard-test-ponderoff" % self.count)
        for sub in ("first", "second"):
            os.makedirs(os.path.join(d, sub))
        with open(os.path.join(d, "meta.txt"), "w") as f:
            f.write("tarvok_side=%s\nfirst_name=%s\nsecond_name=%s\nprotocol=xboard\n"
                    "opponent=test\nponder=off\ntime_limit=190\nxboard_status=%d\n"
                    % (side, first, second, status))
        if pgn:
            with open(os.path.join(d, "game.pgn"), "w") as f:
                f.write(PGN.format(white=first, black=second, result=result, reason=reason))
        with open(os.path.join(d, "xboard.debug"), "w") as f:
            f.write(DEBUG.format(engine_line=engine_line, reason=reason, result=result))
        for sub, code in zip(("first", "second"), exit_codes):
            if code is not None:
                with open(os.path.join(d, sub, "exit_status"), "w") as f:
                    f.write("%d\n" % code)
        with open(os.path.join(d, "first", "stderr.log"), "w") as f:
            f.write(stderr)
        if polyglot:
            with open(os.path.join(d, "first", "polyglot.log"), "w") as f:
                f.write(polyglot)
        return d


class ReportTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dirs = GameDirs(self.tmp.name)

    def tearDown(self):
        self.tmp.cleanup()

    def game(self, **kw):
        return soak_report.Game(self.dirs.make(**kw))

    def test_scores_follow_tarvoks_colour(self):
        self.assertEqual(self.game(side="first", result="1-0").score, "+")
        self.assertEqual(self.game(side="second", first="Fairy-Max", second="Tarvok",
                                   result="1-0").score, "-")
        self.assertEqual(self.game(result="1/2-1/2", reason="Xboard adjudication: repetition draw").score, "=")
        # Self-play counts from Tarvok A, whichever colour it had.
        self.assertEqual(self.game(side="both", first="Tarvok B", second="Tarvok A",
                                   result="0-1").score, "+")

    def test_clean_game_has_no_failure(self):
        g = self.game()
        self.assertEqual(g.failures, [])
        self.assertEqual(g.reason, "Xboard adjudication: Checkmate")

    def test_illegal_moves_are_charged_to_the_side_that_lost(self):
        forfeit = "Xboard: Forfeit due to invalid move: a1a5 (a1a5 via `0, `0) res=24"
        self.assertEqual(self.game(result="0-1", reason=forfeit).kinds(), ["illegal"])
        # Fairy-Max's forfeit against Tarvok is only a note.
        g = self.game(result="1-0", reason=forfeit)
        self.assertEqual(g.kinds(), [])
        self.assertTrue(any("opponent" in n for n in g.notes))
        claim = self.game(result="0-1", reason="False illegal-move claim",
                          engine_line="12366 <first : Illegal move: e2e4")
        self.assertEqual([k for k, _, _ in claim.failures], ["illegal"])
        resign = self.game(result="1-0",
                           reason="polyglot: resign (illegal engine move by black: e7e9)",
                           side="second", first="Fairy-Max", second="Tarvok")
        self.assertEqual(resign.kinds(), ["illegal"])

    def test_illegal_move_reply_from_tarvok_fails_even_when_game_goes_on(self):
        g = self.game(engine_line="12366 <first : Illegal move: e7e8q")
        self.assertEqual(g.kinds(), ["illegal"])
        # The same line from the opponent's side does not.
        g = self.game(engine_line="12366 <second: Illegal move: e7e8q")
        self.assertEqual(g.kinds(), [])

    def test_time_forfeits_by_either_wording(self):
        self.assertEqual(self.game(result="0-1", reason="Black wins on time").kinds(), ["time"])
        self.assertEqual(self.game(result="0-1", reason="White's flag fell").kinds(), ["time"])
        g = self.game(result="1-0", reason="White wins on time")
        self.assertEqual(g.kinds(), [])
        self.assertTrue(any("opponent lost on time" in n for n in g.notes))
        self.assertEqual(self.game(side="both", first="Tarvok A", second="Tarvok B",
                                   result="1-0", reason="White wins on time").kinds(), ["time"])

    def test_crashes_from_exit_status_stderr_and_gui_messages(self):
        self.assertEqual(self.game(exit_codes=(139, 1), result="0-1",
                                   reason="Black wins on time").kinds(), ["crash", "time"])
        self.assertEqual(self.game(exit_codes=(0, 1)).kinds(), ["crash"])
        self.assertEqual(self.game(stderr="==1==ERROR: AddressSanitizer: heap-buffer-overflow\n").kinds(),
                         ["crash"])
        # The GUI's own TERM after "quit" and the opponent's crash are not ours.
        self.assertEqual(self.game(exit_codes=(143, 1)).kinds(), [])
        self.assertEqual(self.game(exit_codes=(1, 139)).kinds(), [])
        g = self.game(engine_line="Error writing to first chess program")
        self.assertEqual(g.kinds(), ["crash"])

    def test_polyglot_log_names_illegal_engine_moves(self):
        log = "0.100 Engine->Adapter: bestmove e7e9\n0.101 POLYGLOT ILLEGAL MOVE \"e7e9\"\n"
        self.assertEqual(self.game(polyglot=log).kinds(), ["illegal"])

    def test_hangs_from_timeout_and_unfinished_games(self):
        self.assertEqual(self.game(status=124, result="*", reason="xboard exit (Clocks: 3, 4)",
                                   exit_codes=(None, None)).kinds(), ["hang"])
        self.assertEqual(self.game(pgn=False, status=1).kinds(), ["hang"])

    def test_report_counts_games_and_sets_exit_status(self):
        self.dirs.make()
        self.dirs.make(result="1/2-1/2", reason="Xboard adjudication: repetition draw")
        out = io.StringIO()
        self.assertEqual(soak_report.report(self.tmp.name, out), 0)
        self.assertIn("games played: 2", out.getvalue())
        self.dirs.make(result="0-1", reason="Black wins on time")
        out = io.StringIO()
        self.assertEqual(soak_report.report(self.tmp.name, out), 1)
        text = out.getvalue()
        self.assertIn("Tarvok time forfeits 1", text)
        self.assertIn("12198 >first : b8d7", text)   # evidence from the debug log
        empty = tempfile.TemporaryDirectory()
        self.assertEqual(soak_report.report(empty.name, io.StringIO()), 1)
        empty.cleanup()

    def test_pgn_parsing_takes_the_final_comment_and_result(self):
        tags, result, reason = soak_report.parse_pgn(
            PGN.format(white="A", black="B", result="1-0", reason="White mates"))
        self.assertEqual((tags["White"], result, reason), ("A", "1-0", "White mates"))
        self.assertIsNone(soak_report.parse_pgn(""))


if __name__ == "__main__":
    unittest.main()
