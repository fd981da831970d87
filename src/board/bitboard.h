// SPDX-License-Identifier: GPL-3.0-or-later
// Process-wide attack tables: single-square masks, pawn/knight/king attacks,
// line types between squares and the magic bishop and rook lookups.
// Filled once by initAttackTables; read-only afterwards.
#pragma once

#include <cstdint>
#if defined(__BMI2__) && defined(__x86_64__)
#include <immintrin.h>
#endif

#include "board/magic_index.h"
#include "board/types.h"

namespace tarvok {

struct MagicEntry {
    const Bitboard* attacks;  // this square's slice of the shared attack store
    Bitboard mask;            // relevant occupancy
    uint32_t multiplierLow;
    uint32_t multiplierHigh;
    uint32_t shift;  // 32 minus the number of bits in mask
};

// Kinds of line joining two squares.
enum LineType : uint8_t {
    LINE_NONE = 0,
    LINE_FILE = 1,
    LINE_RANK = 2,
    LINE_DIAGONAL = 3,       // a1-h8 direction
    LINE_ANTIDIAGONAL = 4,   // a8-h1 direction
};

// Whole ranks, for pawn steps and promotions.
constexpr Bitboard kRank1 = 0x00000000000000FFULL;
constexpr Bitboard kRank2 = 0x000000000000FF00ULL;
constexpr Bitboard kRank7 = 0x00FF000000000000ULL;
constexpr Bitboard kRank8 = 0xFF00000000000000ULL;

constexpr int kBishopStoreSize = 5248;
constexpr int kRookStoreSize = 102400;

extern Bitboard squareBit[64];
extern Bitboard squareClear[64];
extern Bitboard pawnAttacks[2][64];
extern Bitboard knightAttacks[64];
extern Bitboard kingAttacks[64];
extern uint8_t lineType[64][64];
// Squares strictly between two squares on a common line, and the whole line
// through both (edge to edge); empty when they share no line.
extern Bitboard betweenSquares[64][64];
extern Bitboard lineThrough[64][64];
extern MagicEntry bishopMagics[64];
extern MagicEntry rookMagics[64];

// Fills every table; calling it again rebuilds the same contents.
void initAttackTables();

// Slot of an occupancy in a square's slice. Where the target processor has a
// fast PEXT (BMI2, but not the AMD families that microcode it), the masked
// occupancy's bits are gathered into the index in one instruction; elsewhere,
// on portable builds and with -DTARVOK_PEXT=OFF the two 32-bit multiplications
// of magicIndex give it. Either way a slice holds 2^(bits in mask) slots, so
// the stores and slices are the same; only the order within a slice differs.
#if defined(__BMI2__) && defined(__x86_64__) && !defined(TARVOK_NO_PEXT) && !defined(__znver1__) && \
    !defined(__znver2__) && !defined(__bdver4__)
inline uint32_t sliderIndex(Bitboard occupancy, const MagicEntry& m) {
    return static_cast<uint32_t>(_pext_u64(occupancy, m.mask));
}
#else
inline uint32_t sliderIndex(Bitboard occupancy, const MagicEntry& m) {
    return magicIndex(occupancy, m.mask, m.multiplierLow, m.multiplierHigh, m.shift);
}
#endif

inline Bitboard bishopAttacks(int square, Bitboard occupancy) {
    const MagicEntry& m = bishopMagics[square];
    return m.attacks[sliderIndex(occupancy, m)];
}

inline Bitboard rookAttacks(int square, Bitboard occupancy) {
    const MagicEntry& m = rookMagics[square];
    return m.attacks[sliderIndex(occupancy, m)];
}

inline Bitboard queenAttacks(int square, Bitboard occupancy) {
    return bishopAttacks(square, occupancy) | rookAttacks(square, occupancy);
}

}  // namespace tarvok
