// SPDX-License-Identifier: GPL-3.0-or-later
// Short algebraic move text for the test-suite listing: Nf3, Nbd7, R1e2,
// exd5, exd6e.p, e8=Q, O-O-O.
//   writeSan(move, text, list, count)
//       list holds the count moves of the position the move is played in; a
//       piece move names its origin file (or rank) when another move of the
//       same piece type in the list reaches the same square. NO_MOVE gives
//       the empty text. The longest text (exd6e.p) fills the 8 bytes.
#pragma once

#include "board/move.h"

namespace tarvok {

constexpr int kSanSize = 8;

void writeSan(Move move, char (&text)[kSanSize], const MoveList& list, int count);

}  // namespace tarvok
