// SPDX-License-Identifier: GPL-3.0-or-later
// Pawn structure: the file fronts and pawn attack sets of both colours, the
// doubled/isolated/backward/passed terms, and the blocked centre pawns.
//   buildPawnSummary(white, black, summary)  what depends on the pawns alone
//   scorePawns<colour>(board, summary)  pawn-structure sum of one colour
//   blockedCentrePawns(board, terms)    adds the blocked-centre patterns
#pragma once

#include "board/bitboard.h"
#include "board/board.h"
#include "eval/eval_terms.h"
#include "eval/eval_weights.h"

namespace tarvok {

namespace pawn_detail {

constexpr Bitboard kFileA = 0x0101010101010101ULL;
constexpr Bitboard kFileH = kFileA << 7;

// One rank towards the colour's promotion rank, and away from it.
template <int colour>
constexpr Bitboard forwardOne(Bitboard b) { return colour == WHITE ? b << 8 : b >> 8; }
template <int colour>
constexpr Bitboard backwardOne(Bitboard b) { return colour == WHITE ? b >> 8 : b << 8; }
// Every set square together with all squares ahead of it on its file, or
// behind it.
template <int colour>
constexpr Bitboard fillForward(Bitboard b) {
    if constexpr (colour == WHITE) {
        b |= b << 8;
        b |= b << 16;
        return b | b << 32;
    } else {
        b |= b >> 8;
        b |= b >> 16;
        return b | b >> 32;
    }
}
template <int colour>
constexpr Bitboard fillBackward(Bitboard b) { return fillForward<colour ^ 1>(b); }
constexpr Bitboard sideways(Bitboard b) { return (b & ~kFileA) >> 1 | (b & ~kFileH) << 1; }

}  // namespace pawn_detail

// The doubled, isolated and backward count of one colour's pawns and its
// passed pawns, with set operations from the colour's own side (forward =
// towards its promotion rank). A pawn is doubled with an own pawn ahead of it
// on its file; isolated with no own pawn on a neighbouring file; otherwise
// backward when every neighbouring file that holds own pawns has its foremost
// one ahead of it; passed when no neighbouring or own file holds an enemy pawn
// ahead of it whose file has no enemy pawn behind that one (only the enemy
// pawn nearest the colour's side counts).
template <int colour>
inline void summarisePawns(Bitboard pawns, Bitboard enemyPawns, PawnSummary& summary) {
    using namespace pawn_detail;
    const Bitboard doubled = pawns & fillBackward<colour>(backwardOne<colour>(pawns));
    const Bitboard fronts = pawns & ~doubled;
    const Bitboard isolated = pawns & ~sideways(fillForward<colour>(fillBackward<colour>(pawns)));
    const Bitboard backward = pawns & ~isolated & ~fillForward<colour>(sideways(fronts));
    const Bitboard nearestEnemies = enemyPawns & ~fillForward<colour>(forwardOne<colour>(enemyPawns));
    const Bitboard enemyAhead = fillBackward<colour>(backwardOne<colour>(nearestEnemies));
    summary.passed[colour] = pawns & ~(enemyAhead | sideways(enemyAhead));
    summary.neighbourFronts[colour] = sideways(fronts);
    summary.structure[colour] = -kDoubledPawn * popCount(doubled) - kIsolatedPawn * popCount(isolated) -
                                kBackwardPawn * popCount(backward);
}

// Fills everything that depends on the two pawn sets alone: file fronts, pawn
// attack sets, the structure counts and the passed pawns.
inline void buildPawnSummary(Bitboard whitePawns, Bitboard blackPawns, PawnSummary& summary) {
    using pawn_detail::kFileA, pawn_detail::kFileH;
    for (int slot = 0; slot < kFrontSlots; ++slot) {
        summary.whiteFront[slot] = kNoWhitePawn;
        summary.blackFront[slot] = kNoBlackPawn;
    }
    summary.pawnSet[WHITE] = (whitePawns & ~kFileA) << 7 | (whitePawns & ~kFileH) << 9;
    summary.pawnSet[BLACK] = (blackPawns & ~kFileA) >> 9 | (blackPawns & ~kFileH) >> 7;
    // Pawns come lowest square first, so the last on a file is White's front
    // and the first is Black's.
    for (Bitboard pawns = whitePawns; pawns;) {
        const int square = popLowest(pawns);
        summary.whiteFront[fileOf(square) + 1] = static_cast<int8_t>(rankOf(square));
    }
    for (Bitboard pawns = blackPawns; pawns;) {
        const int square = popLowest(pawns);
        int8_t& front = summary.blackFront[fileOf(square) + 1];
        if (front == kNoBlackPawn) front = static_cast<int8_t>(rankOf(square));
    }
    summarisePawns<WHITE>(whitePawns, blackPawns, summary);
    summarisePawns<BLACK>(blackPawns, whitePawns, summary);
}

// One colour's pawn-structure sum: the summary's structure count plus the
// passed pawns, whose bonus also reads the stage, the square in front and the
// distances of both kings.
template <int colour>
inline int scorePawns(const Board& board, const PawnSummary& summary) {
    using namespace pawn_detail;
    constexpr int enemy = colour ^ 1;
    int sum = summary.structure[colour];
    const Bitboard passed = summary.passed[colour];
    if (!passed) return sum;

    const unsigned stage = board.stage > 3 ? 3 : board.stage;
    const Bitboard enemyPieces = board.colourOccupied[enemy];
    const bool ownKing = board.hasKing(colour);
    const bool enemyKing = board.hasKing(enemy);
    // A neighbouring file's foremost own pawn beside the pawn or one rank behind.
    const Bitboard neighbourFronts = summary.neighbourFronts[colour];
    for (Bitboard set = passed; set;) {
        const int square = popLowest(set);
        const int rank = colour == WHITE ? rankOf(square) : 7 - rankOf(square);
        const int bonus = kPassedPawnBonus[stage][rank];
        sum += bonus;
        const Bitboard stop = forwardOne<colour>(squareMask(square));
        if (stop & enemyPieces) sum -= bonus >> 1;
        if (enemyKing) sum += 2 * squareDistance(square, static_cast<int>(board.kingSquare[enemy]));
        if (ownKing) sum -= squareDistance(square, static_cast<int>(board.kingSquare[colour]));
        const Bitboard supportSquares = squareMask(square) | backwardOne<colour>(squareMask(square));
        if (neighbourFronts & supportSquares) sum += bonus >> 1;
    }
    return sum;
}

inline void blockedCentrePawns(const Board& board, EvalTerms& terms) {
    constexpr int d2 = 11, e2 = 12, d3 = 19, e3 = 20, d6 = 43, e6 = 44, d7 = 51, e7 = 52;
    const Bitboard whitePawns = board.pieces[WHITE][PAWN];
    const Bitboard blackPawns = board.pieces[BLACK][PAWN];
    if ((whitePawns & squareMask(d2)) && board.mailbox[d3] != NO_PIECE) terms.patterns[WHITE] -= kBlockedCentrePawn;
    if ((whitePawns & squareMask(e2)) && board.mailbox[e3] != NO_PIECE) terms.patterns[WHITE] -= kBlockedCentrePawn;
    if ((blackPawns & squareMask(d7)) && board.mailbox[d6] != NO_PIECE) terms.patterns[BLACK] -= kBlockedCentrePawn;
    if ((blackPawns & squareMask(e7)) && board.mailbox[e6] != NO_PIECE) terms.patterns[BLACK] -= kBlockedCentrePawn;
}

}  // namespace tarvok
