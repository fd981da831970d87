// SPDX-License-Identifier: GPL-3.0-or-later
// The pawn cache: summaries of recently seen pawn structures, keyed and
// checked on both pawn sets, so a hit gives exactly what building the summary
// again would give.
//   PawnCache::summary(whitePawns, blackPawns)  the summary, built on a miss
#pragma once

#include "eval/eval_terms.h"
#include "eval/pawn_structure.h"

namespace tarvok {

class PawnCache {
   public:
    static constexpr int kIndexBits = 11;

    PawnCache() {
        // No position has a pawn on every square: every slot starts empty.
        for (Entry& entry : entries_) entry.whitePawns = entry.blackPawns = ~Bitboard{0};
    }

    const PawnSummary& summary(Bitboard whitePawns, Bitboard blackPawns) {
        Entry& entry = entries_[index(whitePawns, blackPawns)];
        if (entry.whitePawns != whitePawns || entry.blackPawns != blackPawns) {
            entry.whitePawns = whitePawns;
            entry.blackPawns = blackPawns;
            buildPawnSummary(whitePawns, blackPawns, entry.summary);
        }
        return entry.summary;
    }

   private:
    struct Entry {
        Bitboard whitePawns;
        Bitboard blackPawns;
        PawnSummary summary;
    };

    // Both sets multiplied by odd constants; the top bits mix every square.
    static unsigned index(Bitboard whitePawns, Bitboard blackPawns) {
        const Bitboard mixed = whitePawns * 0x9E3779B97F4A7C15ULL ^ blackPawns * 0xC2B2AE3D27D4EB4FULL;
        return static_cast<unsigned>(mixed >> (64 - kIndexBits));
    }

    Entry entries_[1 << kIndexBits];
};

}  // namespace tarvok
