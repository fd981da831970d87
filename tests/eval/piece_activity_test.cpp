// SPDX-License-Identifier: GPL-3.0-or-later
// Piece activity: mobility and safe mobility against the right threat sets,
// tropism, outposts, rook files, the seventh rank, trapped pieces and rooks
// shut in by their king.
#include "eval_fixture.h"

namespace tarvok::test {
namespace {

class EvalPieces : public EvalFixture {};

TEST_F(EvalPieces, StartPositionKnightsOnly) {
    EvalTerms t = termsOf("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    for (int colour = BLACK; colour <= WHITE; ++colour) {
        EXPECT_EQ(t.mobility[colour], 4);
        EXPECT_EQ(t.safeMobility[colour], 4);
        EXPECT_EQ(t.tropism[colour], 0);
        EXPECT_EQ(t.placement[colour], 0);
        EXPECT_EQ(t.patterns[colour], 0);
    }
}

TEST_F(EvalPieces, KnightMobilityTropismAndOutpost) {
    // Ne5 reaches 8 squares, f7 (enemy) included; g6 is attacked by the f7
    // pawn, so 7 are safe. d(e5,e8) = 3: tropism 20. Defended by d4 and not
    // attackable by a Black pawn: outpost 32.
    EvalTerms t = termsOf("4k3/5p2/8/4N3/3P4/8/8/4K3 w - - 0 1");
    EXPECT_EQ(t.mobility[WHITE], 8);
    EXPECT_EQ(t.safeMobility[WHITE], 7);
    EXPECT_EQ(t.tropism[WHITE], 20);
    EXPECT_EQ(t.placement[WHITE], 32);

    // An own pawn on f3 takes one square away from both counts.
    t = termsOf("4k3/5p2/8/4N3/3P4/5P2/8/4K3 w - - 0 1");
    EXPECT_EQ(t.mobility[WHITE], 7);
    EXPECT_EQ(t.safeMobility[WHITE], 6);

    // A Black pawn on f6 attacks e5: no outpost.
    t = termsOf("4k3/8/5p2/4N3/3P4/8/8/4K3 w - - 0 1");
    EXPECT_EQ(t.placement[WHITE], 0);
    EXPECT_EQ(t.safeMobility[WHITE], 8);

    // Without the defending pawn: no outpost either.
    t = termsOf("4k3/p7/8/4N3/8/8/8/4K3 b - - 0 1");
    EXPECT_EQ(t.placement[WHITE], 0);

    // Black's table is mirrored: Nd4 defended by e5 is a 32 outpost.
    t = termsOf("4k3/8/8/4p3/3n4/8/8/4K3 b - - 0 1");
    EXPECT_EQ(t.placement[BLACK], 32);
}

TEST_F(EvalPieces, RookFiles) {
    EXPECT_EQ(termsOf("4k3/8/8/8/8/8/8/R3K3 w - - 0 1").placement[WHITE], 15);
    EXPECT_EQ(termsOf("4k3/p7/8/8/8/8/8/R3K3 w - - 0 1").placement[WHITE], 10);
    EXPECT_EQ(termsOf("4k3/p7/8/8/8/8/P7/R3K3 w - - 0 1").placement[WHITE], 0);
    EXPECT_EQ(termsOf("4k3/8/8/8/8/8/P7/R3K3 w - - 0 1").placement[WHITE], 0);
    // Black's rook on a file with only a White pawn: half-open.
    EXPECT_EQ(termsOf("r3k3/8/8/8/8/8/P7/4K3 w - - 0 1").placement[BLACK], 10);
}

TEST_F(EvalPieces, SeventhRank) {
    // Ra7 with the Black king on g8: +20 on top of the open file's 15.
    EXPECT_EQ(termsOf("6k1/R7/8/8/8/8/8/4K3 w - - 0 1").placement[WHITE], 35);
    // King on g7 and no Black pawn on rank 7: file only.
    EXPECT_EQ(termsOf("8/R5k1/8/8/8/8/8/4K3 w - - 0 1").placement[WHITE], 15);
    // A Black pawn on rank 7 is a target even with the king away.
    EXPECT_EQ(termsOf("8/R5p1/6k1/8/8/8/8/4K3 w - - 0 1").placement[WHITE], 35);
    // Queen: +10; Black rook on rank 2 against a king on rank 1: +20 + 15.
    EXPECT_EQ(termsOf("6k1/Q7/8/8/8/8/8/4K3 w - - 0 1").placement[WHITE], 10);
    EXPECT_EQ(termsOf("4k3/8/8/8/8/8/r7/4K3 b - - 0 1").placement[BLACK], 35);
    // No Black king at all: its start square e8 is not a target, and nothing
    // is near it (tropism 0) or attacked around it (king safety 0).
    EvalTerms t = termsOf("8/R7/8/8/8/8/p7/4K3 b - - 0 1");
    EXPECT_EQ(t.placement[WHITE], 10);
    EXPECT_EQ(t.tropism[WHITE], 0);
    EXPECT_EQ(t.kingSafety[BLACK], 0);
}

TEST_F(EvalPieces, SafeMobilityThreatSets) {
    // Qa1 reaches a2, a3 and b1. A Black queen on a3 attacks a2 and the Black
    // king on b4 attacks a3; neither is in the queen's threat set.
    EvalTerms t = termsOf("8/8/8/8/1k6/q7/1P6/Q1K5 w - - 0 1");
    EXPECT_EQ(t.mobility[WHITE], 3);
    EXPECT_EQ(t.safeMobility[WHITE], 3);
    EXPECT_EQ(t.tropism[WHITE], 20);
    // A Black rook on a3 does threaten a2.
    t = termsOf("8/8/8/8/1k6/r7/1P6/Q1K5 w - - 0 1");
    EXPECT_EQ(t.mobility[WHITE], 3);
    EXPECT_EQ(t.safeMobility[WHITE], 2);

    // Ra1 reaches a2 and b1. A Black bishop on d5 attacks a2 and is in the
    // rook's threat set; a Black queen there is not.
    t = termsOf("4k3/8/8/3b4/8/P7/8/R1K5 w - - 0 1");
    EXPECT_EQ(t.mobility[WHITE], 2);
    EXPECT_EQ(t.safeMobility[WHITE], 1);
    t = termsOf("4k3/8/8/3q4/8/P7/8/R1K5 w - - 0 1");
    EXPECT_EQ(t.mobility[WHITE], 2);
    EXPECT_EQ(t.safeMobility[WHITE], 2);

    // A knight fears only pawns: Na1 reaches b3 and c2. A Black rook on c5
    // attacking c2 is ignored; a Black pawn on c4 attacking b3 is not.
    t = termsOf("4k3/8/8/2r5/8/8/8/N3K3 b - - 0 1");
    EXPECT_EQ(t.safeMobility[WHITE], 2);
    t = termsOf("4k3/8/8/8/2p5/8/8/N3K3 b - - 0 1");
    EXPECT_EQ(t.safeMobility[WHITE], 1);
}

TEST_F(EvalPieces, TrappedMinors) {
    EXPECT_EQ(termsOf("4k3/Np6/p7/8/8/8/8/4K3 b - - 0 1").patterns[WHITE], -100);
    EXPECT_EQ(termsOf("4k3/Np6/8/8/8/8/8/4K3 b - - 0 1").patterns[WHITE], 0);
    EXPECT_EQ(termsOf("4k3/8/8/8/8/7P/6Pn/4K3 w - - 0 1").patterns[BLACK], -100);
    EXPECT_EQ(termsOf("4k3/B7/1p6/8/8/8/8/4K3 b - - 0 1").patterns[WHITE], -100);
    EXPECT_EQ(termsOf("4k3/7B/6p1/8/8/8/8/4K3 b - - 0 1").patterns[WHITE], -100);
    EXPECT_EQ(termsOf("4k3/8/8/8/8/1P6/b7/4K3 w - - 0 1").patterns[BLACK], -100);
    // Both corners at once count twice.
    EXPECT_EQ(termsOf("4k3/Np4pN/p6p/8/8/8/8/4K3 b - - 0 1").patterns[WHITE], -200);
}

TEST_F(EvalPieces, RookShutInByKing) {
    // Middle game (phase 16): king g1 with rook h1.
    EvalTerms t = termsOf("r2q1rk1/8/8/8/8/8/8/R2Q2KR w - - 0 1");
    EXPECT_EQ(board.stage, 1u);
    EXPECT_EQ(t.patterns[WHITE], -50);
    EXPECT_EQ(t.patterns[BLACK], 0);  // the f8 rook is not shut in
    // Endgame stage: no penalty.
    EXPECT_EQ(termsOf("6k1/8/8/8/8/8/8/6KR w - - 0 1").patterns[WHITE], 0);
    // King c1 with rooks a1 and b1: once only.
    EXPECT_EQ(termsOf("r2q1rk1/8/8/8/8/8/8/RRKQ4 w - - 0 1").patterns[WHITE], -50);
    // Black king b8 with a rook on a8.
    EXPECT_EQ(termsOf("rk1q3r/8/8/8/8/8/8/R2QK2R w - - 0 1").patterns[BLACK], -50);
    // A king on the e-file is never tested.
    EXPECT_EQ(termsOf("r2qk2r/8/8/8/8/8/8/R2QK2R w - - 0 1").patterns[WHITE], 0);
}

}  // namespace
}  // namespace tarvok::test
