// SPDX-License-Identifier: GPL-3.0-or-later
// Full scores worked out by hand, term by term, so that a wrong weight or a
// wrong order of the attack sets cannot hide behind colour symmetry.
#include "eval_fixture.h"

namespace tarvok::test {
namespace {

class EvalHandScored : public EvalFixture {};

TEST_F(EvalHandScored, KingAndPawnEndgame) {
    // Stage 3, both blend weights 0 (endgame tables only).
    // Material: White 100, Black bare king 0 - 50 = -50.
    // Blend: Kd3 16, Ke6 16.                        S = 150
    // Pawn e2: isolated -20, passed 10, + 2*d(e2,e6)=8 - d(e2,d3)=1 = -3
    // No pieces; no zone square attacked.        Total = 147
    EXPECT_EQ(fullScore("8/8/4k3/8/8/3K4/4P3/8 w - - 0 1"), 147);
    // The bare king to move cannot win: drawScore.
    EXPECT_EQ(fullScore("8/8/4k3/8/8/3K4/4P3/8 b - - 0 1"), 0);
}

TEST_F(EvalHandScored, RookOnTheSeventh) {
    // Stage 2. Material 800 - 300; blend -30 - -30.           S = 500
    // Pawns f2-h2 and f7-h7: none doubled, isolated, backward or passed.
    // Ra7: a8, a6-a1, b7-f7: mobility 12, all safe (Black pawns attack
    // rank 6 only): 12 + 2*12 = 36; tropism d = 6: 0.
    // Placement: open a-file 15 + seventh (king g8) 20 = 35.
    // Zone of g8: f7 attacked by the rook: Black -10, unscaled.
    // Total = 500 + 36 + 35 + 10 = 581.
    EXPECT_EQ(fullScore("6k1/R4ppp/8/8/8/8/5PPP/6K1 w - - 0 1"), 581);
    EXPECT_EQ(fullScore("6k1/R4ppp/8/8/8/8/5PPP/6K1 b - - 0 1"), -581);
}

TEST_F(EvalHandScored, MiddleGameThreatSets) {
    // Stage 1 (phase 3 + 7). White Kg1 Rd1 Nc3 Pf2 g2 h2; Black Kg8 Qa5 Rd8
    // Bc6 Pf7 g7 h7.
    // Material 1125 - 2100 = -975.
    // Blend: White weight 0, endgame Nc3 2 + Kg1 -30 = -28. Black weight 32:
    //   middle game Bc6 6 + Kg8 32 = 38, endgame Bc6 2 + Qa5 -2 + Kg8 -30
    //   = -30: (38*32 - 30*96) / 128 = -13.        S = -28 + 13 - 975 = -990
    // Pawns: 0 on both sides.
    // Nc3: 7 squares (d1 own), none attacked by Black pawns: 7 / 7.
    // Bc6: b7 a8 d7 e8 b5 a4 d5 e4 f3 g2: 10, f3 under a White pawn: 9 safe.
    // Rd1: d2-d8, c1-a1, e1 f1: 12; d5 and d7 in Black's minor set: 10 safe.
    // Rd8: d7-d1, c8-a8, e8 f8: 12; d5 and d1 in White's minor set: 10 safe.
    // Both rooks on the open d-file: 15 each.
    // Qa5: a6-a8, a4-a1, b5-h5, b6 c7, b4 c3: 18; a4 a2 b5 d5 (knight),
    //   a1 (rook) in White's rook set: 13 safe.
    // Tropism: every distance is 5 or more: 0.
    // Mobility 19 - 40 = -21; safe 17 - 32 = -15, weighted -30.
    // King zones: g2 attacked by the bishop: -10 * 2100 / 4075 = -5; the
    //   Black king's zone is not attacked; shelters are complete.
    // Total = -990 - 21 - 30 - 5 = -1046.
    const char* fen = "3r2k1/5ppp/2b5/q7/8/2N5/5PPP/3R2K1 w - - 0 1";
    EvalTerms t = termsOf(fen);
    EXPECT_EQ(score, -1046);
    EXPECT_EQ(t.safeMobility[BLACK], 32);
    EXPECT_EQ(t.kingSafety[WHITE], -5);
    EXPECT_EQ(fullScore("3r2k1/5ppp/2b5/q7/8/2N5/5PPP/3R2K1 b - - 0 1"), 1046);
}

TEST_F(EvalHandScored, OpeningAfterKingsPawn) {
    // 1. e4, stage 0. Material equal (4125 each).
    // Blend, weight 112: White middle game -80 and endgame -80: -80; Black
    //   -99 as in the start position.                          S = 19
    // Patterns, pawns: 0 (no pawn is backward, passed or blocked).
    // White: Nb1 2, Ng1 3 (e2 is free), Bf1 e2 d3 c4 b5 a6: 5 with a6 under
    //   a Black pawn: 4 safe, Qd1 e2 f3 g4 h5: 4 safe. Mobility 14, safe 13.
    // Black: knights 2 + 2, all safe. Mobility 4, safe 4.
    // Mobility +10, safe +9 weighted +18; queens home, no early-queen malus.
    // Shelter: e-front on rank 4: -25 * 4125 / 4075 = -25.
    // Total = 19 + 10 + 18 - 25 = 22; Black to move: -22.
    EXPECT_EQ(fullScore("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1"), -22);
}

TEST_F(EvalHandScored, MinorPieceEndgame) {
    // Stage 2, weights 0. White Kg1 Bf2 Pc5, Black Kf7 Nd5.
    // Material 425 - 275; blend (-30 + 2) - 8 = -36.          S = 114
    // Pc5: isolated -20, passed 100, + 2*d(c5,f7)=6 - d(c5,g1)=4 = 82.
    // Bf2: g3 h4 e3 d4 e1 (c5, g1 own): 5, all safe.
    // Nd5: 8 squares, b6 under the c5 pawn: 7 safe. No outpost: no Black
    //   pawn defends it.
    // Mobility 5 - 8 = -3; safe 5 - 7 = -2, weighted -4. Zones quiet.
    // Total = 114 + 82 - 3 - 4 = 189.
    EXPECT_EQ(fullScore("8/5k2/8/2Pn4/8/8/5B2/6K1 w - - 0 1"), 189);
    // A lone knight to move: drawScore.
    EXPECT_EQ(fullScore("8/5k2/8/2Pn4/8/8/5B2/6K1 b - - 0 1"), 0);
}

}  // namespace
}  // namespace tarvok::test
