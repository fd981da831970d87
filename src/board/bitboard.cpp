// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/bitboard.h"

#include <cstdlib>

#include "board/magic_constants.h"

namespace tarvok {

Bitboard squareBit[64];
Bitboard squareClear[64];
Bitboard pawnAttacks[2][64];
Bitboard knightAttacks[64];
Bitboard kingAttacks[64];
uint8_t lineType[64][64];
Bitboard betweenSquares[64][64];
Bitboard lineThrough[64][64];
MagicEntry bishopMagics[64];
MagicEntry rookMagics[64];

namespace {

Bitboard bishopStore[kBishopStoreSize];
Bitboard rookStore[kRookStoreSize];

void addIf(Bitboard& set, bool condition, int square) {
    if (condition) set |= Bitboard{1} << square;
}

uint8_t computeLineType(int a, int b) {
    int df = fileOf(a) - fileOf(b), dr = rankOf(a) - rankOf(b);
    if (df == 0 && dr != 0) return LINE_FILE;
    if (dr == 0 && df != 0) return LINE_RANK;
    if (df != 0 && std::abs(df) == std::abs(dr)) return (df > 0) == (dr > 0) ? LINE_DIAGONAL : LINE_ANTIDIAGONAL;
    return LINE_NONE;
}

// Fills one slider kind's entries and its store, squares a1 to h8.
void fillSlider(MagicEntry* entries, Bitboard* store, const MagicConstant* constants, bool rook) {
    bool slotTaken[4096];
    Bitboard* next = store;
    for (int square = 0; square < 64; ++square) {
        MagicEntry& entry = entries[square];
        entry.mask = sliderMask(square, rook);
        entry.multiplierLow = constants[square].multiplierLow;
        entry.multiplierHigh = constants[square].multiplierHigh;
        entry.shift = 32 - static_cast<uint32_t>(popCount(entry.mask));
        entry.attacks = next;
        uint32_t slots = 1u << (32 - entry.shift);
        for (uint32_t i = 0; i < slots; ++i) slotTaken[i] = false;
        Bitboard subset = 0;
        do {
            const uint32_t index = sliderIndex(subset, entry);
            if (!slotTaken[index]) {
                slotTaken[index] = true;
                next[index] = slowSliderAttacks(square, subset, rook);
            }
            subset = (subset - entry.mask) & entry.mask;
        } while (subset != 0);
        next += slots;
    }
}

}  // namespace

void initAttackTables() {
    for (int s = 0; s < 64; ++s) {
        squareBit[s] = Bitboard{1} << s;
        squareClear[s] = ~squareBit[s];
    }
    for (int s = 0; s < 64; ++s) {
        int r = rankOf(s), f = fileOf(s);
        Bitboard white = 0, black = 0, knight = 0, king = 0;
        if (r < 7) {
            addIf(white, f > 0, s + 7);
            addIf(white, f < 7, s + 9);
        }
        if (r > 0) {
            addIf(black, f > 0, s - 9);
            addIf(black, f < 7, s - 7);
        }
        addIf(knight, r < 6 && f < 7, s + 17);
        addIf(knight, r < 6 && f > 0, s + 15);
        addIf(knight, r > 1 && f < 7, s - 15);
        addIf(knight, r > 1 && f > 0, s - 17);
        addIf(knight, r < 7 && f < 6, s + 10);
        addIf(knight, r > 0 && f < 6, s - 6);
        addIf(knight, r < 7 && f > 1, s + 6);
        addIf(knight, r > 0 && f > 1, s - 10);
        addIf(king, f < 7, s + 1);
        addIf(king, f > 0, s - 1);
        addIf(king, r < 7, s + 8);
        addIf(king, r > 0, s - 8);
        addIf(king, r < 7 && f > 0, s + 7);
        addIf(king, r < 7 && f < 7, s + 9);
        addIf(king, r > 0 && f < 7, s - 7);
        addIf(king, r > 0 && f > 0, s - 9);
        pawnAttacks[WHITE][s] = white;
        pawnAttacks[BLACK][s] = black;
        knightAttacks[s] = knight;
        kingAttacks[s] = king;
    }
    for (int a = 0; a < 64; ++a)
        for (int b = 0; b < 64; ++b) lineType[a][b] = computeLineType(a, b);
    for (Bitboard& b : bishopStore) b = 0;
    for (Bitboard& b : rookStore) b = 0;
    fillSlider(bishopMagics, bishopStore, kBishopMagicConstants, false);
    fillSlider(rookMagics, rookStore, kRookMagicConstants, true);
    for (int a = 0; a < 64; ++a) {
        for (int b = 0; b < 64; ++b) {
            betweenSquares[a][b] = lineThrough[a][b] = 0;
            const int line = lineType[a][b];
            if (line == LINE_NONE) continue;
            const bool rook = line == LINE_FILE || line == LINE_RANK;
            const Bitboard fromA = rook ? rookAttacks(a, 0) : bishopAttacks(a, 0);
            const Bitboard fromB = rook ? rookAttacks(b, 0) : bishopAttacks(b, 0);
            betweenSquares[a][b] = (rook ? rookAttacks(a, squareBit[b]) & rookAttacks(b, squareBit[a])
                                         : bishopAttacks(a, squareBit[b]) & bishopAttacks(b, squareBit[a]));
            lineThrough[a][b] = ((fromA & fromB) | squareBit[a] | squareBit[b]);
        }
    }
}

}  // namespace tarvok
