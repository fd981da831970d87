// SPDX-License-Identifier: GPL-3.0-or-later
// Shared pieces of the fuzz targets: one-time set-up and the invariants that
// must hold after any input.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "board/bitboard.h"
#include "board/board.h"

namespace tarvok::fuzz {

inline void initOnce() {
    static bool done = false;
    if (!done) {
        initAttackTables();
        done = true;
    }
}

// Aborts (a finding for the fuzzer) when the board is not consistent.
inline void requireConsistent(const Board& board, const char* where) {
    if (!board.isConsistent() || board.hashKey != board.computeKey() || board.kingSquare[0] > 63 ||
        board.kingSquare[1] > 63) {
        std::fprintf(stderr, "inconsistent board after %s\n", where);
        std::abort();
    }
}

}  // namespace tarvok::fuzz
