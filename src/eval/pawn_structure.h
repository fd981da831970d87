// Pawn structure: the file fronts and pawn attack sets of both colours, the
// doubled/isolated/backward/passed terms, and the blocked centre pawns.
//   buildPawnSummaries(board, work)     fills fronts and pawn attack sets
//   scorePawns<colour>(board, work)     pawn-structure sum of one colour
//   blockedCentrePawns(board, terms)    adds the blocked-centre patterns
#pragma once

#include "board/bitboard.h"
#include "board/board.h"
#include "eval/eval_terms.h"
#include "eval/eval_weights.h"

namespace tarvok {

inline void buildPawnSummaries(const Board& board, EvalWork& work) {
    constexpr Bitboard fileA = 0x0101010101010101ULL, fileH = fileA << 7;
    for (int slot = 0; slot < kFrontSlots; ++slot) {
        work.whiteFront[slot] = kNoWhitePawn;
        work.blackFront[slot] = kNoBlackPawn;
    }
    const Bitboard whitePawns = board.pieces[WHITE][PAWN], blackPawns = board.pieces[BLACK][PAWN];
    work.pawnSet[WHITE] = (whitePawns & ~fileA) << 7 | (whitePawns & ~fileH) << 9;
    work.pawnSet[BLACK] = (blackPawns & ~fileA) >> 9 | (blackPawns & ~fileH) >> 7;
    // Pawns come lowest square first, so the last on a file is White's front
    // and the first is Black's.
    for (Bitboard pawns = whitePawns; pawns;) {
        const int square = popLowest(pawns);
        work.whiteFront[fileOf(square) + 1] = rankOf(square);
    }
    for (Bitboard pawns = blackPawns; pawns;) {
        const int square = popLowest(pawns);
        int& front = work.blackFront[fileOf(square) + 1];
        if (front == kNoBlackPawn) front = rankOf(square);
    }
}

// Scores one colour's pawns. Ranks and fronts are taken from the colour's own
// side (rank 0 = its first rank, -1 = no own pawn, 8 = no enemy pawn), so one
// body serves both colours.
template <int colour>
inline int scorePawns(const Board& board, const EvalWork& work) {
    constexpr int enemy = colour ^ 1;
    const auto ownFront = [&work](int slot) {
        return colour == WHITE ? work.whiteFront[slot] : 7 - work.blackFront[slot];
    };
    const auto enemyFront = [&work](int slot) {
        return colour == WHITE ? work.blackFront[slot] : 7 - work.whiteFront[slot];
    };
    const unsigned stage = board.stage > 3 ? 3 : board.stage;
    const Bitboard enemyPieces = board.colourOccupied[enemy];
    const bool ownKing = board.hasKing(colour);
    const bool enemyKing = board.hasKing(enemy);
    int sum = 0;
    for (Bitboard pawns = board.pieces[colour][PAWN]; pawns;) {
        const int square = popLowest(pawns);
        const int slot = fileOf(square) + 1;
        const int rank = colour == WHITE ? rankOf(square) : 7 - rankOf(square);

        if (rank < ownFront(slot)) sum -= kDoubledPawn;

        const int left = ownFront(slot - 1);
        const int right = ownFront(slot + 1);
        if (left == kNoWhitePawn && right == kNoWhitePawn) {
            sum -= kIsolatedPawn;
        } else if ((left == kNoWhitePawn || rank < left) && (right == kNoWhitePawn || rank < right)) {
            sum -= kBackwardPawn;
        }

        const auto clear = [rank](int front) { return front == kNoBlackPawn || front <= rank; };
        if (clear(enemyFront(slot - 1)) && clear(enemyFront(slot)) && clear(enemyFront(slot + 1))) {
            const int bonus = kPassedPawnBonus[stage][rank];
            sum += bonus;
            const Bitboard stop = colour == WHITE ? squareMask(square) << 8 : squareMask(square) >> 8;
            if (stop & enemyPieces) sum -= bonus >> 1;
            if (enemyKing) sum += 2 * squareDistance(square, static_cast<int>(board.kingSquare[enemy]));
            if (ownKing) sum -= squareDistance(square, static_cast<int>(board.kingSquare[colour]));
            // A neighbour beside it or one rank behind it; the rank-1 pawn's
            // "rank - 1" must not match the empty-file value.
            const auto supports = [rank](int front) {
                return front != kNoWhitePawn && (front == rank || front == rank - 1);
            };
            if (supports(left) || supports(right)) sum += bonus >> 1;
        }
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
