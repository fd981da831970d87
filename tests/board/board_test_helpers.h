// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the board tests: a fixture that builds the attack tables,
// square names, boards from FEN, finding a generated move by its coordinate
// text, and a perft count built only on the generators and make/unmake.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "board/bitboard.h"
#include "board/board.h"
#include "board/move.h"

namespace tarvok::test {

class BoardTest : public ::testing::Test {
   protected:
    static void SetUpTestSuite() { initAttackTables(); }
};

// "e4" -> 28.
constexpr int sq(const char* name) { return makeSquare(name[0] - 'a', name[1] - '1'); }
constexpr Bitboard bit(const char* name) { return Bitboard{1} << sq(name); }

// A Board on the heap (it is large), set from the FEN; fails the test when
// the FEN is rejected.
std::unique_ptr<Board> boardFromFen(const char* fen);

// The generated move (captures + quiets, or evasions when in check) with the
// coordinate text "e2e4" / "e7e8q", or NO_MOVE.
Move findMove(const Board& board, const char* text);

// Makes the moves of a blank-separated coordinate list; fails the test when
// one is not generated or is illegal.
void playMoves(Board& board, const char* moves);

// Leaf count of the legal-move tree, legality decided by makeMove.
uint64_t perftCount(Board& board, int depth);

}  // namespace tarvok::test
