// SPDX-License-Identifier: GPL-3.0-or-later
// Reading one move written in standard algebraic notation (as in PGN move
// text) against the moves generated for the current position.
//
//   int parseSan(Board& board, const MoveList& scratch, const char* text, Move& move);
//
// scratch must hold the generated moves of board's position (generateAll).
// Returns 1 and writes the matching generated move, or 0 leaving move
// untouched. Only legal moves are returned: a candidate that leaves the
// mover's king attacked is passed over (a pinned piece never answers a token
// that omits disambiguation), and castling tokens must match a generated
// castling move. The board is returned to its position before parseSan ends.
#pragma once

#include "board/board.h"
#include "board/move.h"

namespace tarvok {

int parseSan(Board& board, const MoveList& scratch, const char* text, Move& move);

}  // namespace tarvok
