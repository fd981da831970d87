// SPDX-License-Identifier: GPL-3.0-or-later
// The transposition table: one direct-mapped array of 16-byte entries indexed
// by the low bits of the position key. Newest store always wins.
//
//   hashTable.resize(megabytes)   1 when the requested size was allocated
//   hashTable.clear()             zero every entry
//   hashTable.free()              release the storage
//   hashTable.probe(key)          entry for this exact key, or nullptr
//   hashTable.prefetch(key)       starts loading the entry a probe will read
//   hashTable.store(key, move, depth, bound, score)
//   entryScore / entryDepth / entryBound unpack a probed entry
//
// The table never lacks storage: when nothing is allocated (before the first
// resize, after free, or when even the smallest size cannot be had) it uses a
// single built-in slot, so probe and store stay branch-free and safe.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/move.h"
#include "board/types.h"
#include "platform/platform.h"

namespace tarvok {

struct HashEntry {
    uint32_t keyLow;
    uint32_t keyHigh;
    Move move;
    uint32_t data;  // bits 0-1 bound, 2-15 depth (quarter plies), 16-31 score
};
static_assert(sizeof(HashEntry) == 16);

enum BoundKind : uint32_t { BOUND_EXACT = 0, BOUND_UPPER = 1, BOUND_LOWER = 2 };

constexpr int64_t kMinHashMegabytes = 2;
constexpr int64_t kMaxHashMegabytes = 8192;

// Table size for a request: clamped into 2..8192, then rounded up to a power
// of two.
constexpr uint32_t hashSizeMegabytes(int64_t requested) {
    if (requested < kMinHashMegabytes) requested = kMinHashMegabytes;
    if (requested > kMaxHashMegabytes) requested = kMaxHashMegabytes;
    uint32_t size = 1;
    while (size < requested) size <<= 1;
    return size;
}

// 16-byte entries in a table of that many megabytes (a power of two); the
// order of operations keeps the product inside 32 bits.
constexpr uint32_t hashEntryCount(uint32_t megabytes) {
    return megabytes >= 16 ? (megabytes / 16) << 20 : (megabytes << 20) / 16;
}

constexpr uint32_t packHashData(int depth, uint32_t bound, int score) {
    // Depth is masked to its 14 bits so that no depth can spill into the
    // score; every depth the search writes fits unchanged.
    return (static_cast<uint32_t>(depth) & 0x3FFFu) << 2 | (bound & 3u) | static_cast<uint32_t>(score) << 16;
}
constexpr int entryScore(const HashEntry& entry) { return static_cast<int16_t>(entry.data >> 16); }
constexpr int entryDepth(const HashEntry& entry) { return static_cast<int>((entry.data >> 2) & 511u); }
constexpr uint32_t entryBound(const HashEntry& entry) { return entry.data & 3u; }

// Source of the table's storage: zero-filled memory that
// platform::releaseTable gives back, or nullptr. Tests replace it to simulate
// exhausted memory.
using HashAllocator = void* (*)(std::size_t bytes);

struct HashTable {
    HashEntry* entries = &spareEntry;
    uint32_t entryCount = 1;
    uint32_t indexMask = 0;
    HashAllocator allocate = platform::allocateTable;
    // No store since the last clear or resize, so clearing can be skipped.
    bool clean = true;

    HashTable() = default;
    HashTable(const HashTable&) = delete;
    HashTable& operator=(const HashTable&) = delete;
    ~HashTable() { free(); }

    // Replaces the storage with a zeroed table for the request (clamped to
    // 2..8192 MB); nothing is written, so the cost comes with the first
    // stores. When that size cannot be allocated, prints
    // "Hash table : out of memory", keeps the largest smaller size that can
    // be (down to the single built-in slot) and returns 0.
    int resize(int64_t megabytes);
    // Zeroes a dirty table by handing its pages back and taking fresh ones:
    // the cost is that of the pages used, not of the table's size.
    void clear();
    void free();
    bool hasStorage() const { return entries != &spareEntry; }
    uint32_t megabytes() const { return hasStorage() ? entryCount / 65536 : 0; }

    const HashEntry* probe(HashKey key) const {
        const HashEntry& entry = entries[static_cast<uint32_t>(key) & indexMask];
        return entry.keyLow == static_cast<uint32_t>(key) && entry.keyHigh == static_cast<uint32_t>(key >> 32)
                   ? &entry
                   : nullptr;
    }

    // Starts loading the entry of a position about to be searched.
    void prefetch(HashKey key) const { __builtin_prefetch(&entries[static_cast<uint32_t>(key) & indexMask]); }

    void store(HashKey key, Move move, int depth, uint32_t bound, int score) {
        HashEntry& entry = entries[static_cast<uint32_t>(key) & indexMask];
        entry.keyLow = static_cast<uint32_t>(key);
        entry.keyHigh = static_cast<uint32_t>(key >> 32);
        entry.move = move;
        entry.data = packHashData(depth, bound, score);
        clean = false;
    }

   private:
    void useSpareEntry();
    std::size_t storageBytes() const { return static_cast<std::size_t>(entryCount) * sizeof(HashEntry); }
    HashEntry spareEntry{};
};

extern HashTable hashTable;

}  // namespace tarvok
