// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/search_engine.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <memory>

#include "board/movegen.h"
#include "search/hash_table.h"
#include "test_support/board_compare.h"

namespace tarvok {
namespace {

constexpr const char* kStartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// An engine whose hooks only count their calls.
class CountingEngine : public SearchEngine {
   public:
    void spareHook1() override {}
    void onSearchBegin() override {}
    void onSearchEnd(int) override {}
    void onGameMoveDone() override { ++gameMoveCalls; }
    void onIterationDone(int, const PvRow&, uint64_t, double) override {}
    void spareHook2() override {}
    void onSearchPrepared() override {}
    int onBoardChanged() override {
        ++boardChangedCalls;
        return 1;
    }
    void spareHook3() override {}
    void pollInput() override {}
    void onRootMove(Move, int) override {}

    int gameMoveCalls = 0;
    int boardChangedCalls = 0;
};

// The fields setLimit may touch.
struct Limits {
    int limitMode;
    int32_t depthLimit;
    uint64_t nodeLimit;
    uint32_t moveTime;
    uint32_t timeBudget;
    int32_t maxDepth;
    int32_t movesToGo;

    explicit Limits(const SearchEngine& e)
        : limitMode(e.limitMode),
          depthLimit(e.depthLimit),
          nodeLimit(e.nodeLimit),
          moveTime(e.moveTime),
          timeBudget(e.timeBudget),
          maxDepth(e.maxDepth),
          movesToGo(e.movesToGo) {}
    bool operator==(const Limits&) const = default;
};

// Allocations above this many bytes fail, standing in for exhausted memory.
std::size_t allocationLimit = 0;
void* limitedAllocator(std::size_t bytes) { return bytes > allocationLimit ? nullptr : std::malloc(bytes); }

class SearchEngineTest : public ::testing::Test {
   protected:
    void SetUp() override {
        engine = std::make_unique<CountingEngine>();
        ASSERT_EQ(engine->setHashSize(2), 1);
        engine->setStartPosition();
    }
    void TearDown() override {
        hashTable.allocate = defaultHashAllocator;
        hashTable.free();
    }

    // Stores an entry and reads it back: the table has usable storage.
    static void expectWorkingTable() {
        ASSERT_TRUE(hashTable.hasStorage());
        ASSERT_GT(hashTable.entryCount, 1u);
        EXPECT_EQ(hashTable.indexMask, hashTable.entryCount - 1);
        const HashKey key = 0x9E3779B97F4A7C15ull;
        hashTable.store(key, 1234, 8, BOUND_EXACT, -77);
        const HashEntry* entry = hashTable.probe(key);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->move, 1234u);
        EXPECT_EQ(entryScore(*entry), -77);
        EXPECT_EQ(hashTable.probe(key ^ (HashKey{1} << 40)), nullptr);
    }

