// SPDX-License-Identifier: GPL-3.0-or-later
// Zobrist key constants. They are produced at compile time by a fixed
// generator (splitmix64) from a fixed seed. Opening-book files are looked up
// by these keys, so the generator, the seed and the drawing order must never
// change.
#pragma once

#include <cstdint>

#include "board/types.h"

namespace tarvok {

struct ZobristKeys {
    HashKey piece[768];       // [(2 * (type - 1) + colour) * 64 + square]
    HashKey castleRight[4];   // CASTLE_WK, CASTLE_WQ, CASTLE_BK, CASTLE_BQ
    HashKey castle[16];       // XOR of the single-right keys of each rights set
    HashKey enPassant[8];     // by file
    HashKey side;             // XORed in when Black is to move
};

constexpr uint64_t kZobristSeed = 0x7A72566F6B31342EULL;

constexpr uint64_t splitMix64(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

constexpr ZobristKeys buildZobristKeys() {
    ZobristKeys keys{};
    uint64_t state = kZobristSeed;
    for (HashKey& key : keys.piece) key = splitMix64(state);
    for (HashKey& key : keys.castleRight) key = splitMix64(state);
    for (HashKey& key : keys.enPassant) key = splitMix64(state);
    keys.side = splitMix64(state);
    for (int rights = 0; rights < 16; ++rights) {
        HashKey key = 0;
        for (int bit = 0; bit < 4; ++bit)
            if (rights & (1 << bit)) key ^= keys.castleRight[bit];
        keys.castle[rights] = key;
    }
    return keys;
}

inline constexpr ZobristKeys kZobrist = buildZobristKeys();

constexpr HashKey pieceKey(int colour, int type, int square) {
    return kZobrist.piece[(2 * (type - 1) + colour) * 64 + square];
}

}  // namespace tarvok
