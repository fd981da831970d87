// SPDX-License-Identifier: GPL-3.0-or-later
// Perft and divide: leaf counts of the legal-move tree, with statistics,
// listings and timing for the command line and the protocols.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "board/move.h"

namespace tarvok {

class SearchEngine;

constexpr int kMaxPerftDepth = 63;

struct PerftCounters {
    uint64_t nodes;
    uint64_t captures;
    uint64_t enPassants;
    uint64_t checks;
    uint64_t mates;
    uint64_t promotions;
    uint64_t castles;
};

// Leaves at depth; the generation at remaining depth d uses lists[d], so
// lists must hold depth + 1 entries (depth at most kMaxPerftDepth).
uint64_t perftCount(Board& board, MoveList* lists, int depth);
// Adds the classified leaves of depth into counters.
void perftStatistics(Board& board, MoveList* lists, int depth, PerftCounters& counters);

// The perft table (rows 1..depth) and the divide listing, printed.
void perftCommand(SearchEngine& engine, int depth);
void divideCommand(SearchEngine& engine, int depth);

// Formats the time line shared by both commands.
void printPerftTime(double elapsedMicroseconds, uint64_t nodes);

}  // namespace tarvok
