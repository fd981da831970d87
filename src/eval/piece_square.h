// SPDX-License-Identifier: GPL-3.0-or-later
// Piece-square tables, middle game and endgame, indexed [colour][piece][square].
// The source grids are written as White sees the board (rank 8 first); White
// reads them at square XOR 56, Black at the square itself.
#pragma once

#include <cstdint>

namespace tarvok {

struct PieceSquareTables {
    int32_t middleGame[2][8][64];
    int32_t endgame[2][8][64];
};

namespace psq_source {

// clang-format off
constexpr int32_t kMiddleGame[8][64] = {
    {},
    {   // pawn
          0,   0,   0,   0,   0,   0,   0,   0,
          0,   0,   0,   0,   0,   0,   0,   0,
          0,   0,   0,   0,   0,   0,   0,   0,
          0,   0,   0,   0,   0,   0,   0,   0,
         -4,  -2,  -2,  12,  12,  -2,  -2,  -4,
         -2,  -1,  -1,  10,  10,  -1,  -1,  -2,
          0,   0,   0, -10, -10,   0,   0,   0,
          0,   0,   0,   0,   0,   0,   0,   0},
    {   // knight
        -40, -24, -20, -20, -20, -20, -24, -40,
        -24,  -8,   0,   0,   0,   0,  -8, -24,
        -20,   2,   2,   2,   2,   2,   2, -20,
        -20,   2,   4,   4,   4,   4,   2, -20,
        -20,   2,   8,   8,   8,   8,   2, -20,
        -20,   2,   8,   8,   8,   8,   2, -20,
        -24,  -8,   4,   4,   4,   4,  -8, -24,
        -40, -24, -20, -20, -20, -20, -24, -40},
    {   // bishop
        -40,  -8,  -8,  -8,  -8,  -8,  -8, -40,
         -8,   0,   0,   0,   0,   0,   0,  -8,
         -8,   2,   2,   2,   2,   2,   2,  -8,
         -8,   2,   4,   4,   4,   4,   2,  -8,
         -8,   2,   6,   8,   8,   6,   2,  -8,
         -8,   2,   6,   8,   8,   6,   2,  -8,
         -8,   8,   4,   4,   4,   4,   8,  -8,
        -40,  -8,  -8,  -8,  -8,  -8,  -8, -40},
    {   // rook
         -4,  -2,  -1,   0,   0,  -1,  -2,  -4,
         -4,  -2,  -1,   0,   0,  -1,  -2,  -4,
         -4,  -2,  -1,   0,   0,  -1,  -2,  -4,
         -4,  -2,  -1,   0,   0,  -1,  -2,  -4,
         -4,  -2,  -1,   0,   0,  -1,  -2,  -4,
         -4,  -2,  -1,   0,   0,  -1,  -2,  -4,
         -4,  -2,  -1,   0,   0,  -1,  -2,  -4,
         -4,  -2,  -1,   0,   0,  -1,  -2,  -4},
    {   // queen
          0,   0,   0,   0,   0,   0,   0,   0,
          0,   0,   0,   0,   0,   0,   0,   0,
          0,   0,   0,   0,   0,   0,   0,   0,
          0,   0,   0,   0,   0,   0,   0,   0,
          0,   0,   0,   0,   0,   0,   0,   0,
          0,   0,   0,   0,   0,   0,   0,   0,
          0,   0,   0,   0,   0,   0,   0,   0,
        -10, -10, -10, -10, -10, -10, -10, -10},
    {   // king
        -32, -32, -32, -32, -32, -32, -32, -32,
        -32, -32, -32, -32, -32, -32, -32, -32,
        -32, -32, -32, -32, -32, -32, -32, -32,
        -32, -32, -32, -32, -32, -32, -32, -32,
        -32, -32, -32, -32, -32, -32, -32, -32,
        -32, -32, -32, -32, -32, -32, -32, -32,
        -32, -32, -32, -32, -32, -32, -32, -32,
          0,  -8,  32,  -8,   0,  -8,  32,  -8},
    {},
};

constexpr int32_t kMinorEndgame[64] = {
    -40, -16,  -8,  -8,  -8,  -8, -16, -40,
    -16,   0,   2,   2,   2,   2,   0, -16,
     -8,   2,   2,   4,   4,   2,   2,  -8,
     -8,   2,   4,   8,   8,   4,   2,  -8,
     -8,   2,   4,   8,   8,   4,   2,  -8,
     -8,   2,   2,   4,   4,   2,   2,  -8,
    -16,   0,   2,   2,   2,   2,   0, -16,
    -40, -16,  -8,  -8,  -8,  -8, -16, -40};

constexpr int32_t kQueenEndgame[64] = {
    -32, -24,  -2,  -2,  -2,  -2, -24, -32,
    -24,   0,   8,   8,   8,   8,   0, -24,
     -2,   8,   8,  16,  16,   8,   8,  -2,
     -2,   8,  16,  24,  24,  16,   8,  -2,
     -2,   8,  16,  24,  24,  16,   8,  -2,
     -2,   8,   8,  16,  16,   8,   8,  -2,
    -24,   0,   8,   8,   8,   8,   0, -24,
    -32, -24,  -2,  -2,  -2,  -2, -24, -32};

constexpr int32_t kKingEndgame[64] = {
    -50, -30, -30, -30, -30, -30, -30, -50,
    -30,   0,   0,   0,   0,   0,   0, -30,
    -30,   0,  16,  16,  16,  16,   0, -30,
    -30,   0,  16,  32,  32,  16,   0, -30,
    -30,   0,  16,  32,  32,  16,   0, -30,
    -30,   0,  16,  16,  16,  16,   0, -30,
    -30,   0,   0,   0,   0,   0,   0, -30,
    -50, -30, -30, -30, -30, -30, -30, -50};
// clang-format on

constexpr int32_t endgameSource(int piece, int square) {
    switch (piece) {
        case 2:
        case 3: return kMinorEndgame[square];
        case 5: return kQueenEndgame[square];
        case 6: return kKingEndgame[square];
        default: return 0;  // pawns, rooks, and the unused codes 0 and 7
    }
}

}  // namespace psq_source

constexpr PieceSquareTables buildPieceSquareTables() {
    PieceSquareTables tables{};
    for (int piece = 0; piece < 8; ++piece) {
        for (int square = 0; square < 64; ++square) {
            tables.middleGame[1][piece][square] = psq_source::kMiddleGame[piece][square ^ 56];
            tables.middleGame[0][piece][square] = psq_source::kMiddleGame[piece][square];
            tables.endgame[1][piece][square] = psq_source::endgameSource(piece, square ^ 56);
            tables.endgame[0][piece][square] = psq_source::endgameSource(piece, square);
        }
    }
    return tables;
}

// Built at compile time: the tables never change while the program runs.
inline constexpr PieceSquareTables kPieceSquare = buildPieceSquareTables();

}  // namespace tarvok
