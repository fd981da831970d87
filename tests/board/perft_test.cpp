// SPDX-License-Identifier: GPL-3.0-or-later
// Every position of perft.txt: make/unmake restore the board field by field,
// keys and incremental sums stay right, evasions agree with the full
// generators, and the leaf counts match the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "board/board_test_helpers.h"
#include "board/movegen.h"
#include "test_support/board_compare.h"
#include "test_support/data_files.h"

namespace tarvok::test {
namespace {

class PerftFile : public BoardTest {
   protected:
    static void SetUpTestSuite() {
        BoardTest::SetUpTestSuite();
        cases = readPerftCases();
    }
    static std::vector<PerftCase> cases;
};

std::vector<PerftCase> PerftFile::cases;

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

// Walks the tree to the depth, checking every make and unmake.
void checkTree(Board& board, int depth, const char* fen) {
    MoveList list;
    const bool inCheck = isInCheck(board, static_cast<int>(board.side));
    const int count = generateAll(board, list, 0, inCheck);
    if (inCheck) {
        // Evasions must keep exactly the legal moves of the full generators.
        MoveList all;
        int allCount = generateCaptures(board, all, 0);
        allCount += generateQuiets(board, all, allCount);
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
        if (legal && depth > 1) checkTree(board, depth - 1, fen);
        board.unmakeMove(move);
        ASSERT_TRUE(sameBoard(*before, board)) << fen << " move " << move;
    }
}

TEST_F(PerftFile, FileIsComplete) {
    ASSERT_EQ(cases.size(), 174u);
    for (const PerftCase& perftCase : cases) EXPECT_GE(perftCase.counts.size(), 4u) << perftCase.fen;
}

TEST_F(PerftFile, MakeUnmakeRestoresEveryFieldToDepthTwo) {
    for (const PerftCase& perftCase : cases) {
        auto board = boardFromFen(perftCase.fen.c_str());
        checkTree(*board, 2, perftCase.fen.c_str());
        if (HasFatalFailure()) return;
    }
}

TEST_F(PerftFile, CountsToDepthThree) {
    for (const PerftCase& perftCase : cases) {
        auto board = boardFromFen(perftCase.fen.c_str());
        for (int depth = 1; depth <= 3; ++depth)
            EXPECT_EQ(perftCount(*board, depth), perftCase.counts[static_cast<size_t>(depth - 1)])
                << perftCase.fen << " depth " << depth;
        EXPECT_EQ(board->plyCount, 0u);
    }
}

TEST_F(PerftFile, CountsAtDepthFourForTheFirstPositions) {
    for (size_t i = 0; i < 24 && i < cases.size(); ++i) {
        auto board = boardFromFen(cases[i].fen.c_str());
        EXPECT_EQ(perftCount(*board, 4), cases[i].counts[3]) << cases[i].fen;
    }
}

}  // namespace
}  // namespace tarvok::test
