// SPDX-License-Identifier: GPL-3.0-or-later
// The transposition table: sizes, the packed entry, slot sharing, clearing,
// and a table that always works however little memory there is.
#include "search/hash_table.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "search/recording_engine.h"

namespace tarvok::test {
namespace {

TEST(HashTable, RequestsClampIntoRangeAndRoundUpToPowersOfTwo) {
    // requested MB, table MB, 16-byte entries
    const int64_t cases[][3] = {{32, 32, 2097152}, {33, 64, 4194304},  {2, 2, 131072},          {3, 4, 262144},
                                {8, 8, 524288},    {16, 16, 1048576},  {0, 2, 131072},          {1, 2, 131072},
                                {-5, 2, 131072},   {4097, 8192, 1 << 29}, {8193, 8192, 1 << 29}, {1LL << 40, 8192, 1 << 29}};
    for (const auto& [requested, megabytes, entries] : cases) {
        EXPECT_EQ(hashSizeMegabytes(requested), megabytes) << requested;
        EXPECT_EQ(hashEntryCount(static_cast<uint32_t>(megabytes)), entries) << megabytes;
    }
}

TEST(HashTable, StoreAndProbe) {
    HashTable table;
    EXPECT_EQ(table.probe(77), nullptr);  // never sized: the built-in slot
    ASSERT_EQ(table.resize(3), 1);
    EXPECT_EQ(table.entryCount, 262144u);
    EXPECT_EQ(table.indexMask, 262143u);
    EXPECT_EQ(table.megabytes(), 4u);
    for (uint32_t i = 0; i < table.entryCount; i += 4099) EXPECT_EQ(table.entries[i].data, 0u);

    // Every score the search stores, with every depth an entry can hold.
    const HashKey key = 0x0123456789ABCDEFull;
    for (int score : {-32001, -32000, -31744, -1, 0, 1, 31743, 31999, 32001}) {
        for (int depth = 0; depth < 512; ++depth) {
            for (uint32_t bound : {BOUND_EXACT, BOUND_UPPER, BOUND_LOWER}) {
                table.store(key, 0x12345u, depth, bound, score);
                const HashEntry* entry = table.probe(key);
                ASSERT_NE(entry, nullptr);
                ASSERT_EQ(entryScore(*entry), score) << depth;
                ASSERT_EQ(entryDepth(*entry), depth) << score;
                ASSERT_EQ(entryBound(*entry), bound);
                ASSERT_EQ(entry->move, 0x12345u);
            }
        }
    }
    // The word layout: depth 252 (63 plies), lower bound, score -5.
    table.store(key, 0, 252, BOUND_LOWER, -5);
    EXPECT_EQ(table.probe(key)->data, 0xFFFB03F2u);
    EXPECT_EQ(table.probe(key)->keyLow, 0x89ABCDEFu);
    EXPECT_EQ(table.probe(key)->keyHigh, 0x01234567u);
    // An out-of-range depth does not spill into the score or the bound.
    table.store(key, 0, -4, BOUND_UPPER, -77);
    EXPECT_EQ(entryScore(*table.probe(key)), -77);
    EXPECT_EQ(entryBound(*table.probe(key)), BOUND_UPPER);

    // Keys sharing a slot: the newest store wins, even a shallower one; a key
    // whose high word differs does not match.
    const HashKey first = 0x1111111100000042ull;
    const HashKey second = first + (HashKey{table.entryCount} << 3);
    table.store(first, 7, 40, BOUND_EXACT, 120);
    EXPECT_EQ(table.probe(second), nullptr);
    EXPECT_EQ(table.probe(0x2222222200000042ull), nullptr);
    table.store(second, 9, 4, BOUND_UPPER, -30);
    EXPECT_EQ(table.probe(first), nullptr);
    ASSERT_NE(table.probe(second), nullptr);
    EXPECT_EQ(table.probe(second)->move, 9u);

    // Clearing leaves only the zero key matching, an empty entry.
    for (HashKey k = 1; k < 5000; ++k) table.store(k * 0x9E3779B97F4A7C15ull, 1, 8, BOUND_LOWER, 10);
    table.clear();
    for (HashKey k = 1; k < 5000; ++k) ASSERT_EQ(table.probe(k * 0x9E3779B97F4A7C15ull), nullptr) << k;
    ASSERT_NE(table.probe(0), nullptr);
    EXPECT_EQ(table.probe(0)->data, 0u);
    EXPECT_EQ(table.probe(0)->move, NO_MOVE);
}

// Allocations above this many bytes fail, standing in for exhausted memory.
std::size_t allocationLimit = 0;
int allocationCalls = 0;
void* limitedAllocator(std::size_t bytes) {
    ++allocationCalls;
    return bytes > allocationLimit ? nullptr : std::malloc(bytes);
}

// Stores an entry and reads it back.
void expectWorkingTable(HashTable& table) {
    table.store(0xFFFFFFFFFFFFFFFFull, 5, 12, BOUND_LOWER, -200);
    ASSERT_NE(table.probe(0xFFFFFFFFFFFFFFFFull), nullptr);
    EXPECT_EQ(entryScore(*table.probe(0xFFFFFFFFFFFFFFFFull)), -200);
    EXPECT_EQ(table.probe(0xFFFFFFFFFFFFFFFEull), nullptr);
}

TEST(HashTable, LackOfMemoryLeavesAWorkingTable) {
    auto engine = makeRecordingEngine(nullptr);
    hashTable.allocate = limitedAllocator;
    allocationLimit = std::size_t{8} << 20;
    allocationCalls = 0;
    // The largest table is refused once, with one message; halving finds 8 MB.
    testing::internal::CaptureStdout();
    EXPECT_EQ(engine->setHashSize(INT_MAX), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Hash table : out of memory\n");
    EXPECT_EQ(allocationCalls, 11);  // 8192, 4096, ... 8 MB
    EXPECT_EQ(hashTable.megabytes(), 8u);
    EXPECT_EQ(hashTable.entryCount, hashEntryCount(8));
    EXPECT_EQ(hashTable.indexMask, hashEntryCount(8) - 1);
    expectWorkingTable(hashTable);
    testing::internal::CaptureStdout();
    EXPECT_EQ(engine->setHashSize(4), 1);  // a size that fits succeeds quietly
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    // No memory at all: the built-in slot serves every key, and clears.
    allocationLimit = 0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(hashTable.resize(32), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Hash table : out of memory\n");
    EXPECT_FALSE(hashTable.hasStorage());
    EXPECT_EQ(hashTable.megabytes(), 0u);
    EXPECT_EQ(hashTable.entryCount, 1u);
    EXPECT_EQ(hashTable.indexMask, 0u);
    expectWorkingTable(hashTable);
    engine->clearHash();
    EXPECT_EQ(hashTable.probe(0xFFFFFFFFFFFFFFFFull), nullptr);

    hashTable.allocate = defaultHashAllocator;
    ASSERT_EQ(hashTable.resize(2), 1);
    hashTable.free();
    hashTable.free();  // freeing twice is harmless
    expectWorkingTable(hashTable);
}

}  // namespace
}  // namespace tarvok::test
