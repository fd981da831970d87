// SPDX-License-Identifier: GPL-3.0-or-later
// The piece-square values the Board sums up, read through positions.
#include <gtest/gtest.h>

#include "board/board_test_helpers.h"
#include "eval/piece_square.h"

namespace tarvok::test {
namespace {

class PieceSquareSums : public BoardTest {};

// Middle-game and endgame value of one piece, as the Board sums it: the sum
// with the piece minus the sum of the kings alone.
std::pair<int, int> valueOf(const char* withPiece, const char* kingsOnly, int colour) {
    auto with = boardFromFen(withPiece);
    auto without = boardFromFen(kingsOnly);
    return {with->middleGameSum[colour] - without->middleGameSum[colour],
            with->endgameSum[colour] - without->endgameSum[colour]};
}

TEST_F(PieceSquareSums, StartPositionIsSymmetric) {
    Board board;
    board.setStartArray();
    EXPECT_EQ(board.middleGameSum[WHITE], board.middleGameSum[BLACK]);
    EXPECT_EQ(board.endgameSum[WHITE], board.endgameSum[BLACK]);
    EXPECT_TRUE(board.isConsistent());
}

TEST_F(PieceSquareSums, ValuesOfSingleSquares) {
    const char* kings = "k7/8/8/8/8/8/8/K7 w - - ";
    EXPECT_EQ(valueOf("k7/8/8/8/8/8/4P3/K7 w - - ", kings, WHITE).first, -10);
    EXPECT_EQ(valueOf("k7/4p3/8/8/8/8/8/K7 w - - ", kings, BLACK).first, -10);
    EXPECT_EQ(valueOf("k7/8/8/8/4P3/8/8/K7 w - - ", kings, WHITE).first, 12);
    EXPECT_EQ(valueOf("k7/8/8/4p3/8/8/8/K7 w - - ", kings, BLACK).first, 12);
    EXPECT_EQ(valueOf("k7/8/8/8/8/8/8/K2Q4 w - - ", kings, WHITE), std::make_pair(-10, -2));
    EXPECT_EQ(valueOf("k2q4/8/8/8/8/8/8/K7 w - - ", kings, BLACK), std::make_pair(-10, -2));
    EXPECT_EQ(valueOf("k7/8/8/8/8/8/8/K6R w - - ", kings, WHITE), std::make_pair(-4, 0));
    EXPECT_EQ(valueOf("k7/8/8/8/3N4/8/8/K7 w - - ", kings, WHITE), std::make_pair(8, 8));
    // Kings: g1 and g8 score 32 in the middle game, g2 scores -32.
    auto board = boardFromFen("6k1/8/8/8/8/8/8/6K1 w - - ");
    EXPECT_EQ(board->middleGameSum[WHITE], 32);
    EXPECT_EQ(board->middleGameSum[BLACK], 32);
    EXPECT_EQ(board->endgameSum[WHITE], -30);
    board = boardFromFen("6k1/8/8/8/8/8/6K1/8 w - - ");
    EXPECT_EQ(board->middleGameSum[WHITE], -32);
    EXPECT_EQ(board->endgameSum[WHITE], 0);
    for (int colour = 0; colour < 2; ++colour)
        for (int square = 0; square < 64; ++square)
            for (int code : {0, 7}) {
                EXPECT_EQ(kPieceSquare.middleGame[colour][code][square], 0);
                EXPECT_EQ(kPieceSquare.endgame[colour][code][square], 0);
            }
}

}  // namespace
}  // namespace tarvok::test
