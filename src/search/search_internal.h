// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers shared by the root search and the alpha-beta search.
#pragma once

#include "board/move.h"
#include "board/zobrist.h"
#include "search/search_engine.h"

namespace tarvok {

// The last ply at which a child is searched; deeper positions are evaluated.
constexpr int kMaxChildPly = 62;

// Type of a node's first child: PV stays PV, CUT and ALL alternate.
constexpr uint8_t successorNodeType(int nodeType) {
    return nodeType == NODE_PV ? NODE_PV : nodeType == NODE_CUT ? NODE_ALL : NODE_CUT;
}

inline HashKey enPassantKey(int epFile) { return kZobrist.enPassant[epFile - 1]; }
inline HashKey sideToMoveKey() { return kZobrist.side; }

// Extension for a move's shape, in quarter plies: a pawn arriving on the
// second or seventh rank, and an even exchange of knights, bishops, rooks or
// queens. The check extension is added by the caller.
inline int moveExtension(Move move) {
    int extension = 0;
    const int rank = moveTo(move) >> 3;
    if (movePiece(move) == PAWN && (rank == 1 || rank == 6)) extension += 4;
    const int captured = moveCaptured(move);
    if (captured >= KNIGHT && captured <= QUEEN && captured == movePiece(move)) extension += 2;
    return extension;
}

// Row = move and score followed by the child's row (bounded to the row size).
inline void setPvRow(PvRow& row, Move move, int score, const PvRow& child) {
    row.entries[0].move = move;
    row.entries[0].score = score;
    uint32_t length = child.length < static_cast<uint32_t>(kPvLength - 1) ? child.length : kPvLength - 1;
    for (uint32_t i = 0; i < length; ++i) row.entries[i + 1] = child.entries[i];
    row.length = length + 1;
}

}  // namespace tarvok
