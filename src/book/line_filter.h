// SPDX-License-Identifier: GPL-3.0-or-later
// Approximate counts of opening lines in a fixed amount of memory, so that
// the book builder keeps exact counts only for lines that may reach the
// minimum game count.
//
//   uint64_t key = extendLineKey(kEmptyLineKey, "e4");   // then "e5", ...
//   LineFilter filter(counters);     // counters: a power of two, at least 64
//   filter.add(key);                 // one more game plays the line
//   filter.estimate(key)             // never below the true count (capped at 255)
//
// A line's figure is the smaller of two 8-bit counters in one 64-byte block,
// raised only where it is the smaller (conservative update). Lines that share
// counters can only raise each other's figures, so a line whose figure is
// below the count was certainly played less often.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tarvok {

constexpr uint64_t kEmptyLineKey = 0x9E3779B97F4A7C15ULL;
constexpr uint32_t kLineFilterCap = 255;

// The key of a line one move token longer than the line of parentKey.
uint64_t extendLineKey(uint64_t parentKey, const char* token);

class LineFilter {
   public:
    // Throws std::bad_alloc when the counters cannot be allocated.
    explicit LineFilter(std::size_t counterCount);
    void add(uint64_t key);
    uint32_t estimate(uint64_t key) const;
    std::size_t size() const { return mask + 1; }

   private:
    std::size_t firstSlot(uint64_t key) const { return static_cast<std::size_t>(key) & mask; }
    std::size_t secondSlot(uint64_t key) const {
        return (firstSlot(key) & ~std::size_t{63}) | static_cast<std::size_t>(key >> 58);
    }
    std::unique_ptr<uint8_t[]> counters;
    std::size_t mask;
};

}  // namespace tarvok
