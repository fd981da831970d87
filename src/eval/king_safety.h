// SPDX-License-Identifier: GPL-3.0-or-later
// King safety: the early-queen malus, pawn shelter, attacks on the king zone
// and the scaling of shelter and zone by the enemy's remaining material.
//   scoreKingSafety(board, work, stage, terms)  needs the full attack sets and
//       the adjusted material already in terms
#pragma once

#include "board/bitboard.h"
#include "board/board.h"
#include "eval/eval_terms.h"
#include "eval/eval_weights.h"

namespace tarvok {

// Shelter malus over the king's file and its neighbours on the board, for a
// king on its own first two ranks.
template <int colour>
inline int pawnShelter(const Board& board, const EvalWork& work) {
    if (!board.hasKing(colour)) return 0;
    const int king = static_cast<int>(board.kingSquare[colour]);
    const int kingRank = colour == WHITE ? rankOf(king) : 7 - rankOf(king);
    if (kingRank > 1) return 0;
    const int firstFile = fileOf(king) > 0 ? fileOf(king) - 1 : 0;
    const int lastFile = fileOf(king) < 7 ? fileOf(king) + 1 : 7;
    int malus = 0;
    for (int file = firstFile; file <= lastFile; ++file) {
        // Distance of the front pawn from the king's side: 0 for no pawn.
        const int index = colour == WHITE ? work.pawns->whiteFront[file + 1] + 1 : 8 - work.pawns->blackFront[file + 1];
        malus += kShelterMalus[index];
    }
    return -malus;
}

inline int kingZoneAttacks(const Board& board, const EvalWork& work, int colour) {
    if (!board.hasKing(colour)) return 0;
    const Bitboard zone = kingAttacks[board.kingSquare[colour]];
    return -kKingZoneAttack * popCount(zone & work.fullSet[colour ^ 1]);
}

inline void scoreKingSafety(const Board& board, const EvalWork& work, unsigned stage, EvalTerms& terms) {
    constexpr int d1 = 3, d8 = 59;
    if (stage == 0) {
        if (!(board.pieces[WHITE][QUEEN] & squareMask(d1))) terms.placement[WHITE] -= kEarlyQueen;
        if (!(board.pieces[BLACK][QUEEN] & squareMask(d8))) terms.placement[BLACK] -= kEarlyQueen;
    }
    if (stage <= 1) {
        terms.kingSafety[WHITE] += pawnShelter<WHITE>(board, work);
        terms.kingSafety[BLACK] += pawnShelter<BLACK>(board, work);
    }
    terms.kingSafety[WHITE] += kingZoneAttacks(board, work, WHITE);
    terms.kingSafety[BLACK] += kingZoneAttacks(board, work, BLACK);
    if (stage <= 1) {
        terms.kingSafety[WHITE] = terms.kingSafety[WHITE] * terms.material[BLACK] / kKingSafetyScaleDivisor;
        terms.kingSafety[BLACK] = terms.kingSafety[BLACK] * terms.material[WHITE] / kKingSafetyScaleDivisor;
    }
}

}  // namespace tarvok
