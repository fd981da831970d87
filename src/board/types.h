// SPDX-License-Identifier: GPL-3.0-or-later
// Basic chess types: squares, colours, piece types, bitboards and bit tricks.
#pragma once

#include <bit>
#include <cstdint>

namespace tarvok {

using Bitboard = uint64_t;
using HashKey = uint64_t;

// Squares: a1 = 0, b1 = 1, ..., h8 = 63.
constexpr int fileOf(int square) { return square & 7; }
constexpr int rankOf(int square) { return square >> 3; }
constexpr int makeSquare(int file, int rank) { return rank * 8 + file; }

enum Colour : int { BLACK = 0, WHITE = 1 };

enum PieceType : int {
    NO_PIECE = 0,
    PAWN = 1,
    KNIGHT = 2,
    BISHOP = 3,
    ROOK = 4,
    QUEEN = 5,
    KING = 6,
};

// Castling-right bits.
constexpr uint8_t CASTLE_WK = 1;
constexpr uint8_t CASTLE_WQ = 2;
constexpr uint8_t CASTLE_BK = 4;
constexpr uint8_t CASTLE_BQ = 8;

// Material values and phase weights by piece type (index 7 is never a piece).
constexpr int kPieceValue[8] = {0, 100, 325, 325, 500, 975, 0, 0};
constexpr int kPhaseWeight[8] = {0, 0, 1, 1, 2, 4, 0, 0};

// Stage from the summed phase counts of both colours; sums above 31 count as 31.
constexpr unsigned stageOfPhase(int phaseSum) {
    return phaseSum <= 0 ? 3 : phaseSum <= 8 ? 2 : phaseSum <= 20 ? 1 : 0;
}

// With the popcount instruction in the target (-mpopcnt, a native build) the
// builtin is that one instruction; for baseline x86-64 the compiler would call
// a library routine instead, which the bit-parallel count below beats.
inline int popCount(Bitboard b) {
#if defined(__POPCNT__) || !(defined(__x86_64__) || defined(__i386__))
    return std::popcount(b);
#else
    b = b - ((b >> 1) & 0x5555555555555555ULL);
    b = (b & 0x3333333333333333ULL) + ((b >> 2) & 0x3333333333333333ULL);
    b = (b + (b >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return static_cast<int>((b * 0x0101010101010101ULL) >> 56);
#endif
}
inline int lowestSquare(Bitboard b) { return std::countr_zero(b); }
// Returns the lowest set square and removes it from the set.
inline int popLowest(Bitboard& b) {
    int square = std::countr_zero(b);
    b &= b - 1;
    return square;
}

}  // namespace tarvok
