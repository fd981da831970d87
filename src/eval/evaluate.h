// SPDX-License-Identifier: GPL-3.0-or-later
// Static evaluation of a position, in centipawns from the side to move's view.
//   evaluate(board, alpha, beta, lazy)
//       lazy 1 allows the early return when material and piece-square blend
//       alone lie more than the lazy margin outside (alpha, beta); any other
//       value always evaluates in full. Reads the board only; no state.
//   evaluateWithTerms(board, alpha, beta, lazy, terms)
//       the same score, also filling the per-colour sums (for tests and tools;
//       the plain evaluate does not pay for it).
#pragma once

#include "board/board.h"
#include "eval/eval_terms.h"

namespace tarvok {

int evaluate(const Board& board, int alpha, int beta, int lazy);
int evaluateWithTerms(const Board& board, int alpha, int beta, int lazy, EvalTerms& terms);

// Whether the given colour lacks the material to mate: no pawns, queens or
// rooks, at most one bishop, at most two knights, and not knight with bishop.
bool hasInsufficientMaterial(const Board& board, int colour);

}  // namespace tarvok
