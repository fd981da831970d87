// SPDX-License-Identifier: GPL-3.0-or-later
// Exchange balances on hand-made positions: plain and defended captures,
// x-rays behind the mover and behind recapturers on files and diagonals,
// least-valuable recaptures, en passant, promotions and a king that may not
// recapture into an attack.
#include <gtest/gtest.h>

#include "search/recording_engine.h"

namespace tarvok::test {
namespace {

struct ExchangeCase {
    const char* name;
    const char* fen;
    const char* move;
    int expected;
};

const ExchangeCase kCases[] = {
    {"QueenTakesPawnDefendedByPawn", "4k3/8/3p4/4p3/8/8/4Q3/4K3 w - - 0 1", "e2e5", 100 - 975},
    {"PawnTakesDefendedKnight", "4k3/8/4p3/3n4/4P3/8/8/4K3 w - - 0 1", "e4d5", 325 - 100},
    {"BlackPawnTakesDefendedKnight", "6k1/8/8/4p3/3N4/2P5/8/6K1 b - - 0 1", "e5d4", 225},
    {"RookBehindMoverOnFile", "3r2k1/8/8/3n4/8/8/3R4/3RK3 w - - 0 1", "d2d5", 325},
    {"QueenBehindRecapturerOnFile", "3q2k1/3r4/8/3n4/8/8/3R4/3RK3 w - - 0 1", "d2d5", -175},
    {"QueenBehindMoverOnDiagonal", "k7/6b1/8/4p3/8/2B5/1Q6/4K3 w - - 0 1", "c3e5", 100},
    {"XRaysOnBothDiagonals", "k6q/6b1/8/4p3/8/2B5/1Q6/4K3 w - - 0 1", "c3e5", -225},
    {"LeastValuableRecapturerFirst", "3q2k1/8/5n2/3p4/8/2N5/8/3R2K1 w - - 0 1", "c3d5", -225},
    {"EnPassantOpensTheFile", "6k1/2p5/8/3pP3/8/8/8/3RK3 w - d6 0 1", "e5d6", 100},
    {"BlackEnPassantOpensTheFile", "4r1k1/8/8/8/3pP3/8/5P2/6K1 b - e3 0 1", "d4e3", 100},
    {"PromotionIntoRookAttack", "r6k/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8q", -100},
    {"PromotionBackedThroughItsOwnSquare", "r6k/4P3/8/8/8/8/8/4R1K1 w - - 0 1", "e7e8q", 400},
    {"PromotionCaptureCountsOnlyThePromotion", "5n1k/4P3/8/8/8/8/8/K7 w - - 0 1", "e7f8q", 875},
    {"UnderPromotion", "5n1k/4P3/8/8/8/8/8/K7 w - - 0 1", "e7e8n", 225},
    {"KingMayNotRecaptureIntoAttack", "6k1/5p2/8/8/2B5/8/8/5RK1 w - - 0 1", "f1f7", 100},
    {"KingRecapturesUndefendedSquare", "6k1/5p2/8/8/8/8/8/5RK1 w - - 0 1", "f1f7", -400},
};

class SearchStaticExchange : public ::testing::TestWithParam<ExchangeCase> {};

TEST_P(SearchStaticExchange, BalanceForTheMover) {
    const ExchangeCase& c = GetParam();
    auto engine = makeRecordingEngine(c.fen);
    const Move move = findMove(*engine, c.move);
    ASSERT_NE(move, NO_MOVE) << c.move << " is not generated in " << c.fen;
    EXPECT_EQ(engine->staticExchange(move), c.expected);
}

INSTANTIATE_TEST_SUITE_P(SearchPositions, SearchStaticExchange, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ExchangeCase>& param) { return param.param.name; });

TEST(SearchStaticExchangeBoard, LeavesTheBoardUntouched) {
    auto engine = makeRecordingEngine("k6q/6b1/8/4p3/8/2B5/1Q6/4K3 w - - 0 1");
    const HashKey key = engine->board.hashKey;
    const Bitboard occupied = engine->board.occupied;
    engine->staticExchange(findMove(*engine, "c3e5"));
    EXPECT_EQ(engine->board.hashKey, key);
    EXPECT_EQ(engine->board.occupied, occupied);
    EXPECT_TRUE(engine->board.isConsistent());
}

}  // namespace
}  // namespace tarvok::test
