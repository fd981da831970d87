// SPDX-License-Identifier: GPL-3.0-or-later
// Zobrist keys: distinct piece keys, castling composition, and keys of the
// start position computed three ways.
#include "board/zobrist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "board/board_test_helpers.h"

namespace tarvok::test {
namespace {

class ZobristKeysTest : public BoardTest {};

TEST_F(ZobristKeysTest, AllKeysDistinctAndNonZero) {
    std::vector<HashKey> keys(std::begin(kZobrist.piece), std::end(kZobrist.piece));
    keys.insert(keys.end(), std::begin(kZobrist.castleRight), std::end(kZobrist.castleRight));
    keys.insert(keys.end(), std::begin(kZobrist.enPassant), std::end(kZobrist.enPassant));
    keys.push_back(kZobrist.side);
    for (HashKey key : keys) EXPECT_NE(key, 0u);
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(std::adjacent_find(keys.begin(), keys.end()), keys.end());
    EXPECT_EQ(keys.size(), 768u + 4 + 8 + 1);
    // The row order: Black pawn, White pawn, Black knight, ...
    EXPECT_EQ(pieceKey(BLACK, PAWN, 0), kZobrist.piece[0]);
    EXPECT_EQ(pieceKey(WHITE, PAWN, 0), kZobrist.piece[64]);
    EXPECT_EQ(pieceKey(WHITE, KING, 63), kZobrist.piece[767]);
}

TEST_F(ZobristKeysTest, CastleKeysComposeFromSingleRights) {
    EXPECT_EQ(kZobrist.castle[0], 0u);
    EXPECT_EQ(kZobrist.castle[CASTLE_WK], kZobrist.castleRight[0]);
    EXPECT_EQ(kZobrist.castle[CASTLE_BQ], kZobrist.castleRight[3]);
    for (int rights = 0; rights < 16; ++rights)
        for (int bitIndex = 0; bitIndex < 4; ++bitIndex)
            if (rights & (1 << bitIndex)) {
                EXPECT_EQ(kZobrist.castle[rights] ^ kZobrist.castle[rights & ~(1 << bitIndex)],
                          kZobrist.castleRight[bitIndex]);
            }
}

TEST_F(ZobristKeysTest, KeyFromScratchCoversEveryComponent) {
    auto board = boardFromFen("4k3/8/8/8/4P3/8/8/4K3 b - e3 0 1");
    ASSERT_EQ(board->epFile, 5);
    const HashKey expected = pieceKey(WHITE, KING, sq("e1")) ^ pieceKey(BLACK, KING, sq("e8")) ^
                             pieceKey(WHITE, PAWN, sq("e4")) ^ kZobrist.enPassant[4] ^ kZobrist.side;
    EXPECT_EQ(board->hashKey, expected);
    EXPECT_EQ(board->computeKey(), expected);
    board = boardFromFen("r3k2r/8/8/8/8/8/8/R3K2R w Qk - ");
    EXPECT_EQ(board->hashKey, pieceKey(WHITE, KING, sq("e1")) ^ pieceKey(BLACK, KING, sq("e8")) ^
                                  pieceKey(WHITE, ROOK, sq("a1")) ^ pieceKey(WHITE, ROOK, sq("h1")) ^
                                  pieceKey(BLACK, ROOK, sq("a8")) ^ pieceKey(BLACK, ROOK, sq("h8")) ^
                                  kZobrist.castleRight[1] ^ kZobrist.castleRight[2]);
    // An empty board is White to move with key 0.
    Board empty;
    empty.clear();
    EXPECT_EQ(empty.hashKey, 0u);
}

}  // namespace
}  // namespace tarvok::test
