// SPDX-License-Identifier: GPL-3.0-or-later
// Move ordering: the exchange sort, and where the search puts captures that
// lose material. The scorers, the killer and history tables and static
// exchanges are checked through tests/data/search/engine.txt.
#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "board/movegen.h"
#include "search/recording_engine.h"

namespace tarvok::test {
namespace {

// The exchange sort written out literally: for each entry, against every
// earlier one in turn, the two are swapped when the earlier one scores lower.
void literalExchangeSort(MoveEntry* entries, int count) {
    for (int i = 1; i < count; ++i)
        for (int j = 0; j < i; ++j)
            if (entries[j].score < entries[i].score) std::swap(entries[i], entries[j]);
}

// The engine's faster sort gives the same permutation, ties included (a stable
// sort would not), and leaves the entries past the count alone; the entry
// picked before sorting is the sort's first.
TEST(SearchOrdering, SortGivesTheLiteralExchangeSortsPermutation) {
    std::mt19937 random(12345);
    for (int trial = 0; trial < 20000; ++trial) {
        const int count = static_cast<int>(random() % (kMaxMoves + 1));
        const uint32_t range = trial % 3 == 0 ? 3 : trial % 3 == 1 ? 40 : 100000;  // many ties or few
        MoveList list{};
        for (int i = 0; i < kMaxMoves; ++i)
            list.entries[i] = {static_cast<Move>(i + 1), static_cast<int32_t>(random() % range) - 5};
        MoveList expected = list;
        literalExchangeSort(expected.entries, count);
        // The entry searched before the sort is the one the sort puts first.
        if (count > 0) {
            ASSERT_EQ(list.entries[RecordingEngine::selectFirst(list, count)].move, expected.entries[0].move)
                << "trial " << trial;
        }
        SearchEngine::sortMoves(list, count);
        for (int i = 0; i < kMaxMoves; ++i) {
            ASSERT_EQ(list.entries[i].move, expected.entries[i].move) << "trial " << trial << " entry " << i;
        }
    }
}

// Nine queens facing many defended pieces: dozens of losing captures, each
// postponed behind every other move as a copy at the end of the list, here at
// the deepest ply whose children are only evaluated. The copies stay inside
// the list: neither its spare entry nor the next ply's list is written.
TEST(SearchOrdering, PostponedLosingCapturesStayInsideTheMoveList) {
    auto engine = makeRecordingEngine("1bnnnnn1/PPPPPPPP/k1pnpppp/1p3Q1p/n2Q3Q/KQ5b/1p2QnQQ/2QnQ2b w - - 0 1");
    MoveList generated{};
    const int count = generateAll(engine->board, generated, 0, false);
    const int ply = 62;
    const MoveEntry canary{0xDEADBEEFu, -123456};
    for (MoveEntry& entry : engine->moveLists[ply + 1].entries) entry = canary;
    engine->moveLists[ply + 1].count = 0xC0FFEEu;
    engine->moveLists[ply].entries[kMaxMoves] = canary;
    engine->setLimit(LIMIT_DEPTH, 1);
    engine->board.plyRecords[engine->board.plyCount].nodeType = NODE_PV;
    engine->alphaBeta(4, -kInfiniteWindow, kInfiniteWindow, 1, ply);
    EXPECT_TRUE(engine->board.isConsistent());
    int copies = 0;
    const MoveEntry* entries = engine->moveLists[ply].entries;
    for (int i = count; i < kMaxMoves && entries[i].score < 2000 && moveCaptured(entries[i].move) != 0; ++i)
        ++copies;
    EXPECT_GT(copies, 30);
    EXPECT_EQ(entries[kMaxMoves].move, canary.move);
    EXPECT_EQ(engine->moveLists[ply + 1].count, 0xC0FFEEu);
    for (const MoveEntry& entry : engine->moveLists[ply + 1].entries) ASSERT_EQ(entry.move, canary.move);
}

}  // namespace
}  // namespace tarvok::test
