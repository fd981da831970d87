// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/hash_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace tarvok {
namespace {

// Allocations above this many bytes fail, simulating exhausted memory.
std::size_t allocationLimit = 0;
int allocationCalls = 0;
void* limitedAllocator(std::size_t bytes) {
    ++allocationCalls;
    return bytes > allocationLimit ? nullptr : std::calloc(1, bytes);
}

class HashTableTest : public ::testing::Test {
   protected:
    void TearDown() override { table.free(); }
    HashTable table;
};

TEST(HashTableSize, RequestsRoundUpToPowersOfTwoAndClampIntoRange) {
    EXPECT_EQ(hashSizeMegabytes(32), 32u);
    EXPECT_EQ(hashEntryCount(hashSizeMegabytes(32)), 2097152u);
    EXPECT_EQ(hashSizeMegabytes(33), 64u);
    EXPECT_EQ(hashEntryCount(hashSizeMegabytes(33)), 4194304u);
    EXPECT_EQ(hashEntryCount(hashSizeMegabytes(2)), 131072u);
    EXPECT_EQ(hashEntryCount(hashSizeMegabytes(8192)), 536870912u);
    EXPECT_EQ(hashSizeMegabytes(3), 4u);
    EXPECT_EQ(hashSizeMegabytes(4097), 8192u);
    // Outside 2..8192 the request is clamped, never zero entries.
    EXPECT_EQ(hashSizeMegabytes(0), 2u);
    EXPECT_EQ(hashSizeMegabytes(1), 2u);
    EXPECT_EQ(hashSizeMegabytes(-5), 2u);
    EXPECT_EQ(hashSizeMegabytes(8193), 8192u);
    EXPECT_EQ(hashSizeMegabytes(int64_t{1} << 40), 8192u);
    // Small sizes, where the order of the arithmetic differs.
    EXPECT_EQ(hashEntryCount(8), 524288u);
    EXPECT_EQ(hashEntryCount(16), 1048576u);
}

TEST_F(HashTableTest, ResizeAllocatesAZeroedPowerOfTwoTable) {
    ASSERT_EQ(table.resize(3), 1);
    EXPECT_TRUE(table.hasStorage());
    EXPECT_EQ(table.entryCount, 262144u);
    EXPECT_EQ(table.indexMask, 262143u);
    EXPECT_EQ(table.megabytes(), 4u);
    for (uint32_t i = 0; i < table.entryCount; i += 4099) EXPECT_EQ(table.entries[i].data, 0u);
    ASSERT_EQ(table.resize(0), 1);  // clamped up to 2 MB
    EXPECT_EQ(table.entryCount, 131072u);
}

TEST_F(HashTableTest, PackingKeepsNegativeScoresAndEveryReadableDepth) {
    ASSERT_EQ(table.resize(2), 1);
    const HashKey key = 0x0123456789ABCDEFull;
    const int scores[] = {-32001, -32000, -31744, -1, 0, 1, 31743, 31999, 32001};
    for (int score : scores) {
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
    // The word layout itself: depth 252 (63 plies), lower bound, score -5.
    table.store(key, 0, 252, BOUND_LOWER, -5);
    EXPECT_EQ(table.probe(key)->data, 0xFFFB03F2u);
    EXPECT_EQ(table.probe(key)->keyLow, 0x89ABCDEFu);
    EXPECT_EQ(table.probe(key)->keyHigh, 0x01234567u);
    // An out-of-range depth must not corrupt the score or the bound.
    table.store(key, 0, -4, BOUND_UPPER, -77);
    EXPECT_EQ(entryScore(*table.probe(key)), -77);
    EXPECT_EQ(entryBound(*table.probe(key)), BOUND_UPPER);
}

TEST_F(HashTableTest, KeysSharingTheSlotOverwriteEachOther) {
    ASSERT_EQ(table.resize(2), 1);
    const HashKey first = 0x1111111100000042ull;
    const HashKey second = first + (HashKey{table.entryCount} << 3);  // same low bits under the mask
    const HashKey sameLowWord = 0x2222222200000042ull;
    table.store(first, 7, 40, BOUND_EXACT, 120);
    ASSERT_NE(table.probe(first), nullptr);
    EXPECT_EQ(table.probe(second), nullptr);
    EXPECT_EQ(table.probe(sameLowWord), nullptr);  // high word differs
    // A shallower store still replaces a deeper one.
    table.store(second, 9, 4, BOUND_UPPER, -30);
    EXPECT_EQ(table.probe(first), nullptr);
    ASSERT_NE(table.probe(second), nullptr);
    EXPECT_EQ(table.probe(second)->move, 9u);
    EXPECT_EQ(entryDepth(*table.probe(second)), 4);
}

TEST_F(HashTableTest, ClearLeavesOnlyTheZeroKeyMatching) {
    ASSERT_EQ(table.resize(2), 1);
    for (HashKey key = 1; key < 5000; ++key) table.store(key * 0x9E3779B97F4A7C15ull, 1, 8, BOUND_LOWER, 10);
    table.clear();
    for (HashKey key = 1; key < 5000; ++key) EXPECT_EQ(table.probe(key * 0x9E3779B97F4A7C15ull), nullptr);
    const HashEntry* empty = table.probe(0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->move, NO_MOVE);
    EXPECT_EQ(empty->data, 0u);
}

TEST_F(HashTableTest, FailedAllocationFallsBackToTheLargestSizeThatFits) {
    table.allocate = limitedAllocator;
    allocationLimit = 8u << 20;  // 8 MB available
    allocationCalls = 0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(table.resize(64), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Hash table : out of memory\n");
    EXPECT_EQ(allocationCalls, 4);  // 64, 32, 16, then 8 MB
    EXPECT_TRUE(table.hasStorage());
    EXPECT_EQ(table.entryCount, hashEntryCount(8));
    EXPECT_EQ(table.indexMask, hashEntryCount(8) - 1);
    table.store(12345, 3, 8, BOUND_EXACT, 50);
    ASSERT_NE(table.probe(12345), nullptr);

    // A size that fits succeeds quietly.
    testing::internal::CaptureStdout();
    EXPECT_EQ(table.resize(4), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(HashTableTest, NoMemoryAtAllLeavesAUsableSingleSlot) {
    table.allocate = limitedAllocator;
    allocationLimit = 0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(table.resize(32), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Hash table : out of memory\n");
    EXPECT_FALSE(table.hasStorage());
    EXPECT_EQ(table.entryCount, 1u);
    EXPECT_EQ(table.indexMask, 0u);
    // Probe, store and clear work on the built-in slot, for every key.
    table.store(0xFFFFFFFFFFFFFFFFull, 5, 12, BOUND_LOWER, -200);
    ASSERT_NE(table.probe(0xFFFFFFFFFFFFFFFFull), nullptr);
    EXPECT_EQ(entryScore(*table.probe(0xFFFFFFFFFFFFFFFFull)), -200);
    table.clear();
    EXPECT_EQ(table.probe(0xFFFFFFFFFFFFFFFFull), nullptr);
}

TEST_F(HashTableTest, FreedOrNeverSizedTableIsSafeToUse) {
    EXPECT_FALSE(table.hasStorage());
    EXPECT_EQ(table.probe(77), nullptr);
    ASSERT_EQ(table.resize(2), 1);
    table.store(77, 1, 4, BOUND_EXACT, 0);
    table.free();
    EXPECT_FALSE(table.hasStorage());
    EXPECT_EQ(table.megabytes(), 0u);
    EXPECT_EQ(table.probe(77), nullptr);
    table.store(77, 1, 4, BOUND_EXACT, 0);
    EXPECT_NE(table.probe(77), nullptr);
    table.free();  // freeing twice is harmless
}

}  // namespace
}  // namespace tarvok
