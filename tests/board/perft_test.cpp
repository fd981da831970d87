// SPDX-License-Identifier: GPL-3.0-or-later
// Every position of perft.txt: the leaf counts match the file, and in the
// shallow tree below each one make/unmake restore the board field by field,
// keys and incremental sums stay right, evasions agree with the full
// generators and the fast legal-move counter agrees with making the moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "board/board_test_helpers.h"
#include "board/game_record.h"
#include "board/legal_count.h"
#include "board/movegen.h"
#include "test_support/board_compare.h"
#include "test_support/data_files.h"

namespace tarvok::test {
namespace {

class PerftFile : public BoardTest {};

std::vector<Move> legalMoves(Board& board, const MoveList& list, int count) {
    std::vector<Move> legal;
    for (int i = 0; i < count; ++i) {
        const Move move = list.entries[i].move;
        if (board.makeMove(move)) legal.push_back(move);
        board.unmakeMove(move);
    }
    std::sort(legal.begin(), legal.end());
    return legal;
}

void checkTree(Board& board, int depth, const std::string& fen) {
    MoveList scratch;
    ASSERT_EQ(countLegalMovesFast(board), countLegalMoves(board, scratch)) << fen << " ply " << board.plyCount;
    if (depth == 0) return;
    MoveList list;
    const bool inCheck = isInCheck(board, static_cast<int>(board.side));
    const int count = generateAll(board, list, 0, inCheck);
    if (inCheck) {
        MoveList all;
        const int captures = generateCaptures(board, all, 0);
        const int allCount = captures + generateQuiets(board, all, captures);
        ASSERT_EQ(legalMoves(board, list, count), legalMoves(board, all, allCount)) << fen;
    }
    const auto before = std::make_unique<Board>(board);
    for (int i = 0; i < count; ++i) {
        const Move move = list.entries[i].move;
        const int legal = board.makeMove(move);
        ASSERT_EQ(board.hashKey, board.computeKey()) << fen << " move " << move;
        ASSERT_TRUE(board.isConsistent()) << fen << " move " << move;
        ASSERT_EQ(board.plyCount, before->plyCount + 1);
        ASSERT_EQ(board.keyHistory[before->keyHistoryCount], before->hashKey);
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

}  // namespace
}  // namespace tarvok::test
