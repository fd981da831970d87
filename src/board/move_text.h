// SPDX-License-Identifier: GPL-3.0-or-later
// Move text: coordinate notation in (e2e4, e7e8q) and long algebraic text out
// (Ng1-f3, e5xd6e.p, e7-e8=Q, O-O).
#pragma once

#include "board/board.h"
#include "board/game_record.h"
#include "board/move.h"

namespace tarvok {

constexpr int kMoveTextSize = 12;

// Finds the generated move that a coordinate text names, or NO_MOVE. Only
// the shape of the text and the generated moves are checked, not legality.
Move findMoveText(const Board& board, MoveList& scratch, const char* text);

// Plays a coordinate text and records it; returns 1, or 0 with board and
// record unchanged when the text names no legal move or the record is full.
int playMoveText(Board& board, GameRecord& record, MoveList& scratch, const char* text);

// Long algebraic text, at most 10 characters plus the terminator.
void moveToText(Move move, char* text);

// Coordinate text as the protocols send it (e2e4, e7e8q); "a1a1" would be
// NO_MOVE's text, which callers decide about themselves.
void moveToCoordinates(Move move, char* text);

}  // namespace tarvok
