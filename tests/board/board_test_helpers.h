// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the board tests: attack tables once per suite, square
// names ("e4" -> 28), boards from FEN, moves by coordinate text, a perft count on the
// generators and make/unmake, and the board data tables.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "board/bitboard.h"
#include "board/board.h"
#include "board/move.h"

namespace tarvok::test {

class BoardTest : public ::testing::Test {
   protected:
    static void SetUpTestSuite() { initAttackTables(); }
};

constexpr int sq(const char* name) { return makeSquare(name[0] - 'a', name[1] - '1'); }

// A Board on the heap (it is large); a rejected FEN fails the test.
std::unique_ptr<Board> boardFromFen(const char* fen);

// The generated move (evasions when in check) with the coordinate text
// "e2e4" / "e7e8q", or NO_MOVE.
Move findMove(const Board& board, const char* text);
std::string coordinateText(Move move);

// Makes the moves of a blank-separated coordinate list; fails the test when
// one is not generated or is illegal.
void playMoves(Board& board, const char* moves);

// Leaf count of the legal-move tree, legality decided by makeMove.
uint64_t perftCount(Board& board, int depth);

// Rows of tests/data/board/<name>, each field with its escapes decoded.
std::vector<std::vector<std::string>> boardTable(const std::string& name);

// Checks every "name=value" of a blank-separated list against valueOf(name).
void expectValues(const std::string& list, const std::function<int(const std::string&)>& valueOf,
                  const std::string& context);

}  // namespace tarvok::test
