// SPDX-License-Identifier: GPL-3.0-or-later
// The evaluation driver: the insufficient-material exit, adjusted material,
// the piece-square blend with its scale, and the lazy exit's comparisons.
#include "eval/eval_weights.h"
#include "eval_fixture.h"

namespace tarvok::test {
namespace {

class EvalDriver : public EvalFixture {};

constexpr const char* kStart = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
constexpr const char* kStartBlack = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1";

TEST_F(EvalDriver, StartPositionIsLevel) {
    EXPECT_EQ(fullScore(kStart), 0);
    EXPECT_EQ(fullScore(kStartBlack), 0);
}

TEST_F(EvalDriver, InsufficientMaterialOfTheSideToMove) {
    // Bare kings, either side to move.
    EXPECT_EQ(termsOf("8/8/8/4k3/8/8/8/4K3 w - - 0 1").exit, EVAL_EXIT_INSUFFICIENT);
    EXPECT_EQ(score, 0);
    EXPECT_EQ(termsOf("8/8/8/4k3/8/8/8/4K3 b - - 0 1").exit, EVAL_EXIT_INSUFFICIENT);

    // Knight against queen: only the side to move is examined.
    EXPECT_EQ(termsOf("8/8/8/4k3/3q4/8/8/3NK3 w - - 0 1").exit, EVAL_EXIT_INSUFFICIENT);
    EXPECT_EQ(score, 0);
    EvalTerms t = termsOf("8/8/8/4k3/3q4/8/8/3NK3 b - - 0 1");
    EXPECT_EQ(t.exit, EVAL_EXIT_FULL);
    EXPECT_GT(score, 500);

    // Two knights cannot mate; knight and bishop can; two bishops can.
    EXPECT_EQ(termsOf("4k3/8/8/8/8/8/8/1N2K1N1 w - - 0 1").exit, EVAL_EXIT_INSUFFICIENT);
    EXPECT_EQ(termsOf("4k3/8/8/8/8/8/8/1N2KB2 w - - 0 1").exit, EVAL_EXIT_FULL);
    EXPECT_EQ(termsOf("4k3/8/8/8/8/8/8/2B1KB2 w - - 0 1").exit, EVAL_EXIT_FULL);
    EXPECT_EQ(termsOf("4k3/8/8/8/8/8/8/1NN1K1N1 w - - 0 1").exit, EVAL_EXIT_FULL);
    EXPECT_EQ(termsOf("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1").exit, EVAL_EXIT_FULL);
    // The bare side to move against knights is also a draw by this rule.
    EXPECT_EQ(termsOf("4k3/8/8/8/8/8/8/1N2K1N1 b - - 0 1").exit, EVAL_EXIT_INSUFFICIENT);

    // Only in stages 2 and 3: a lone knight against a heavy army (phase 11,
    // stage 1) is evaluated.
    t = termsOf("r2qk2r/8/8/8/8/8/8/1N2K3 w - - 0 1");
    EXPECT_EQ(board.stage, 1u);
    EXPECT_EQ(t.exit, EVAL_EXIT_FULL);
}

TEST_F(EvalDriver, AdjustedMaterial) {
    // Two bishops and no pawns: +50 - 50. The bare Black king: -50.
    EvalTerms t = termsOf("4k3/8/8/8/8/8/8/2B1KB2 w - - 0 1");
    EXPECT_EQ(t.material[WHITE], 650);
    EXPECT_EQ(t.material[BLACK], -50);
    // Bishop pair with a pawn: +50; one bishop with a pawn: no adjustment.
    t = termsOf("4kb2/4p3/8/8/8/8/4P3/2B1KB2 w - - 0 1");
    EXPECT_EQ(t.material[WHITE], 800);
    EXPECT_EQ(t.material[BLACK], 425);
    // Three bishops still earn the pair bonus once.
    t = termsOf("4k3/8/8/8/8/8/4P3/2BBKB2 w - - 0 1");
    EXPECT_EQ(t.material[WHITE], 1125);
}

TEST_F(EvalDriver, BlendScaleAndTruncation) {
    // White Kg1 Qd4 Ra1: phase 6, weight 16. Middle game 32 + 0 - 4 = 28,
    // endgame -30 + 24 + 0 = -6: (28*16 - 6*112) / 128 = -224 / 128 = -1
    // (toward zero, not -2). Black Ke8 alone: weight 0, endgame -30.
    EvalTerms t = termsOf("4k3/8/8/8/3Q4/8/8/R5K1 w - - 0 1");
    EXPECT_EQ(t.blend[WHITE], -1);
    EXPECT_EQ(t.blend[BLACK], -30);
    // Full set: weight 112. Start position: middle game -102, endgame -80:
    // (-102*112 - 80*16) / 128 = -99.
    t = termsOf(kStart);
    EXPECT_EQ(t.blend[WHITE], -99);
    EXPECT_EQ(t.blend[BLACK], -99);
    // Phase 32 lies past the table: clamped to weight 128, so the middle-game
    // sum (0 for queens on rank 8 and a king on a1) stands alone.
    t = termsOf("QQQQQQQQ/8/8/8/8/8/8/K6k b - - 0 1");
    EXPECT_EQ(board.phaseCount[WHITE], 32);
    EXPECT_EQ(t.blend[WHITE], 0);
}

// After 1. e4 without the Black queen. White: material 4125, middle game
// -80, endgame -80, blend -80; Black: material 3150, middle game -92,
// endgame -78, weight 48: (-92*48 - 78*80) / 128 = -83. S = 975 + 3.
constexpr const char* kQueenUp = "rnb1kbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 1";
constexpr const char* kQueenUpBlack = "rnb1kbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1";
constexpr int kQueenUpBase = 978;

TEST_F(EvalDriver, LazyExitReturnsTheBaseScore) {
    ASSERT_TRUE(board.setFromFen(kQueenUp));
    EvalTerms t{};
    EXPECT_EQ(evaluateWithTerms(board, -50, 50, 1, t), kQueenUpBase);
    EXPECT_EQ(t.exit, EVAL_EXIT_LAZY);
    EXPECT_EQ(t.mobility[WHITE], 0);  // nothing after the exit was computed
    EXPECT_EQ(evaluate(board, -50, 50, 1), kQueenUpBase);

    // lazy 0, or any value but 1, evaluates in full.
    const int full = evaluateWithTerms(board, -50, 50, 0, t);
    EXPECT_EQ(t.exit, EVAL_EXIT_FULL);
    EXPECT_NE(full, kQueenUpBase);
    EXPECT_EQ(evaluate(board, -50, 50, 0), full);
    EXPECT_EQ(evaluate(board, -50, 50, 2), full);
    EXPECT_EQ(evaluate(board, -50, 50, -1), full);
}

TEST_F(EvalDriver, LazyExitComparisonsAreStrict) {
    EvalTerms t{};
    // Above beta: v - 299 > beta.
    ASSERT_TRUE(board.setFromFen(kQueenUp));
    evaluateWithTerms(board, -32000, kQueenUpBase - kLazyMargin, 1, t);
    EXPECT_EQ(t.exit, EVAL_EXIT_FULL);
    EXPECT_EQ(evaluateWithTerms(board, -32000, kQueenUpBase - kLazyMargin - 1, 1, t), kQueenUpBase);
    EXPECT_EQ(t.exit, EVAL_EXIT_LAZY);

    // Below alpha, from Black's side: v = -959, v + 299 < alpha.
    ASSERT_TRUE(board.setFromFen(kQueenUpBlack));
    evaluateWithTerms(board, -kQueenUpBase + kLazyMargin, 32000, 1, t);
    EXPECT_EQ(t.exit, EVAL_EXIT_FULL);
    EXPECT_EQ(evaluateWithTerms(board, -kQueenUpBase + kLazyMargin + 1, 32000, 1, t), -kQueenUpBase);
    EXPECT_EQ(t.exit, EVAL_EXIT_LAZY);

    // Inside the window widened by the margin: always full.
    evaluateWithTerms(board, -1000, -900, 1, t);
    EXPECT_EQ(t.exit, EVAL_EXIT_FULL);
}

}  // namespace
}  // namespace tarvok::test
