// SPDX-License-Identifier: GPL-3.0-or-later
// The transposition table: every score and depth packed and read back, and
// the operations of tests/data/search/hash.txt in order on one table.
#include "search/hash_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <tuple>

#include "search/recording_engine.h"

namespace tarvok::test {
namespace {

TEST(HashTable, EveryStoredScoreAndDepthReadsBack) {
    HashTable table;
    ASSERT_EQ(table.resize(2), 1);
    const HashKey key = 0x0123456789ABCDEFull;
    for (int score : {-32001, -32000, -31744, -1, 0, 1, 31743, 31999, 32001}) {
        for (int depth = 0; depth < 512; ++depth) {
            for (uint32_t bound : {BOUND_EXACT, BOUND_UPPER, BOUND_LOWER}) {
                table.store(key, 0x12345u, depth, bound, score);
                const HashEntry* e = table.probe(key);
                ASSERT_NE(e, nullptr);
                ASSERT_EQ(std::make_tuple(entryScore(*e), entryDepth(*e), entryBound(*e), e->move),
                          std::make_tuple(score, depth, bound, 0x12345u));
            }
        }
    }
}

// Allocations above this many bytes fail, standing in for exhausted memory.
std::size_t allocationLimit = 0;
int allocationCalls = 0;
void* limitedAllocator(std::size_t bytes) {
    ++allocationCalls;
    void* memory = bytes > allocationLimit ? nullptr : std::malloc(bytes);
    if (memory != nullptr) std::memset(memory, 0xAB, bytes);
    return memory;
}

TEST(HashTable, OperationsInOrder) {
    HashTable table;
    table.allocate = limitedAllocator;
    for (const DataRow& row : dataRows("hash.txt", 2)) {
        std::istringstream in(row.field[0]);
        std::ostringstream out;
        std::string op;
        int64_t a = 0;
        HashKey key = 0;
        in >> op;
        if (op == "size" && in >> a) {
            out << hashSizeMegabytes(a) << ' ' << hashEntryCount(hashSizeMegabytes(a));
        } else if (op == "resize" && in >> a >> allocationLimit) {
            allocationLimit <<= 20;
            allocationCalls = 0;
            testing::internal::CaptureStdout();
            const int result = table.resize(a);
            const std::string message = testing::internal::GetCapturedStdout();
            bool zeroed = true;
            for (uint32_t i = 0; i < table.entryCount; ++i)
                zeroed &= table.entries[i].data == 0 && table.entries[i].move == 0;
            out << result << ' ' << table.entryCount << ' ' << table.indexMask << ' ' << table.megabytes() << ' '
                << allocationCalls << (zeroed ? " zeroed" : "") << (message.empty() ? "" : " ") << message;
        } else if (op == "store" && in >> std::hex >> key >> std::dec) {
            int move = 0, depth = 0, bound = 0, score = 0;
            in >> move >> depth >> bound >> score;
            table.store(key, static_cast<Move>(move), depth, static_cast<uint32_t>(bound), score);
        } else if ((op == "probe" || op == "word") && in >> std::hex >> key) {
            const HashEntry* e = table.probe(key);
            if (e == nullptr) out << "miss";
            else if (op == "word") out << std::hex << e->data;
            else out << e->move << ' ' << entryDepth(*e) << ' ' << entryBound(*e) << ' ' << entryScore(*e);
        } else if (op == "clear") {
            table.clear();
        } else if (op == "free") {
            table.free();
        } else {
            ADD_FAILURE() << "unknown operation: " << row.line;
        }
        std::string shown = out.str();
        if (!shown.empty() && shown.back() == '\n') shown.pop_back();
        EXPECT_EQ(shown, row.field[1]) << row.line;
    }
}

}  // namespace
}  // namespace tarvok::test
