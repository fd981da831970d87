// SPDX-License-Identifier: GPL-3.0-or-later
// Attack tests and the pseudo-legal move generators, in their fixed emission
// order. Generators write consecutive entries of a MoveList starting at the
// entry the caller chooses and return how many they wrote; they never write
// past the list's last entry (moves beyond its capacity are dropped).
#pragma once

#include "board/bitboard.h"
#include "board/board.h"
#include "board/move.h"

namespace tarvok {

// A bishop or queen, rook or queen, or the king of colour attacks square.
inline bool attackedBySliderOrKing(const Board& board, int square, int colour) {
    const Bitboard* own = board.pieces[colour];
    return (bishopAttacks(square, board.occupied) & (own[BISHOP] | own[QUEEN])) ||
           (rookAttacks(square, board.occupied) & (own[ROOK] | own[QUEEN])) || (kingAttacks[square] & own[KING]);
}

// Pawns, then knights, then sliders and king of colour attacking square.
inline bool isSquareAttacked(const Board& board, int square, int colour) {
    return (pawnAttacks[colour ^ 1][square] & board.pieces[colour][PAWN]) ||
           (knightAttacks[square] & board.pieces[colour][KNIGHT]) || attackedBySliderOrKing(board, square, colour);
}

// Whether colour's king is attacked; a side without a king is never in check.
inline bool isInCheck(const Board& board, int colour) {
    return board.hasKing(colour) && isSquareAttacked(board, static_cast<int>(board.kingSquare[colour]), colour ^ 1);
}

int generateCaptures(const Board& board, MoveList& list, int first);
int generateQuiets(const Board& board, MoveList& list, int first);
int generateEvasions(const Board& board, MoveList& list, int first);
// Evasions when inCheck is set, otherwise captures followed by quiets.
int generateAll(const Board& board, MoveList& list, int first, bool inCheck);

// Interposition test of the evasion generator: square lies on a line with
// colour's king from which an enemy slider of that line's kind is seen.
bool blocksCheck(const Board& board, int square, int colour);

// Whether a move that did not come from a generator can be made here.
bool isValidMove(const Board& board, Move move);

}  // namespace tarvok