    std::unique_ptr<CountingEngine> engine;
};

TEST_F(SearchEngineTest, SetLimitSetsEachModesOwnValue) {
    engine->setLimit(LIMIT_DEPTH, 5);
    EXPECT_EQ(engine->limitMode, LIMIT_DEPTH);
    EXPECT_EQ(engine->depthLimit, 5);

    engine->setLimit(LIMIT_NODES, 5000000000LL);
    EXPECT_EQ(engine->limitMode, LIMIT_NODES);
    EXPECT_EQ(engine->nodeLimit, 5000000000ull);
    engine->setLimit(LIMIT_NODES, -1);
    EXPECT_EQ(engine->nodeLimit, 18446744073709551615ull);

    engine->setLimit(LIMIT_MOVETIME, 2500000);
    EXPECT_EQ(engine->limitMode, LIMIT_MOVETIME);
    EXPECT_EQ(engine->moveTime, 2500000u);
    EXPECT_EQ(engine->depthLimit, 5);  // other modes' values stay

    const Limits before(*engine);
    engine->setLimit(LIMIT_CLOCK, 99);
    EXPECT_EQ(engine->limitMode, LIMIT_CLOCK);
    engine->setLimit(LIMIT_INFINITE, 99);
    EXPECT_EQ(engine->limitMode, LIMIT_INFINITE);
    Limits after(*engine);
    after.limitMode = before.limitMode;
    EXPECT_TRUE(after == before);  // modes 5 and 7 carry no value
}

TEST_F(SearchEngineTest, SetLimitIgnoresValuesThatAreNotModes) {
    engine->setLimit(LIMIT_DEPTH, 3);
    const Limits before(*engine);
    for (int mode : {2, 4, 6, 8, -1, INT_MAX}) {
        engine->setLimit(mode, 12345);
        EXPECT_TRUE(Limits(*engine) == before) << "mode " << mode;
    }
}

TEST(SearchEngineMateDistance, CountsMovesToMateAndPassesOtherScores) {
    EXPECT_EQ(SearchEngine::mateDistance(-31744), 128);
    EXPECT_EQ(SearchEngine::mateDistance(31744), 128);
    EXPECT_EQ(SearchEngine::mateDistance(31999), 1);
    EXPECT_EQ(SearchEngine::mateDistance(31998), 1);
    EXPECT_EQ(SearchEngine::mateDistance(31997), 2);
    EXPECT_EQ(SearchEngine::mateDistance(-32000), 0);
    EXPECT_EQ(SearchEngine::mateDistance(-31999), 1);
    EXPECT_EQ(SearchEngine::mateDistance(-31998), 1);
    EXPECT_EQ(SearchEngine::mateDistance(-31997), 2);
    EXPECT_EQ(SearchEngine::mateDistance(31743), 31743);
    EXPECT_EQ(SearchEngine::mateDistance(-31743), -31743);
    EXPECT_EQ(SearchEngine::mateDistance(0), 0);
}

TEST_F(SearchEngineTest, NewGameRestoresTheDefaultLimitsAndState) {
    ASSERT_EQ(engine->playMoveText("e2e4"), 1);
    engine->setLimit(LIMIT_NODES, 7);
    engine->setLimit(LIMIT_DEPTH, 20);
    engine->maxDepth = 4;
    engine->timeBudget = 1;
    engine->movesToGo = 3;
    engine->clockIncrement[1] = 500;
    engine->clockTime[0] = 12.0f;
    engine->defaultClock = 1;
    engine->ponderMove = 99;
    engine->searching = 1;
    engine->pondering = 1;
    engine->killers[3][1] = 42;
    engine->history[1][12][28] = 9;
    const HashKey key = 0x1234567890ABCDEFull;
    hashTable.store(key, 5, 4, BOUND_LOWER, 10);
    const int calls = engine->boardChangedCalls;

    engine->setStartPosition();
    EXPECT_EQ(engine->limitMode, LIMIT_MOVETIME);
    EXPECT_EQ(engine->moveTime, 5000000u);
    EXPECT_EQ(engine->depthLimit, 8);
    EXPECT_EQ(engine->maxDepth, 63);
    EXPECT_EQ(engine->nodeLimit, 2000000u);
    EXPECT_EQ(engine->timeBudget, 7500u);
    EXPECT_EQ(engine->movesToGo, 40);
    EXPECT_EQ(engine->checkInterval, 30000u);
    EXPECT_EQ(engine->checkCounter, 0u);
    EXPECT_EQ(engine->clockIncrement[0], 0);
    EXPECT_EQ(engine->clockIncrement[1], 0);
    EXPECT_EQ(engine->defaultClock, 300000);
    EXPECT_EQ(engine->clockTime[0], 300000.0f);
    EXPECT_EQ(engine->clockTime[1], 300000.0f);
    EXPECT_EQ(engine->ponderMove, NO_MOVE);
    EXPECT_EQ(engine->lastMove, NO_MOVE);
    EXPECT_EQ(engine->searching, 0);
    EXPECT_EQ(engine->pondering, 0);
    EXPECT_EQ(engine->killers[3][1], NO_MOVE);
    EXPECT_EQ(engine->history[1][12][28], 0u);
    EXPECT_EQ(engine->game.gameLength, 0u);
    EXPECT_EQ(engine->game.gameIndex, 0u);
    EXPECT_EQ(engine->board.keyHistoryCount, 0u);
    EXPECT_EQ(engine->board.plyCount, 0u);
    EXPECT_EQ(hashTable.probe(key), nullptr);
    EXPECT_EQ(engine->boardChangedCalls, calls + 1);
    Board expected;
    ASSERT_EQ(expected.setFromFen(kStartFen), 1);
    EXPECT_TRUE(test::sameBoard(expected, engine->board));
}

TEST_F(SearchEngineTest, TakeBackOnAnEmptyRecordDoesNothing) {
    const int boardCalls = engine->boardChangedCalls;
    EXPECT_EQ(engine->gameTakeBack(), 0);
    EXPECT_EQ(engine->game.gameIndex, 0u);
    EXPECT_EQ(engine->boardChangedCalls, boardCalls);
    EXPECT_EQ(engine->gameMoveCalls, 0);
}

TEST_F(SearchEngineTest, TakeBackUndoesTheLastMoveAndNotifies) {
    Board start = engine->board;
    ASSERT_EQ(engine->playMoveText("e2e4"), 1);
    const Move first = engine->lastMove;
    EXPECT_EQ(moveFrom(first), 12);
    ASSERT_EQ(engine->playMoveText("c7c5"), 1);
    EXPECT_NE(engine->lastMove, first);
    EXPECT_EQ(engine->playMoveText("e4e6"), 0);  // rejected: lastMove keeps its value
    EXPECT_EQ(engine->game.gameIndex, 2u);
    const int boardCalls = engine->boardChangedCalls;

    ASSERT_EQ(engine->gameTakeBack(), 1);
    EXPECT_EQ(engine->lastMove, first);
    EXPECT_EQ(engine->game.gameLength, 1u);
    ASSERT_EQ(engine->gameTakeBack(), 1);
    EXPECT_EQ(engine->lastMove, NO_MOVE);
    EXPECT_EQ(engine->boardChangedCalls, boardCalls + 2);
    EXPECT_EQ(engine->gameMoveCalls, 2);
    EXPECT_TRUE(test::sameBoard(start, engine->board));
    EXPECT_EQ(engine->gameTakeBack(), 0);
}

TEST_F(SearchEngineTest, HashSizesOutsideTheRangeStillLeaveAWorkingTable) {
    for (int megabytes : {0, 1, -1, INT_MIN}) {
        EXPECT_EQ(engine->setHashSize(megabytes), 1) << megabytes;
        EXPECT_EQ(hashTable.entryCount, 131072u) << megabytes;  // the smallest table, 2 MB
        expectWorkingTable();
    }
    // A huge request asks for the largest table; when that cannot be had a
    // smaller one is kept and the failure is reported.
    allocationLimit = std::size_t{4} << 20;
    hashTable.allocate = limitedAllocator;
    testing::internal::CaptureStdout();
    EXPECT_EQ(engine->setHashSize(INT_MAX), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Hash table : out of memory\n");
    EXPECT_EQ(hashTable.megabytes(), 4u);
    expectWorkingTable();
    // The search still runs on the board after a resize.
    EXPECT_EQ(engine->countLegalMoves(), 20);
}

TEST_F(SearchEngineTest, ClearHashEmptiesTheTable) {
    const HashKey key = 0xFEDCBA9876543210ull;
    hashTable.store(key, 77, 12, BOUND_UPPER, 3);
    ASSERT_NE(hashTable.probe(key), nullptr);
    engine->clearHash();
    EXPECT_EQ(hashTable.probe(key), nullptr);
}

TEST_F(SearchEngineTest, LegalMoveCountsAndCheckmate) {
    EXPECT_EQ(engine->countLegalMoves(), 20);
    EXPECT_FALSE(engine->isCheckmate());
    ASSERT_EQ(engine->setFromFen("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3"), 1);
    EXPECT_EQ(engine->countLegalMoves(), 0);
    EXPECT_TRUE(engine->isCheckmate());
    ASSERT_EQ(engine->setFromFen("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"), 1);
    EXPECT_EQ(engine->countLegalMoves(), 0);
    EXPECT_FALSE(engine->isCheckmate());  // stalemate
    ASSERT_EQ(engine->setFromFen("4k3/8/8/8/8/8/4r3/4K3 w - - 0 1"), 1);
    EXPECT_EQ(engine->countLegalMoves(), 3);  // Kxe2, Kd1, Kf1; the rook covers d2 and f2
}

TEST_F(SearchEngineTest, RejectedFenKeepsPositionAndRecord) {
    ASSERT_EQ(engine->playMoveText("d2d4"), 1);
    const Board before = engine->board;
    const int calls = engine->boardChangedCalls;
    EXPECT_EQ(engine->setFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq - 0 1"), 0);
    EXPECT_TRUE(test::sameBoard(before, engine->board));
    EXPECT_EQ(engine->game.gameIndex, 1u);
    EXPECT_EQ(engine->boardChangedCalls, calls);
}

TEST_F(SearchEngineTest, BookSwitchesAndRelease) {
    engine->bookEnabled = 0;
    engine->bookMaxPly = 3;
    EXPECT_EQ(engine->enableBook("/nonexistent/tarvok-book.bin"), 0);
    EXPECT_EQ(engine->bookEnabled, 1);
    EXPECT_EQ(engine->bookMaxPly, 20u);
    engine->disableBook();
    EXPECT_EQ(engine->bookEnabled, 0);

    engine->ponderEnabled = 1;
    engine->pondering = 1;
    engine->ponderMove = 5;
    engine->stopState = STOP_NONE;
    engine->release();
    EXPECT_EQ(engine->ponderEnabled, 0);
    EXPECT_EQ(engine->pondering, 0);
    EXPECT_EQ(engine->ponderMove, NO_MOVE);
    EXPECT_EQ(engine->stopState, STOP_NONE);  // not searching: no stop requested
    EXPECT_FALSE(hashTable.hasStorage());
    EXPECT_EQ(engine->board.occupied, 0u);

    engine->searching = 1;
    engine->release();
    EXPECT_EQ(engine->stopState, STOP_ABORT);
}

}  // namespace
}  // namespace tarvok
