// SPDX-License-Identifier: GPL-3.0-or-later
// Move ordering: the alpha-beta and quiescence scorers, the exchange sort,
// killer and history updates, where the search puts a capture that loses
// material, and static exchange balances.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>

#include "board/movegen.h"
#include "search/recording_engine.h"

namespace tarvok::test {
namespace {

constexpr int A1 = 0, B1 = 1, D1 = 3, E1 = 4, H1 = 7, D2 = 11, E2 = 12, A3 = 16, C3 = 18, B4 = 25, C5 = 34, A6 = 40,
              B7 = 49, G7 = 54, H7 = 55, A8 = 56, G8 = 62;

const Move kHashMove = makeMoveWord(E1, D1, KING);
const Move kKnightA3 = makeMoveWord(B1, A3, KNIGHT);
const Move kKnightC3 = makeMoveWord(B1, C3, KNIGHT);
const Move kRookTakesKnight = makeMoveWord(A1, A6, ROOK, KNIGHT);

struct OrderCase {
    Move move;
    int atPly5;  // killers Na3, Nc3
    int atPly6;  // killer Rxa6
    int quiescence;
};

// Hash move first, then captures and queen promotions by gain (a king
// counting as nothing), killers, and quiet moves by the mover's history.
// Quiescence orders losing captures low and other moves below them.
const OrderCase kOrder[] = {
    {kHashMove, 100000, 100000, -1},
    {kKnightA3, 45010, 4000, -1},
    {kKnightC3, 45000, 4000, -1},
    {makeMoveWord(B1, D2, KNIGHT), 4077, 4077, -1},
    {makeMoveWord(G7, G8, PAWN, NO_PIECE, KNIGHT), 4000, 4000, -1},
    {makeMoveWord(B4, C5, PAWN, QUEEN), 50875, 50875, 50875},
    {makeMoveWord(H1, H7, QUEEN, PAWN), 49125, 49125, 1125},
    {makeMoveWord(E1, E2, KING, PAWN), 50100, 50100, 50100},
    {makeMoveWord(G7, G8, PAWN, NO_PIECE, QUEEN), 50875, 50875, 50875},
    {kRookTakesKnight, 49825, 49825, 1825},
    {makeMoveWord(B7, A8, PAWN, ROOK, KNIGHT), 50725, 50725, 50725},
};

TEST(SearchOrdering, ScoresOfEachKindOfMove) {
    auto engine = makeRecordingEngine("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    engine->history[WHITE][B1][D2] = 77;
    engine->history[BLACK][B1][D2] = 500;  // the other side's counter is not read
    engine->killers[5][0] = kKnightA3;
    engine->killers[5][1] = kKnightC3;
    engine->killers[6][0] = kRookTakesKnight;
    for (int column = 0; column < 3; ++column) {
        MoveList list{};
        for (const OrderCase& c : kOrder) list.entries[list.count++].move = c.move;
        const int count = static_cast<int>(list.count);
        if (column < 2) engine->scoreMoves(list, count, kHashMove, 5 + column);
        else RecordingEngine::scoreCaptures(list, count);
        for (int i = 0; i < count; ++i) {
            const MoveEntry& entry = list.entries[i];
            const OrderCase* c = std::find_if(std::begin(kOrder), std::end(kOrder),
                                              [&](const OrderCase& o) { return o.move == entry.move; });
            ASSERT_NE(c, std::end(kOrder));
            const int expected[] = {c->atPly5, c->atPly6, c->quiescence};
            EXPECT_EQ(entry.score, expected[column]) << "column " << column << " " << coordinates(entry.move);
            EXPECT_GE(list.entries[std::max(i - 1, 0)].score, entry.score) << "not sorted, column " << column;
        }
    }
}

// The exchange sort written out literally: for each entry, against every
// earlier one in turn, the two are swapped when the earlier one scores lower.
void literalExchangeSort(MoveEntry* entries, int count) {
    for (int i = 1; i < count; ++i)
        for (int j = 0; j < i; ++j)
            if (entries[j].score < entries[i].score) std::swap(entries[i], entries[j]);
}

// The engine's faster sort must give the same permutation, ties included
// (a stable sort would not), and leave the entries past the count alone.
TEST(SearchOrdering, SortGivesTheLiteralExchangeSortsPermutation) {
    std::mt19937 random(12345);
    for (int trial = 0; trial < 20000; ++trial) {
        const int count = static_cast<int>(random() % (kMaxMoves + 1));
        // Narrow score ranges give long runs of ties, wide ones few.
        const uint32_t range = trial % 3 == 0 ? 3 : trial % 3 == 1 ? 40 : 100000;
        MoveList list{};
        for (int i = 0; i < kMaxMoves; ++i)
            list.entries[i] = {static_cast<Move>(i + 1), static_cast<int32_t>(random() % range) - 5};
        MoveList expected = list;
        literalExchangeSort(expected.entries, count);
        SearchEngine::sortMoves(list, count);
        for (int i = 0; i < kMaxMoves; ++i) {
            ASSERT_EQ(list.entries[i].move, expected.entries[i].move) << "trial " << trial << " entry " << i;
        }
    }
}

TEST(SearchOrdering, KillersShiftOnlyForANewMoveAndHistoryGrowsToItsCeiling) {
    auto engine = makeRecordingEngine("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    const int ply = 3;
    for (Move move : {kKnightC3, kKnightA3, kKnightA3}) engine->updateKillersAndHistory(move, 8, ply);
    EXPECT_EQ(engine->killers[ply][0], kKnightA3);
    EXPECT_EQ(engine->killers[ply][1], kKnightC3);
    EXPECT_EQ(engine->killers[ply + 1][0], NO_MOVE);

    // History adds the square of the plies of depth (depth counts quarter
    // plies) while the sum stays within 9999.
    uint32_t& counter = engine->history[WHITE][B1][C3];
    const uint32_t steps[][3] = {{0, 16, 16}, {16, 11, 20}, {9984, 16, 9984}, {9983, 16, 9999}};
    for (const auto& [before, depth, after] : steps) {
        counter = before;
        engine->updateKillersAndHistory(kKnightC3, static_cast<int>(depth), 0);
        EXPECT_EQ(counter, after) << "from " << before << " at depth " << depth;
    }
    EXPECT_EQ(engine->history[BLACK][B1][C3], 0u);
}

void searchNode(RecordingEngine& engine, int ply) {
    engine.setLimit(LIMIT_DEPTH, 1);
    PlyRecord& record = engine.board.plyRecords[engine.board.plyCount];
    record.inCheck = 0;
    record.nodeType = NODE_PV;
    engine.alphaBeta(4, -kInfiniteWindow, kInfiniteWindow, 1, ply);
    EXPECT_TRUE(engine.board.isConsistent());
}

TEST(SearchOrdering, LosingCapturesAreSearchedLastWithinTheMoveList) {
    // Qxe5 loses the queen for a pawn: its copy goes behind every other move.
    auto engine = makeRecordingEngine("4k3/8/3p4/4p3/8/8/4Q3/4K3 w - - 0 1");
    MoveList generated{};
    int count = generateAll(engine->board, generated, 0, false);
    searchNode(*engine, 1);
    const MoveList& list = engine->moveLists[1];
    EXPECT_EQ(list.entries[count].move, findMove(*engine, "e2e5"));
    EXPECT_EQ(list.entries[count].score, 50000 - 875 - 48000);

    // Nine queens facing many defended pieces: dozens of losing captures, at
    // the deepest ply whose children are only evaluated. Neither the list's
    // spare entry nor the next ply's list is written.
    engine = makeRecordingEngine("1bnnnnn1/PPPPPPPP/k1pnpppp/1p3Q1p/n2Q3Q/KQ5b/1p2QnQQ/2QnQ2b w - - 0 1");
    count = generateCaptures(engine->board, generated, 0);
    count += generateQuiets(engine->board, generated, count);
    ASSERT_LE(count, kMaxMoves);
    const int ply = 62;
    MoveList& next = engine->moveLists[ply + 1];
    const MoveEntry canary{0xDEADBEEFu, -123456};
    next.count = 0xC0FFEEu;
    for (MoveEntry& entry : next.entries) entry = canary;
    engine->moveLists[ply].entries[kMaxMoves] = canary;
    searchNode(*engine, ply);
    int copies = 0;
    const MoveEntry* entries = engine->moveLists[ply].entries;
    for (int i = count; i < kMaxMoves && entries[i].score < 2000 && moveCaptured(entries[i].move) != 0; ++i)
        ++copies;
    EXPECT_GT(copies, 30);
    EXPECT_EQ(engine->moveLists[ply].entries[kMaxMoves].move, canary.move);
    EXPECT_EQ(next.count, 0xC0FFEEu);
    for (const MoveEntry& entry : next.entries) ASSERT_EQ(entry.move, canary.move);
}

TEST(SearchOrdering, StaticExchangeBalances) {
    for (const DataRow& row : dataRows("exchange.txt", 4)) {
        auto engine = makeRecordingEngine(row.field[0].c_str());
        const Move move = findMove(*engine, row.field[1].c_str());
        ASSERT_NE(move, NO_MOVE) << row.line;
        const HashKey key = engine->board.hashKey;
        EXPECT_EQ(engine->staticExchange(move), std::stoi(row.field[2])) << row.line;
        EXPECT_EQ(engine->board.hashKey, key) << row.line;  // the board is left as it was
    }
}

}  // namespace
}  // namespace tarvok::test
