// SPDX-License-Identifier: GPL-3.0-or-later
// The Move word and the MoveList that generators fill.
//
// Move layout (unsigned 32-bit): bits 0-5 from, 6-11 to, 12-14 moving type,
// 15-17 captured type, 18-20 promotion type, 21 castle, 22 double push,
// 23 en passant.
#pragma once

#include <cstdint>

namespace tarvok {

using Move = uint32_t;

constexpr Move NO_MOVE = 0;
constexpr Move MOVE_CASTLE = 1u << 21;
constexpr Move MOVE_DOUBLE_PUSH = 1u << 22;
constexpr Move MOVE_EN_PASSANT = 1u << 23;

constexpr Move makeMoveWord(int from, int to, int piece, int captured = 0, int promotion = 0, Move flags = 0) {
    return static_cast<Move>(from) | static_cast<Move>(to) << 6 | static_cast<Move>(piece) << 12 |
           static_cast<Move>(captured) << 15 | static_cast<Move>(promotion) << 18 | flags;
}

constexpr int moveFrom(Move m) { return m & 63; }
constexpr int moveTo(Move m) { return (m >> 6) & 63; }
constexpr int movePiece(Move m) { return (m >> 12) & 7; }
constexpr int moveCaptured(Move m) { return (m >> 15) & 7; }
constexpr int movePromotion(Move m) { return (m >> 18) & 7; }
constexpr bool isCastle(Move m) { return (m & MOVE_CASTLE) != 0; }
constexpr bool isDoublePush(Move m) { return (m & MOVE_DOUBLE_PUSH) != 0; }
constexpr bool isEnPassant(Move m) { return (m & MOVE_EN_PASSANT) != 0; }

struct MoveEntry {
    Move move;
    int32_t score;
};

constexpr int kMaxMoves = 256;

// A count and up to 256 moves. One spare entry past the end absorbs writes
// once the list is full, so a generator never writes outside the list even in
// a position with more pseudo-legal moves than fit; such extra moves are
// dropped.
struct MoveList {
    uint32_t count;
    MoveEntry entries[kMaxMoves + 1];
};

}  // namespace tarvok
