// SPDX-License-Identifier: GPL-3.0-or-later
// Pawn structure terms: doubled, isolated, backward and passed pawns with
// their blockade, support and king-distance adjustments, and the blocked
// centre pawns (which are patterns).
#include "eval_fixture.h"

namespace tarvok::test {
namespace {

class EvalPawns : public EvalFixture {};

TEST_F(EvalPawns, DoubledAndIsolated) {
    // White a2, a3, a4: the two rear pawns are doubled (-10 each), all three
    // isolated (-20 each); Black a7 stops them from being passed and is
    // isolated itself.
    EvalTerms t = termsOf("4k3/p7/8/8/P7/P7/P7/4K3 w - - 0 1");
    EXPECT_EQ(t.pawnStructure[WHITE], -80);
    EXPECT_EQ(t.pawnStructure[BLACK], -20);

    // A lone a2 pawn is isolated, not also backward.
    t = termsOf("4k3/p7/8/8/8/8/P7/4K3 w - - 0 1");
    EXPECT_EQ(t.pawnStructure[WHITE], -20);
}

TEST_F(EvalPawns, BackwardNeedsEveryNeighbourFrontAhead) {
    // c3 is backward (its only neighbour front, d4, is ahead); d4 is not
    // (c3 is behind it). Black c7 and d7 keep both from being passed.
    EvalTerms t = termsOf("4k3/2pp4/8/8/3P4/2P5/8/4K3 w - - 0 1");
    EXPECT_EQ(t.pawnStructure[WHITE], -10);
    EXPECT_EQ(t.pawnStructure[BLACK], 0);
}

TEST_F(EvalPawns, PassedSeesOnlyFrontPawns) {
    // e4 counts as passed: the Black front of the d-file is d3, behind it,
    // although d6 covers e5. Stage 3, b = 40, kings a1 and h8:
    //   e4: isolated -20 + 40 + 2*d(e4,h8)=8 - d(e4,a1)=4        = 24
    //   d3: isolated -20, passed b = 160, + 2*d(d3,a1)=6 - d(d3,h8)=5 = 141
    //   d6: doubled -10, isolated -20, not passed (e4 ahead)      = -30
    EvalTerms t = termsOf("7k/8/3p4/8/4P3/3p4/8/K7 w - - 0 1");
    EXPECT_EQ(t.pawnStructure[WHITE], 24);
    EXPECT_EQ(t.pawnStructure[BLACK], 111);
}

TEST_F(EvalPawns, PassedBonusByStageAndBlockade) {
    // e7, isolated -20, + 2*d(e7,g8)=4 - d(e7,g1)=6, plus the bonus.
    // Opening (phase 21): bonus 100; with a rook on e8 half is taken back.
    EXPECT_EQ(termsOf("rnbq1rk1/4P3/8/8/8/6N1/8/RNBQ1RK1 w - - 0 1").pawnStructure[WHITE], 78);
    EXPECT_EQ(board.stage, 0u);
    EXPECT_EQ(termsOf("rnbqr1k1/4P3/8/8/8/6N1/8/RNBQ1RK1 w - - 0 1").pawnStructure[WHITE], 28);
    // Endgame: bonus 200, blockaded 100.
    EXPECT_EQ(termsOf("r5k1/4P3/8/8/8/8/8/6K1 w - - 0 1").pawnStructure[WHITE], 178);
    EXPECT_EQ(board.stage, 2u);
    EXPECT_EQ(termsOf("4r1k1/4P3/8/8/8/8/8/6K1 w - - 0 1").pawnStructure[WHITE], 78);
}

TEST_F(EvalPawns, SupportFromBesideOrBehindOnly) {
    // d5 supported by c4 (one rank behind): 100 + 8 - 4 + 50 = 154;
    // c4 backward -10, passed 40 + 10 - 3, unsupported (d5 is ahead) = 37.
    EXPECT_EQ(termsOf("7k/8/8/3P4/2P5/8/8/K7 w - - 0 1").pawnStructure[WHITE], 191);
    // With c6 instead, d5 is unsupported and backward: 100 + 8 - 4 - 10 = 94;
    // c6 is supported by d5: 160 + 10 - 5 + 80 = 245.
    EXPECT_EQ(termsOf("7k/8/2P5/3P4/8/8/8/K7 w - - 0 1").pawnStructure[WHITE], 339);
}

TEST_F(EvalPawns, BlackPawnsMirrorTheRules) {
    // Black d4 passed (stage 2, relative rank 4: b = 100), stop square d3
    // holds a White knight (-50), supported by e5 (+50),
    // + 2*d(d4,a1)=6 - d(d4,h8)=4: 100 - 50 + 50 + 2 = 102.
    // e5: passed, relative rank 3: b = 40, + 2*d(e5,a1)=8 - d(e5,h8)=3,
    // backward (d4 ahead, f empty) -10, support by d4? d4 is ahead: no = 35.
    EvalTerms t = termsOf("7k/8/8/4p3/3p4/3N4/8/K7 b - - 0 1");
    EXPECT_EQ(t.pawnStructure[BLACK], 137);
}

TEST_F(EvalPawns, PawnsOnTheEdgeRanksAndMissingKings) {
    // White a8 and Black h1: passed with bonus 0; the stop squares lie off
    // the board. a8: -20 + 2*d(a8,e8)=8 - d(a8,e1)=7; h1: -20 + 6 - 7.
    EvalTerms t = termsOf("P3k3/8/8/8/8/8/8/4K2p w - - 0 1");
    EXPECT_EQ(t.pawnStructure[WHITE], -19);
    EXPECT_EQ(t.pawnStructure[BLACK], -21);
    // No White king: its distance is not counted (e1 is not a king).
    // e2: -20 + 10 + 2*d(e2,d5)=6.
    t = termsOf("8/8/8/3k4/8/8/4P3/8 w - - 0 1");
    EXPECT_EQ(t.pawnStructure[WHITE], -4);
}

TEST_F(EvalPawns, BlockedCentrePawnsAnyOccupant) {
    // d2 blocked by an own bishop, e7 by an own knight: -20 each.
    EvalTerms t = termsOf("4k3/4p3/4n3/8/8/3B4/3P4/4K3 w - - 0 1");
    EXPECT_EQ(t.patterns[WHITE], -20);
    EXPECT_EQ(t.patterns[BLACK], -20);
    // An enemy piece blocks as well; both centre pawns count.
    t = termsOf("4k3/8/8/8/8/3nn3/3PP3/4K3 w - - 0 1");
    EXPECT_EQ(t.patterns[WHITE], -40);
    EXPECT_EQ(t.patterns[BLACK], 0);
    // A pawn that has left d2 is not blocked.
    t = termsOf("4k3/8/8/8/3n4/3P4/8/4K3 w - - 0 1");
    EXPECT_EQ(t.patterns[WHITE], 0);
}

}  // namespace
}  // namespace tarvok::test
