// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/line_filter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "book/pgn_reader.h"
#include "platform/platform.h"

namespace tarvok {

uint64_t extendLineKey(uint64_t parentKey, const char* token) {
    uint64_t hash = parentKey;
    for (int i = 0; i < kPgnTokenSize && token[i] != '\0'; ++i) {
        hash ^= static_cast<unsigned char>(token[i]);
        hash *= 1099511628211ULL;
    }
    // Final mix, so that the slot bits depend on every byte of the line.
    hash ^= hash >> 31;
    hash *= 0xBF58476D1CE4E5B9ULL;
    hash ^= hash >> 29;
    hash *= 0x94D049BB133111EBULL;
    return hash ^ (hash >> 32);
}

LineFilter::LineFilter(std::size_t counterCount)
    : counters(new uint8_t[counterCount]), mask(counterCount - 1) {
    // Large filters are read at random: huge pages spare most TLB misses.
    // Asked for before the counters are first written.
    platform::adviseHugePages(counters.get(), counterCount);
    std::memset(counters.get(), 0, counterCount);
}

void LineFilter::add(uint64_t key) {
    uint8_t& first = counters[firstSlot(key)];
    uint8_t& second = counters[secondSlot(key)];
    const uint8_t smaller = std::min(first, second);
    if (smaller == kLineFilterCap) return;
    if (first == smaller) ++first;
    if (second == smaller && &second != &first) ++second;
}

uint32_t LineFilter::estimate(uint64_t key) const {
    return std::min(counters[firstSlot(key)], counters[secondSlot(key)]);
}

}  // namespace tarvok
