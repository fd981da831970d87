// SPDX-License-Identifier: GPL-3.0-or-later
// Finds (or verifies) the multiplier pairs of the slider attack lookups.
//
// The lookup multiplies the low and high 32-bit halves of the masked occupancy
// by two 32-bit multipliers, XORs the products and shifts from 32. A pair is
// good when every two occupancy subsets that land in one slot have the same
// attack set. The search is a plain random search with sparse candidates from
// a fixed seed, so running it again reproduces the table in
// src/board/magic_constants.h. Three entries are fixed in advance and only
// verified.
//
//   find_magics           print a fresh table
//   find_magics --verify  check the table compiled into the engine
#include <cstdio>
#include <cstring>
#include <vector>

#include "board/magic_constants.h"
#include "board/magic_index.h"

using namespace tarvok;

namespace {

struct Rng {
    uint64_t state;
    uint64_t next() {
        // xorshift64*
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 2685821657736338717ULL;
    }
    uint32_t sparse32() { return static_cast<uint32_t>(next() & next() & next()); }
};

struct SquareData {
    Bitboard mask;
    uint32_t shift;
    std::vector<Bitboard> subsets;
    std::vector<Bitboard> attacks;
};

SquareData squareData(int square, bool rook) {
    SquareData data;
    data.mask = sliderMask(square, rook);
    data.shift = 32 - static_cast<uint32_t>(popCount(data.mask));
    Bitboard subset = 0;
    do {
        data.subsets.push_back(subset);
        data.attacks.push_back(slowSliderAttacks(square, subset, rook));
        subset = (subset - data.mask) & data.mask;
    } while (subset != 0);
    return data;
}

bool works(const SquareData& data, uint32_t low, uint32_t high, std::vector<Bitboard>& slots,
           std::vector<int>& stamp, int epoch) {
    for (size_t i = 0; i < data.subsets.size(); ++i) {
        uint32_t index = magicIndex(data.subsets[i], data.mask, low, high, data.shift);
        if (stamp[index] != epoch) {
            stamp[index] = epoch;
            slots[index] = data.attacks[i];
        } else if (slots[index] != data.attacks[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool verify = argc > 1 && std::strcmp(argv[1], "--verify") == 0;
    std::vector<Bitboard> slots(4096);
    std::vector<int> stamp(4096, 0);
    int epoch = 0;
    int failures = 0;
    Rng rng{0x5EED7A2B0C0FFEEULL};
    for (int kind = 0; kind < 2; ++kind) {
        bool rook = kind == 1;
        const MagicConstant* table = rook ? kRookMagicConstants : kBishopMagicConstants;
        if (!verify) std::printf("constexpr MagicConstant k%sMagicConstants[64] = {\n", rook ? "Rook" : "Bishop");
        for (int square = 0; square < 64; ++square) {
            SquareData data = squareData(square, rook);
            uint32_t low = table[square].multiplierLow, high = table[square].multiplierHigh;
            bool fixed = (rook && (square == 0 || square == 27)) || (!rook && square == 0);
            if (verify || fixed) {
                if (!works(data, low, high, slots, stamp, ++epoch)) {
                    std::printf("bad %s multipliers on square %d\n", rook ? "rook" : "bishop", square);
                    ++failures;
                }
            } else {
                do {
                    low = rng.sparse32();
                    high = rng.sparse32();
                } while (!works(data, low, high, slots, stamp, ++epoch));
            }
            if (!verify) std::printf("    {0x%08X, 0x%08X},\n", low, high);
        }
        if (!verify) std::printf("};\n");
    }
    if (verify) std::printf("%s\n", failures == 0 ? "all multipliers verified" : "verification failed");
    return failures == 0 ? 0 : 1;
}
