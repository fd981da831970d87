// SPDX-License-Identifier: GPL-3.0-or-later
// Every position of perft.txt: the leaf counts match the file, and in the
// shallow tree below each one make/unmake restore the board field by field,
// keys and incremental sums stay right, and the fast legal-move counter
// agrees with making the moves.
// Below them the parts the tree rests on: attack tables and Zobrist keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <random>
#include <vector>

#include "board/board_test_helpers.h"
#include "board/game_record.h"
#include "board/legal_count.h"
#include "board/movegen.h"
#include "board/zobrist.h"
#include "test_support/board_compare.h"
#include "test_support/data_files.h"

namespace tarvok::test {
namespace {

class PerftFile : public BoardTest {};

void checkTree(Board& board, int depth, const std::string& fen) {
    MoveList scratch;
    ASSERT_EQ(countLegalMovesFast(board), countLegalMoves(board, scratch)) << fen << " ply " << board.plyCount;
    if (depth == 0) return;
    MoveList list;
    const int count = generateAll(board, list, 0, isInCheck(board, static_cast<int>(board.side)));
    const auto before = std::make_unique<Board>(board);
    for (int i = 0; i < count; ++i) {
        const Move move = list.entries[i].move;
        const int legal = board.makeMove(move);
        ASSERT_TRUE(board.hashKey == board.computeKey() && board.isConsistent()) << fen << " move " << move;
        ASSERT_TRUE(board.plyCount == before->plyCount + 1 &&
                    board.keyHistory[before->keyHistoryCount] == before->hashKey);
        if (legal) checkTree(board, depth - 1, fen);
        board.unmakeMove(move);
        ASSERT_TRUE(sameBoard(*before, board)) << fen << " move " << move;
    }
}

TEST_F(PerftFile, CountsAndMakeUnmakeInEveryPosition) {
    const std::vector<PerftCase> cases = readPerftCases();
    ASSERT_EQ(cases.size(), 174u);
    for (size_t i = 0; i < cases.size(); ++i) {
        const std::string& fen = cases[i].fen;
        ASSERT_GE(cases[i].counts.size(), 4u) << fen;
        auto board = boardFromFen(fen.c_str());
        ASSERT_TRUE(board->isConsistent()) << fen;
        checkTree(*board, 2, fen);
        if (HasFatalFailure()) return;
        for (int depth = 1; depth <= (i < 24 ? 4 : 3); ++depth)
            EXPECT_EQ(perftCount(*board, depth), cases[i].counts[depth - 1]) << fen << " depth " << depth;
    }
}

// Leaper tables and line types from the file and rank distances.
TEST_F(PerftFile, LeaperTablesAndLineTypes) {
    for (int s = 0; s < 64; ++s) {
        for (int t = 0; t < 64; ++t) {
            const int df = fileOf(t) - fileOf(s), dr = rankOf(t) - rankOf(s);
            const int adf = std::abs(df), adr = std::abs(dr);
            SCOPED_TRACE(coordinateText(makeMoveWord(s, t, 0)));
            EXPECT_EQ(knightAttacks[s] >> t & 1, (adf == 1 && adr == 2) || (adf == 2 && adr == 1));
            EXPECT_EQ(kingAttacks[s] >> t & 1, std::max(adf, adr) == 1);
            EXPECT_EQ(pawnAttacks[WHITE][s] >> t & 1, adf == 1 && dr == 1);
            EXPECT_EQ(pawnAttacks[BLACK][s] >> t & 1, adf == 1 && dr == -1);
            const int diagonal = df == dr ? LINE_DIAGONAL : df == -dr ? LINE_ANTIDIAGONAL : LINE_NONE;
            EXPECT_EQ(lineType[s][t], s == t ? LINE_NONE : df == 0 ? LINE_FILE : dr == 0 ? LINE_RANK : diagonal);
        }
    }
}

Bitboard walkRays(int square, Bitboard occupancy, bool rook) {
    static constexpr int kSteps[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    Bitboard attacks = 0;
    for (int ray = rook ? 0 : 4; ray < (rook ? 4 : 8); ++ray) {
        int file = fileOf(square) + kSteps[ray][0], rank = rankOf(square) + kSteps[ray][1];
        for (; file >= 0 && file < 8 && rank >= 0 && rank < 8; file += kSteps[ray][0], rank += kSteps[ray][1]) {
            attacks |= Bitboard{1} << makeSquare(file, rank);
            if (occupancy >> makeSquare(file, rank) & 1) break;
        }
    }
    return attacks;
}

// Slider lookups (PEXT or multiply index, as built) against a plain ray walk
// and against the multiply index: every subset of each square's mask, where a
// multiply slot may only be shared by equal attack sets, then sampled boards
// with pieces off the mask, which must land on the same multiply slot's set.
TEST_F(PerftFile, SliderLookupsAndBitCount) {
    std::mt19937_64 random(20240611);
    constexpr Bitboard kUnset = ~Bitboard{0};
    for (const bool rook : {true, false}) {
        for (int s = 0; s < 64; ++s) {
            const MagicEntry& m = rook ? rookMagics[s] : bishopMagics[s];
            const auto lookup = [&](Bitboard occupancy) {
                return rook ? rookAttacks(s, occupancy) : bishopAttacks(s, occupancy);
            };
            const auto slotOf = [&](Bitboard occupancy) {
                return magicIndex(occupancy, m.mask, m.multiplierLow, m.multiplierHigh, m.shift);
            };
            std::vector<Bitboard> slots(std::size_t{1} << (32 - m.shift), kUnset);
            Bitboard subset = 0;
            do {
                const Bitboard attacks = lookup(subset);
                ASSERT_EQ(attacks, walkRays(s, subset, rook)) << s << " " << subset;
                Bitboard& slot = slots[slotOf(subset)];
                ASSERT_TRUE(slot == kUnset || slot == attacks) << s << " " << subset;
                slot = attacks;
                subset = (subset - m.mask) & m.mask;
            } while (subset != 0);
            for (int trial = 0; trial < 400; ++trial) {
                Bitboard occupancy = random() & random();
                if (trial & 1) occupancy |= random();
                ASSERT_EQ(lookup(occupancy), walkRays(s, occupancy, rook)) << s << " " << occupancy;
                ASSERT_EQ(lookup(occupancy), slots[slotOf(occupancy)]) << s << " " << occupancy;
                ASSERT_EQ(queenAttacks(s, occupancy), rookAttacks(s, occupancy) | bishopAttacks(s, occupancy));
            }
        }
    }
}

TEST_F(PerftFile, ZobristKeys) {
    std::vector<HashKey> keys(std::begin(kZobrist.piece), std::end(kZobrist.piece));
    keys.insert(keys.end(), std::begin(kZobrist.castleRight), std::end(kZobrist.castleRight));
    keys.insert(keys.end(), std::begin(kZobrist.enPassant), std::end(kZobrist.enPassant));
    keys.push_back(kZobrist.side);
    std::sort(keys.begin(), keys.end());
    EXPECT_TRUE(keys[0] != 0 && std::adjacent_find(keys.begin(), keys.end()) == keys.end());
    // The key of a set of rights is the XOR of its single rights.
    EXPECT_EQ(kZobrist.castle[0], 0u);
    for (unsigned rights = 1; rights < 16; ++rights) {
        const HashKey lowest = kZobrist.castleRight[std::countr_zero(rights)];
        EXPECT_EQ(kZobrist.castle[rights] ^ kZobrist.castle[rights & (rights - 1)], lowest) << rights;
    }
    // A key from scratch covers pieces, rights, the en-passant file and the side.
    auto board = boardFromFen("4k3/8/8/8/4P3/8/8/4K3 b - e3 0 1");
    EXPECT_EQ(board->computeKey(), pieceKey(WHITE, KING, sq("e1")) ^ pieceKey(BLACK, KING, sq("e8")) ^
                                       pieceKey(WHITE, PAWN, sq("e4")) ^ kZobrist.enPassant[4] ^ kZobrist.side);
    board = boardFromFen("4k2r/8/8/8/8/8/8/R3K3 w Qk - ");
    EXPECT_EQ(board->computeKey(), pieceKey(WHITE, KING, sq("e1")) ^ pieceKey(BLACK, KING, sq("e8")) ^
                                       pieceKey(WHITE, ROOK, sq("a1")) ^ pieceKey(BLACK, ROOK, sq("h8")) ^
                                       kZobrist.castleRight[1] ^ kZobrist.castleRight[2]);
}

}  // namespace
}  // namespace tarvok::test
