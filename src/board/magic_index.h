// SPDX-License-Identifier: GPL-3.0-or-later
// Magic index of a slider attack lookup: the two 32-bit halves of the masked
// occupancy are multiplied separately and XORed, then shifted from 32.
#pragma once

#include <cstdint>

#include "board/types.h"

namespace tarvok {

inline uint32_t magicIndex(Bitboard occupancy, Bitboard mask, uint32_t multiplierLow,
                           uint32_t multiplierHigh, uint32_t shift) {
    Bitboard relevant = occupancy & mask;
    uint32_t low = static_cast<uint32_t>(relevant) * multiplierLow;
    uint32_t high = static_cast<uint32_t>(relevant >> 32) * multiplierHigh;
    return (low ^ high) >> shift;
}

// The relevant-occupancy mask of a slider on a square: its rays without the
// square itself and without the last square of each ray.
inline Bitboard sliderMask(int square, bool rook) {
    static constexpr int rookSteps[4][2] = {{0, 1}, {0, -1}, {1, 0}, {-1, 0}};
    static constexpr int bishopSteps[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
    const auto& steps = rook ? rookSteps : bishopSteps;
    Bitboard mask = 0;
    for (const auto& step : steps) {
        int file = fileOf(square) + step[0], rank = rankOf(square) + step[1];
        while (file + step[0] >= 0 && file + step[0] <= 7 && rank + step[1] >= 0 && rank + step[1] <= 7) {
            mask |= Bitboard{1} << makeSquare(file, rank);
            file += step[0];
            rank += step[1];
        }
    }
    return mask;
}

// Attack set of a slider walking its rays until the board edge or a blocker.
inline Bitboard slowSliderAttacks(int square, Bitboard occupancy, bool rook) {
    static constexpr int rookSteps[4][2] = {{0, 1}, {0, -1}, {1, 0}, {-1, 0}};
    static constexpr int bishopSteps[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
    const auto& steps = rook ? rookSteps : bishopSteps;
    Bitboard attacks = 0;
    for (const auto& step : steps) {
        int file = fileOf(square) + step[0], rank = rankOf(square) + step[1];
        while (file >= 0 && file <= 7 && rank >= 0 && rank <= 7) {
            Bitboard bit = Bitboard{1} << makeSquare(file, rank);
            attacks |= bit;
            if (occupancy & bit) break;
            file += step[0];
            rank += step[1];
        }
    }
    return attacks;
}

}  // namespace tarvok
