// SPDX-License-Identifier: GPL-3.0-or-later
// The engine outside a search: new-game reset, limits it refuses, mate
// distances, the game record, book switches and release.
#include "search/search_engine.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

#include "search/hash_table.h"
#include "search/recording_engine.h"

namespace tarvok::test {
namespace {

auto limitsAndState(const SearchEngine& e) {
    return std::make_tuple(e.limitMode, e.depthLimit, e.maxDepth, e.nodeLimit, e.moveTime, e.timeBudget, e.movesToGo,
                           e.checkInterval, e.checkCounter, e.clockIncrement[0], e.clockIncrement[1], e.defaultClock,
                           e.clockTime[0], e.clockTime[1], e.ponderMove, e.lastMove, e.searching, e.pondering,
                           e.startTime.seconds);
}

TEST(SearchEngine, NewGameRestoresTheDefaults) {
    auto fresh = std::make_unique<RecordingEngine>();
    auto engine = makeRecordingEngine("4k3/8/8/8/8/8/4r3/4K3 w - - 0 1");
    ASSERT_EQ(engine->playMoveText("e1d1"), 1);
    engine->setLimit(LIMIT_NODES, 7);
    engine->setLimit(LIMIT_DEPTH, 20);
    engine->setupTimeBudget();
    engine->maxDepth = 4;
    engine->timeBudget = 1;
    engine->movesToGo = 3;
    engine->checkInterval = 5;
    engine->checkCounter = 3;
    engine->clockIncrement[0] = engine->clockIncrement[1] = 500;
    engine->defaultClock = 1;
    engine->clockTime[0] = engine->clockTime[1] = 12.0f;
    engine->ponderMove = 99;
    engine->searching = engine->pondering = 1;
    engine->startTime = {5, 5};
    engine->killers[3][1] = 42;
    engine->history[1][12][28] = 9;
    hashTable.store(0x1234567890ABCDEFull, 5, 4, BOUND_LOWER, 10);
    engine->trace.clear();

    engine->setStartPosition();
    EXPECT_EQ(limitsAndState(*engine), limitsAndState(*fresh));
    EXPECT_EQ(engine->limitMode, LIMIT_MOVETIME);  // five seconds a move
    EXPECT_EQ(engine->moveTime, 5000000u);
    EXPECT_EQ(engine->killers[3][1], NO_MOVE);
    EXPECT_EQ(engine->history[1][12][28], 0u);
    EXPECT_EQ(hashTable.probe(0x1234567890ABCDEFull), nullptr);
    EXPECT_EQ(engine->game.gameLength, 0u);
    EXPECT_EQ(engine->game.gameIndex, 0u);
    EXPECT_EQ(engine->board.keyHistoryCount, 0u);
    EXPECT_EQ(engine->board.plyCount, 0u);
    EXPECT_EQ(engine->trace, "C");
    EXPECT_EQ(fenOf(engine->board), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 ");

    // Values that name no limit mode change nothing.
    const auto before = limitsAndState(*engine);
    for (int mode : {2, 4, 6, 8, -1, INT_MAX}) {
        engine->setLimit(mode, 12345);
        EXPECT_EQ(limitsAndState(*engine), before) << "mode " << mode;
    }
    engine->setLimit(LIMIT_NODES, -1);
    EXPECT_EQ(engine->nodeLimit, UINT64_MAX);
}

TEST(SearchEngine, MateDistanceCountsMovesAndPassesOtherScores) {
    const int cases[][2] = {{31999, 1},  {31998, 1},  {31997, 2},  {31744, 128}, {31743, 31743}, {0, 0},
                            {-32000, 0}, {-31999, 1}, {-31998, 1}, {-31997, 2},  {-31744, 128},  {-31743, -31743}};
    for (const auto& [score, distance] : cases) EXPECT_EQ(SearchEngine::mateDistance(score), distance) << score;
}

TEST(SearchEngine, GameRecordPlaysRejectsAndTakesBack) {
    auto engine = makeRecordingEngine(nullptr);
    const std::string start = fenOf(engine->board);
    EXPECT_EQ(engine->gameTakeBack(), 0);  // nothing to take back: no hook either
    ASSERT_EQ(engine->playMoveText("e2e4"), 1);
    const Move first = engine->lastMove;
    EXPECT_EQ(coordinates(first), "e2e4");
    ASSERT_EQ(engine->playMoveText("c7c5"), 1);
    const std::string afterTwo = fenOf(engine->board);
    // An illegal move and a bad FEN change nothing.
    EXPECT_EQ(engine->playMoveText("e4e6"), 0);
    EXPECT_EQ(engine->setFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq - 0 1"), 0);
    EXPECT_EQ(fenOf(engine->board), afterTwo);
    EXPECT_EQ(coordinates(engine->lastMove), "c7c5");
    EXPECT_EQ(engine->game.gameIndex, 2u);
    EXPECT_EQ(engine->trace, "");

    ASSERT_EQ(engine->gameTakeBack(), 1);
    EXPECT_EQ(engine->lastMove, first);
    EXPECT_EQ(engine->game.gameLength, 1u);
    ASSERT_EQ(engine->gameTakeBack(), 1);
    EXPECT_EQ(engine->lastMove, NO_MOVE);
    EXPECT_EQ(engine->trace, "CGCG");  // each take-back: board changed, move done
    EXPECT_EQ(fenOf(engine->board), start);
}

TEST(SearchEngine, BookSwitchesAndRelease) {
    auto engine = makeRecordingEngine(nullptr);
    engine->bookEnabled = 0;
    engine->bookMaxPly = 3;
    EXPECT_EQ(engine->enableBook("/nonexistent/tarvok-book.bin"), 0);
    EXPECT_EQ(engine->bookEnabled, 1);
    EXPECT_EQ(engine->bookMaxPly, 20u);
    engine->disableBook();
    EXPECT_EQ(engine->bookEnabled, 0);

    engine->ponderEnabled = engine->pondering = 1;
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
}  // namespace tarvok::test
