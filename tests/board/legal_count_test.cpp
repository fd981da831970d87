// SPDX-License-Identifier: GPL-3.0-or-later
// The fast legal-move counter must agree with making and taking back every
// generated move, in every position of the perft file and in every position
// two plies below it.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "board/bitboard.h"
#include "board/board.h"
#include "board/game_record.h"
#include "board/legal_count.h"
#include "board/movegen.h"

namespace tarvok {
namespace {

class LegalCountTest : public ::testing::Test {
   protected:
    static void SetUpTestSuite() { initAttackTables(); }

    // Walks the tree to depth, comparing both counts at every node.
    void compareTree(Board& board, int depth, const std::string& fen, int& nodes) {
        MoveList scratch;
        const int slow = countLegalMoves(board, scratch);
        const int fast = countLegalMovesFast(board);
        ++nodes;
        if (slow != fast) {
            char position[kFenBufferSize];
            board.writeFen(position);
            ADD_FAILURE() << "fast " << fast << " slow " << slow << " in " << position << " (below " << fen << ")";
        }
        if (depth == 0) return;
        MoveList& list = lists_[depth];
        const int count = generateAll(board, list, 0, isInCheck(board, static_cast<int>(board.side)));
        for (int i = 0; i < count; ++i) {
            const Move move = list.entries[i].move;
            if (board.makeMove(move)) compareTree(board, depth - 1, fen, nodes);
            board.unmakeMove(move);
        }
    }

    MoveList lists_[4];
};

TEST_F(LegalCountTest, AgreesWithMakeAndUnmakeBelowEveryPerftPosition) {
    std::ifstream file(std::string(TARVOK_TEST_DATA_DIR) + "/perft.txt");
    ASSERT_TRUE(file.is_open());
    static Board board;
    std::string line;
    int positions = 0, nodes = 0;
    while (std::getline(file, line)) {
        const std::string fen = line.substr(0, line.find(';'));
        ASSERT_TRUE(board.setFromFen(fen.c_str())) << fen;
        compareTree(board, 2, fen, nodes);
        ++positions;
    }
    EXPECT_GT(positions, 100);
    EXPECT_GT(nodes, 100000);
}

TEST_F(LegalCountTest, HandlesPinsEnPassantExposureAndMissingKings) {
    static Board board;
    struct Case {
        const char* fen;
        int legal;
    };
    const Case cases[] = {
        // En passant that would expose the king along the rank is illegal:
        // five king moves and e5-e6 remain.
        {"8/8/8/K2pP2r/8/8/8/7k w - d6 0 1", 6},
        // A pinned knight cannot move; the king has its own moves.
        {"4r2k/8/8/8/8/8/4N3/4K3 w - - 0 1", 4},
        // Double check: only king moves.
        {"4k3/8/8/8/1b6/8/3N4/r3K3 w - - 0 1", 2},
        // Side to move without a king: every generated move counts.
        {"8/8/8/8/8/8/8/R6k w - - 0 1", 14},
    };
    for (const Case& test : cases) {
        ASSERT_TRUE(board.setFromFen(test.fen)) << test.fen;
        MoveList scratch;
        EXPECT_EQ(countLegalMovesFast(board), countLegalMoves(board, scratch)) << test.fen;
        EXPECT_EQ(countLegalMovesFast(board), test.legal) << test.fen;
    }
}

}  // namespace
}  // namespace tarvok
