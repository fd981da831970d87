// SPDX-License-Identifier: GPL-3.0-or-later
// Counts the legal moves of a position without making them: pins, checks
// and en passant are resolved on bitboards. Gives the same number as making
// and taking back every generated move (perft's last ply uses it).
#pragma once

#include "board/board.h"

namespace tarvok {

int countLegalMovesFast(const Board& board);

}  // namespace tarvok
