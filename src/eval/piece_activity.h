// SPDX-License-Identifier: GPL-3.0-or-later
// Piece activity: mobility, safe mobility, tropism and placement of knights,
// bishops, rooks and queens, plus the trapped-piece and shut-in-rook patterns.
//   trappedPieces(board, terms)             trapped knights and bishops
//   shutInRooks(board, terms)               rooks boxed in by their own king
//   scorePieces<colour, type>(board, work, threat, terms)
//       scores one colour's pieces of one type against the enemy threat set
//       and returns the union of their attacks
#pragma once

#include "board/bitboard.h"
#include "board/board.h"
#include "eval/eval_terms.h"
#include "eval/eval_weights.h"

namespace tarvok {

namespace activity_detail {

constexpr bool holds(Bitboard set, int square) { return (set & squareMask(square)) != 0; }

template <int pieceType>
inline Bitboard attacksOf(int square, Bitboard occupancy) {
    if constexpr (pieceType == KNIGHT) return knightAttacks[square];
    else if constexpr (pieceType == BISHOP) return bishopAttacks(square, occupancy);
    else if constexpr (pieceType == ROOK) return rookAttacks(square, occupancy);
    else return queenAttacks(square, occupancy);
}

template <int pieceType>
constexpr const int* tropismTable() {
    if constexpr (pieceType == KNIGHT) return kKnightTropism;
    else if constexpr (pieceType == BISHOP) return kBishopTropism;
    else if constexpr (pieceType == ROOK) return kRookTropism;
    else return kQueenTropism;
}

// Whether a rook or queen of this colour on its seventh rank has a target:
// the enemy king on its first rank or enemy pawns on their second.
template <int colour>
inline bool seventhRankTarget(const Board& board) {
    constexpr int enemy = colour ^ 1;
    const Bitboard enemyHome = colour == WHITE ? kRank8 : kRank1;
    const Bitboard enemySecond = colour == WHITE ? kRank7 : kRank2;
    const bool kingHome = board.hasKing(enemy) && holds(enemyHome, static_cast<int>(board.kingSquare[enemy]));
    return kingHome || (board.pieces[enemy][PAWN] & enemySecond) != 0;
}

}  // namespace activity_detail

inline void trappedPieces(const Board& board, EvalTerms& terms) {
    using activity_detail::holds;
    constexpr int a2 = 8, b2 = 9, g2 = 14, h2 = 15, a3 = 16, b3 = 17, g3 = 22, h3 = 23;
    constexpr int a6 = 40, b6 = 41, g6 = 46, h6 = 47, a7 = 48, b7 = 49, g7 = 54, h7 = 55;
    const Bitboard whitePawns = board.pieces[WHITE][PAWN];
    const Bitboard blackPawns = board.pieces[BLACK][PAWN];
    const Bitboard whiteKnights = board.pieces[WHITE][KNIGHT];
    const Bitboard blackKnights = board.pieces[BLACK][KNIGHT];
    const Bitboard whiteBishops = board.pieces[WHITE][BISHOP];
    const Bitboard blackBishops = board.pieces[BLACK][BISHOP];

    if (holds(whiteKnights, a7) && holds(blackPawns, b7) && holds(blackPawns, a6)) terms.patterns[WHITE] -= kTrappedKnight;
    if (holds(whiteKnights, h7) && holds(blackPawns, g7) && holds(blackPawns, h6)) terms.patterns[WHITE] -= kTrappedKnight;
    if (holds(blackKnights, a2) && holds(whitePawns, a3) && holds(whitePawns, b2)) terms.patterns[BLACK] -= kTrappedKnight;
    if (holds(blackKnights, h2) && holds(whitePawns, h3) && holds(whitePawns, g2)) terms.patterns[BLACK] -= kTrappedKnight;

    if (holds(whiteBishops, a7) && holds(blackPawns, b6)) terms.patterns[WHITE] -= kTrappedBishop;
    if (holds(whiteBishops, h7) && holds(blackPawns, g6)) terms.patterns[WHITE] -= kTrappedBishop;
    if (holds(blackBishops, a2) && holds(whitePawns, b3)) terms.patterns[BLACK] -= kTrappedBishop;
    if (holds(blackBishops, h2) && holds(whitePawns, g3)) terms.patterns[BLACK] -= kTrappedBishop;
}

// A king on the queen side (files a-c) with a rook on files a-b of its first
// rank, or on the king side (files f-h) with a rook on files g-h. At most once
// per colour.
inline void shutInRooks(const Board& board, EvalTerms& terms) {
    for (int colour = BLACK; colour <= WHITE; ++colour) {
        if (!board.hasKing(colour)) continue;
        const int king = static_cast<int>(board.kingSquare[colour]);
        const int homeRank = colour == WHITE ? 0 : 7;
        if (rankOf(king) != homeRank) continue;
        const Bitboard homeRooks = board.pieces[colour][ROOK] >> (homeRank * 8) & 0xFF;
        const int kingFile = fileOf(king);
        const bool queenSide = kingFile <= 2 && (homeRooks & 0x03) != 0;  // rook on a or b
        const bool kingSide = kingFile >= 5 && (homeRooks & 0xC0) != 0;   // rook on g or h
        if (queenSide || kingSide) terms.patterns[colour] -= kRookShutInByKing;
    }
}

template <int colour, int pieceType>
inline Bitboard scorePieces(const Board& board, const EvalWork& work, Bitboard threat, EvalTerms& terms) {
    using namespace activity_detail;
    constexpr int enemy = colour ^ 1;
    constexpr const int* tropism = tropismTable<pieceType>();
    const Bitboard own = board.colourOccupied[colour];
    const bool enemyKing = board.hasKing(enemy);
    const int enemyKingSquare = static_cast<int>(board.kingSquare[enemy]);
    Bitboard allAttacks = 0;
    int mobility = 0, safeMobility = 0, nearKing = 0, placement = 0;
    bool seventhTarget = false;
    if constexpr (pieceType == ROOK || pieceType == QUEEN) seventhTarget = seventhRankTarget<colour>(board);
    const Bitboard ownSeventh = colour == WHITE ? kRank7 : kRank2;

    for (Bitboard set = board.pieces[colour][pieceType]; set;) {
        const int square = popLowest(set);
        const Bitboard attacks = attacksOf<pieceType>(square, board.occupied);
        allAttacks |= attacks;
        const Bitboard reach = attacks & ~own;
        mobility += popCount(reach);
        safeMobility += popCount(reach & ~threat);
        if (enemyKing) nearKing += tropism[squareDistance(square, enemyKingSquare)];

        if constexpr (pieceType == KNIGHT) {
            const int value = kOutpostSource[colour == WHITE ? square ^ 56 : square];
            if (value != 0 && !holds(work.pawns->pawnSet[enemy], square) && holds(work.pawns->pawnSet[colour], square))
                placement += value;
        } else if constexpr (pieceType == ROOK) {
            const int slot = fileOf(square) + 1;
            const PawnSummary& pawns = *work.pawns;
            const bool noOwnPawn = colour == WHITE ? pawns.whiteFront[slot] == kNoWhitePawn
                                                   : pawns.blackFront[slot] == kNoBlackPawn;
            const bool noEnemyPawn = colour == WHITE ? pawns.blackFront[slot] == kNoBlackPawn
                                                     : pawns.whiteFront[slot] == kNoWhitePawn;
            if (noOwnPawn) placement += noEnemyPawn ? kRookOpenFile : kRookHalfOpenFile;
        }
        if constexpr (pieceType == ROOK || pieceType == QUEEN) {
            if (seventhTarget && holds(ownSeventh, square))
                placement += pieceType == ROOK ? kRookOnSeventh : kQueenOnSeventh;
        }
    }
    terms.mobility[colour] += mobility;
    terms.safeMobility[colour] += safeMobility;
    terms.tropism[colour] += nearKing;
    terms.placement[colour] += placement;
    return allAttacks;
}

}  // namespace tarvok
