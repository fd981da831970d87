// SPDX-License-Identifier: GPL-3.0-or-later
// Named weights and constant tables of the static evaluation. Every constant
// of the evaluation lives here, even where two weights share a value.
#pragma once

#include <cstdint>

namespace tarvok {

// Material adjustments and the lazy exit.
inline constexpr int kNoPawnsMalus = 50;
inline constexpr int kBishopPairBonus = 50;
inline constexpr int kLazyMargin = 299;

// Pawn structure.
inline constexpr int kDoubledPawn = 10;
inline constexpr int kIsolatedPawn = 20;
inline constexpr int kBackwardPawn = 10;
inline constexpr int kBlockedCentrePawn = 20;

// Piece placement and patterns.
inline constexpr int kRookOpenFile = 15;
inline constexpr int kRookHalfOpenFile = 10;
inline constexpr int kRookOnSeventh = 20;
inline constexpr int kQueenOnSeventh = 10;
inline constexpr int kTrappedKnight = 100;
inline constexpr int kTrappedBishop = 100;
inline constexpr int kRookShutInByKing = 50;

// King safety.
inline constexpr int kEarlyQueen = 20;
inline constexpr int kKingZoneAttack = 10;
inline constexpr int kKingSafetyScaleDivisor = 4075;

// Middle-game weight out of 128, by one colour's own phase count. Counts above
// 31 are clamped to the last entry.
inline constexpr int kBlendScaleSize = 32;
inline constexpr int kBlendScale[kBlendScaleSize] = {
    0,   0,   0,   0,   0,   0,   16,  32,  48,  64,  80,  96,  112, 128, 128, 128,
    128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128};
inline constexpr int kBlendFull = 128;

// Passed-pawn bonus by stage and by the pawn's rank counted from its own side.
inline constexpr int kPassedPawnBonus[4][8] = {
    {0, 0, 10, 20, 50, 80, 100, 0},
    {0, 0, 10, 20, 50, 80, 100, 0},
    {0, 10, 20, 40, 100, 160, 200, 0},
    {0, 10, 20, 40, 100, 160, 200, 0},
};

// Tropism by Chebyshev distance to the enemy king (index 0 never occurs with
// a king on the board and is 0).
inline constexpr int kKnightTropism[8] = {0, 30, 30, 20, 0, 0, 0, 0};
inline constexpr int kBishopTropism[8] = {0, 20, 20, 10, 10, 0, 0, 0};
inline constexpr int kRookTropism[8] = {0, 30, 20, 10, 10, 0, 0, 0};
inline constexpr int kQueenTropism[8] = {0, 40, 30, 20, 10, 0, 0, 0};

// Knight outposts, written as White sees the board (rank 8 first): White
// reads square XOR 56, Black the square itself.
// clang-format off
inline constexpr int kOutpostSource[64] = {
    0, 0,  0,  0,  0,  0, 0, 0,
    0, 0,  0,  0,  0,  0, 0, 0,
    0, 0, 16, 32, 32, 16, 0, 0,
    0, 8, 16, 32, 32, 16, 8, 0,
    0, 8, 16, 16, 16, 16, 8, 0,
    0, 0,  0,  0,  0,  0, 0, 0,
    0, 0,  0,  0,  0,  0, 0, 0,
    0, 0,  0,  0,  0,  0, 0, 0};
// clang-format on

// Shelter malus by how far the front pawn of a file stands from its king's
// side: index 0 no pawn, 1 on the first rank, 2 on the second, 3 on the
// third, 4 to 8 on the fourth or beyond. A pawn still on the first rank does
// not shelter its king and is scored like one that has advanced.
inline constexpr int kShelterMalus[9] = {50, 25, 0, 20, 25, 25, 25, 25, 25};

// Chebyshev distance between two squares.
struct DistanceTable {
    uint8_t distance[64][64];
};

constexpr DistanceTable buildDistanceTable() {
    DistanceTable table{};
    for (int from = 0; from < 64; ++from) {
        for (int to = 0; to < 64; ++to) {
            int fileGap = (from & 7) - (to & 7);
            int rankGap = (from >> 3) - (to >> 3);
            if (fileGap < 0) fileGap = -fileGap;
            if (rankGap < 0) rankGap = -rankGap;
            table.distance[from][to] = static_cast<uint8_t>(fileGap > rankGap ? fileGap : rankGap);
        }
    }
    return table;
}

inline constexpr DistanceTable kDistance = buildDistanceTable();

inline int squareDistance(int from, int to) { return kDistance.distance[from][to]; }

}  // namespace tarvok
