// SPDX-License-Identifier: GPL-3.0-or-later
// King safety: early queen, pawn shelter, king-zone attacks and the scaling
// by the opponent's adjusted material.
#include "eval_fixture.h"

namespace tarvok::test {
namespace {

class EvalKingSafety : public EvalFixture {};

TEST_F(EvalKingSafety, StartPositionIsSafe) {
    EvalTerms t = termsOf("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    EXPECT_EQ(t.kingSafety[WHITE], 0);
    EXPECT_EQ(t.kingSafety[BLACK], 0);
}

TEST_F(EvalKingSafety, ShelterScaledByFullArmy) {
    // After 1. e4 the e-file front is on rank 4: 25, scaled by 4125 / 4075
    // and truncated: -25.
    EvalTerms t = termsOf("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
    EXPECT_EQ(t.kingSafety[WHITE], -25);
    EXPECT_EQ(t.kingSafety[BLACK], 0);
    // King g1 without the g-pawn: -50 * 4125 / 4075 = -50.
    t = termsOf("rnbqkbnr/pppppppp/8/8/8/8/PPPPPP1P/RNBQ1RK1 w kq - 0 1");
    EXPECT_EQ(board.stage, 0u);
    EXPECT_EQ(t.kingSafety[WHITE], -50);
    // Fronts on the third rank cost 20, on the second nothing: g3 and h3 with
    // f2 in place give -40 * 4125 / 4075 = -40.
    t = termsOf("rnbqkbnr/pppppppp/8/8/8/6PP/PPPPPP2/RNBQ1RK1 w kq - 0 1");
    EXPECT_EQ(t.kingSafety[WHITE], -40);
}

TEST_F(EvalKingSafety, ZoneAndScalingInTheMiddleGame) {
    // Stage 1. White king g3: no shelter; h2, h3, h4 attacked (rook h8,
    // queen d8 via h4): -30 * 1925 / 4075 = -14.
    // Black king e8: no pawns on d, e, f: -150; d8 and d7 attacked by the
    // White queen: -20; -170 * 1925 / 4075 = -80.
    EvalTerms t = termsOf("r2qk2r/8/8/8/8/6K1/8/R2Q3R w - - 0 1");
    EXPECT_EQ(board.stage, 1u);
    EXPECT_EQ(t.kingSafety[WHITE], -14);
    EXPECT_EQ(t.kingSafety[BLACK], -80);
}

TEST_F(EvalKingSafety, ScalingTruncatesTowardZero) {
    // King g1 with only h2: -100 shelter, zone quiet; Black holds eight pawns
    // (800): -100 * 800 / 4075 = -19. Black's zone has d7 and e7 attacked:
    // -20 * 2400 / 4075 = -11.
    EvalTerms t = termsOf("4k3/pppppppp/8/8/8/8/7P/R1BQR1K1 w - - 0 1");
    EXPECT_EQ(board.stage, 1u);
    EXPECT_EQ(t.kingSafety[WHITE], -19);
    EXPECT_EQ(t.kingSafety[BLACK], -11);
    // A front pawn still on its first rank (h1) does not shelter: 25,
    // -25 * 800 / 4075 = -4.
    t = termsOf("4k3/pppppppp/8/8/8/8/5PP1/R1BQR1KP w - - 0 1");
    EXPECT_EQ(t.kingSafety[WHITE], -4);
}

TEST_F(EvalKingSafety, EndgameZoneIsUnscaledAndHasNoShelter) {
    // Rooks on d8 and f8 attack d3-d5 and f3-f5 around Ke4: -60 in stage 2.
    EvalTerms t = termsOf("k2r1r2/8/8/8/4K3/8/P7/8 w - - 0 1");
    EXPECT_EQ(board.stage, 2u);
    EXPECT_EQ(t.kingSafety[WHITE], -60);
    EXPECT_EQ(t.kingSafety[BLACK], 0);
    // A king on its first rank with no pawns gets no shelter malus here.
    t = termsOf("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
    EXPECT_EQ(t.kingSafety[WHITE], 0);
    EXPECT_EQ(t.kingSafety[BLACK], 0);
}

TEST_F(EvalKingSafety, EarlyQueenOnlyInTheOpening) {
    EvalTerms t = termsOf("rnbqkbnr/pppp1ppp/8/4p2Q/4P3/8/PPPP1PPP/RNB1KBNR b KQkq - 1 2");
    EXPECT_EQ(board.stage, 0u);
    EXPECT_EQ(t.placement[WHITE], -20);
    EXPECT_EQ(t.placement[BLACK], 0);
    // Stage 0 without a queen at all also counts (an extra White queen keeps
    // the phase at 24).
    t = termsOf("rnb1kbnr/pppppppp/8/8/8/4Q3/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    EXPECT_EQ(board.stage, 0u);
    EXPECT_EQ(t.placement[BLACK], -20);
    // Stage 1: only the two open-file rooks (15 each) remain.
    t = termsOf("r3k2r/8/8/7Q/8/8/8/R3K2R w - - 0 1");
    EXPECT_EQ(board.stage, 1u);
    EXPECT_EQ(t.placement[WHITE], 30);
}

}  // namespace
}  // namespace tarvok::test
