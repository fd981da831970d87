// SPDX-License-Identifier: GPL-3.0-or-later
// Per-colour sums of one evaluation, and the working values (file fronts and
// attack sets) that later terms reuse within the same call.
#pragma once

#include <cstdint>

#include "board/types.h"

namespace tarvok {

// How an evaluation ended.
enum EvalExit : int {
    EVAL_EXIT_FULL = 0,          // every term computed
    EVAL_EXIT_INSUFFICIENT = 1,  // side to move cannot win: drawScore returned
    EVAL_EXIT_LAZY = 2,          // material and blend alone lay outside the window
};

// The sums of one evaluation, indexed by colour. Safe mobility is the raw
// count; it enters the total with weight 2. Terms after the exit stay 0.
struct EvalTerms {
    int material[2];       // adjusted material
    int blend[2];          // piece-square blend
    int patterns[2];       // blocked centre pawns, trapped pieces, shut-in rooks
    int pawnStructure[2];  // doubled, isolated, backward, passed
    int mobility[2];
    int safeMobility[2];
    int tropism[2];
    int placement[2];   // outposts, rook files, seventh rank, early queen
    int kingSafety[2];  // shelter and king-zone attacks, scaled
    EvalExit exit;
};

// File fronts carry sentinel files -1 and 8, stored at index file + 1.
inline constexpr int kFrontSlots = 10;
inline constexpr int kNoWhitePawn = -1;
inline constexpr int kNoBlackPawn = 8;

// One square as a set; shifting keeps the evaluation off the memory tables.
constexpr Bitboard squareMask(int square) { return Bitboard{1} << square; }

// What the evaluation takes from the two pawn sets alone; the pawn cache keeps
// it for positions that share both sets.
struct PawnSummary {
    int8_t whiteFront[kFrontSlots];  // highest rank of a White pawn per file, or -1
    int8_t blackFront[kFrontSlots];  // lowest rank of a Black pawn per file, or 8
    int32_t structure[2];            // doubled, isolated and backward pawns
    Bitboard pawnSet[2];             // squares attacked by the colour's pawns
    Bitboard passed[2];              // the colour's passed pawns
    Bitboard neighbourFronts[2];     // squares beside the foremost pawn of each file
};

struct EvalWork {
    const PawnSummary* pawns;
    Bitboard minorSet[2];         // pawn set plus knight and bishop attacks
    Bitboard rookSet[2];          // minor set plus rook attacks
    Bitboard fullSet[2];          // rook set plus queen attacks
};

}  // namespace tarvok
