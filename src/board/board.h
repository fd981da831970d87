// SPDX-License-Identifier: GPL-3.0-or-later
// The Board: one chess position with its incremental sums, the PlyRecord stack
// that make and unmake push and pop, and the history of position keys that the
// search scans for repetitions. FEN reading and writing and the Zobrist key.
#pragma once

#include <cstdint>

#include "board/move.h"
#include "board/types.h"

namespace tarvok {

// Capacity of the game record, and of the stacks, which also carry the
// search's plies (at most kMaxSearchPly) on top of the game's moves.
constexpr int kMaxGameMoves = 1024;
constexpr int kMaxSearchPly = 64;
constexpr int kMaxPlyRecords = kMaxGameMoves + 2 * kMaxSearchPly;

constexpr int kFenBufferSize = 90;

// Debug builds verify the board after every make and unmake.
#ifdef TARVOK_CHECK_INVARIANTS
inline constexpr bool kCheckInvariants = true;
#else
inline constexpr bool kCheckInvariants = false;
#endif

struct PlyRecord {
    HashKey key;  // key of the position before the move
    Move move;    // NO_MOVE for the search's null move
    uint8_t castleRights;
    uint8_t epFile;
    uint8_t halfmoveClock;
    uint8_t inCheck;   // owned by the search
    uint8_t nodeType;  // owned by the search
};

struct Board {
    Bitboard occupied;
    Bitboard colourOccupied[2];
    Bitboard pieces[2][8];
    HashKey hashKey;
    int32_t material[2];
    uint32_t side;
    uint32_t xside;
    uint32_t stage;
    int32_t phaseCount[2];
    int32_t middleGameSum[2];
    int32_t endgameSum[2];
    int32_t pieceCount[2][8];
    uint8_t castleRights;
    uint8_t epFile;  // 0, or file + 1 of a pawn that has just advanced two squares
    uint8_t halfmoveClock;
    uint32_t kingSquare[2];
    uint8_t mailbox[64];
    uint32_t plyCount;
    PlyRecord plyRecords[kMaxPlyRecords];
    uint32_t keyHistoryCount;
    HashKey keyHistory[kMaxPlyRecords];

    // Empties the board (no pieces, White to move, stacks empty).
    void clear();
    // The standard starting array with its sums and key.
    void setStartArray();
    // Reads a FEN (or EPD) text; returns 0 and changes nothing when rejected.
    int setFromFen(const char* text);
    // Writes the position as FEN (always "0 1" for the counters, trailing
    // blank); buffer must hold kFenBufferSize bytes.
    void writeFen(char* buffer) const;
    HashKey computeKey() const;

    // Plays a move; returns 0 when it leaves the mover's king attacked (the
    // move is made anyway and must be taken back with unmakeMove).
    int makeMove(Move move);
    int unmakeMove(Move move);

    // Whether another move fits on the stacks. The game record and the search
    // check this before making moves, so the stacks are never overrun.
    bool hasRoomForPly() const { return plyCount < static_cast<uint32_t>(kMaxPlyRecords); }

    // Checks every incremental field against a recomputation from the pieces.
    bool isConsistent() const;

    int pieceColourAt(int square) const { return (colourOccupied[WHITE] >> square) & 1 ? WHITE : BLACK; }
    bool hasKing(int colour) const { return pieces[colour][KING] != 0; }

   private:
    void recomputeSums();
};

// Writes the FEN of the same position with the colours exchanged. The input
// must start with eight ranks separated by '/' and a blank; returns 0 (and
// writes an empty text) when it does not. The output is bounded by size.
int mirrorFen(const char* fen, char* buffer, int size);

}  // namespace tarvok
