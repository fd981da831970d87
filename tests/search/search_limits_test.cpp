// SPDX-License-Identifier: GPL-3.0-or-later
// Limits and hooks of a whole search: hook order, iteration count, node and
// clock limits, the budget arithmetic, stop states and the ponder take-back.
#include <fcntl.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <utility>

#include "frontend/input_reader.h"
#include "search/recording_engine.h"

namespace tarvok::test {
namespace {

constexpr const char* kMiddleGame = "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";

TEST(SearchHooks, DepthLimitedSearchReportsEachIterationInOrder) {
    auto engine = makeRecordingEngine(kMiddleGame);
    engine->setLimit(LIMIT_DEPTH, 3);
    engine->startSearch(false);
    const std::vector<Hook> expected = {Hook::SearchBegin,   Hook::SearchPrepared, Hook::IterationDone,
                                        Hook::IterationDone, Hook::IterationDone,  Hook::SearchEnd,
                                        Hook::GameMoveDone};
    EXPECT_EQ(engine->hookSequence(), expected);
    const auto iterations = engine->iterations();
    ASSERT_EQ(iterations.size(), 3u);
    for (int d = 0; d < 3; ++d) {
        EXPECT_EQ(iterations[d].value, d + 1);
        ASSERT_FALSE(iterations[d].pv.empty());
        if (d > 0) {
            EXPECT_GT(iterations[d].nodes, iterations[d - 1].nodes);
            EXPECT_GE(iterations[d].microseconds, iterations[d - 1].microseconds);
        }
    }
    EXPECT_EQ(engine->events[5].value, STOP_PLAY);
    EXPECT_EQ(engine->game.gameLength, 1u);
    EXPECT_EQ(engine->lastMove, iterations[2].pv[0]);
    EXPECT_EQ(engine->game.gameMoves[0].move, iterations[2].pv[0]);
    EXPECT_EQ(engine->ponderMove, iterations[2].pv.size() >= 2 ? iterations[2].pv[1] : NO_MOVE);
    EXPECT_EQ(engine->searching, 0);
    EXPECT_EQ(nodeCount, iterations[2].nodes);
}

TEST(SearchHooks, DepthOneRunsExactlyOneIteration) {
    auto engine = makeRecordingEngine(kMiddleGame);
    engine->setLimit(LIMIT_DEPTH, 1);
    engine->startSearch(false);
    ASSERT_EQ(engine->count(Hook::IterationDone), 1);
    EXPECT_EQ(engine->iterations()[0].value, 1);
    EXPECT_EQ(engine->game.gameLength, 1u);
}

TEST(SearchHooks, RootMovesAreReportedWithTheirNumbersWhileReporting) {
    auto engine = makeRecordingEngine(nullptr);
    engine->setLimit(LIMIT_DEPTH, 1);
    engine->rootMoveReporting = 1;
    engine->savedPv.entries[0].move = findMove(*engine, "a2a3");
    engine->savedPv.length = 1;
    engine->searchRoot(8, -kInfiniteWindow, kInfiniteWindow);
    ASSERT_EQ(engine->count(Hook::RootMove), 20);
    EXPECT_EQ(coordinates(engine->events[0].move), "a2a3");  // the previous best is searched first
    for (int i = 0; i < 20; ++i) EXPECT_EQ(engine->events[i].value, i + 1);
    EXPECT_EQ(engine->rootResult, 0);
}

TEST(SearchHooks, AbortEndsWithTheAbortReportAlone) {
    auto engine = makeRecordingEngine(kMiddleGame);
    engine->setLimit(LIMIT_DEPTH, 6);
    engine->afterHook = [](RecordingEngine& e, const HookCall& call) {
        if (call.hook == Hook::IterationDone && call.value == 2) e.stopState = STOP_ABORT;
    };
    const HashKey before = engine->board.hashKey;
    engine->startSearch(false);
    const std::vector<Hook> expected = {Hook::SearchBegin, Hook::SearchPrepared, Hook::IterationDone,
                                        Hook::IterationDone, Hook::SearchEnd};
    EXPECT_EQ(engine->hookSequence(), expected);
    EXPECT_EQ(engine->events.back().value, STOP_ABORT);
    EXPECT_EQ(engine->game.gameLength, 0u);
    EXPECT_EQ(engine->board.hashKey, before);
    EXPECT_EQ(engine->searching, 0);
}

TEST(SearchHooks, StoppedPonderSearchTakesThePredictedMoveBack) {
    auto engine = makeRecordingEngine(nullptr);
    ASSERT_EQ(engine->playMoveText("e2e4"), 1);
    engine->ponderEnabled = 1;
    engine->setLimit(LIMIT_DEPTH, 8);
    engine->afterHook = [](RecordingEngine& e, const HookCall& call) {
        if (call.hook == Hook::IterationDone && call.value == 2) e.stopState = STOP_PONDER;
    };
    engine->events.clear();
    engine->startSearch(true);
    const std::vector<Hook> expected = {Hook::SearchBegin,   Hook::SearchPrepared, Hook::IterationDone,
                                        Hook::IterationDone, Hook::BoardChanged,   Hook::GameMoveDone,
                                        Hook::SearchEnd};
    EXPECT_EQ(engine->hookSequence(), expected);
    EXPECT_EQ(engine->events.back().value, STOP_PONDER);
    EXPECT_EQ(engine->game.gameLength, 0u);
    EXPECT_EQ(engine->lastMove, NO_MOVE);
    EXPECT_EQ(engine->pondering, 0);
    auto fresh = makeRecordingEngine(nullptr);
    EXPECT_EQ(engine->board.hashKey, fresh->board.hashKey);
}

TEST(SearchHooks, PonderSearchIgnoresTheNodeLimitAndWaitsForTheOpponent) {
    auto engine = makeRecordingEngine(kMiddleGame);
    engine->ponderEnabled = 1;
    engine->setLimit(LIMIT_NODES, 100);
    engine->maxDepth = 3;
    // The search runs out of depth while pondering: it waits, polling input,
    // until the third poll brings the ponder hit. Standard input at its end
    // always counts as readable, so the waiting search polls at once.
    const int devNull = open("/dev/null", O_RDONLY);
    ASSERT_GE(devNull, 0);
    ASSERT_EQ(dup2(devNull, 0), 0);
    close(devNull);
    standardInput().reset(0);
    int polls = 0;
    engine->onPoll = [&polls](RecordingEngine& e) {
        if (++polls == 3) e.pondering = 0;
    };
    engine->startSearch(true);
    EXPECT_EQ(engine->count(Hook::IterationDone), 3);
    EXPECT_GE(polls, 3);
    EXPECT_GT(nodeCount, 100u);
    EXPECT_EQ(engine->pondering, 0);
    EXPECT_EQ(engine->events.back().hook, Hook::GameMoveDone);
}

TEST(SearchLimits, NodeLimitStopsAtTheFirstCheckReachingIt) {
    auto engine = makeRecordingEngine(kMiddleGame);
    engine->setLimit(LIMIT_NODES, 5000);  // far below the first clock interval
    engine->startSearch(false);
    EXPECT_EQ(nodeCount, 5000u);
    EXPECT_EQ(engine->events.back().hook, Hook::GameMoveDone);
    const auto iterations = engine->iterations();
    ASSERT_FALSE(iterations.empty());
    EXPECT_LT(iterations.back().nodes, 5000u);
    EXPECT_EQ(engine->lastMove, iterations.back().pv[0]);
    EXPECT_EQ(engine->count(Hook::PollInput), 0);
}

TEST(SearchLimits, StopBeforeAnyIterationStillPlaysALegalMove) {
    auto engine = makeRecordingEngine(kMiddleGame);
    engine->setLimit(LIMIT_NODES, 0);
    engine->startSearch(false);
    const std::vector<Hook> expected = {Hook::SearchBegin, Hook::SearchPrepared, Hook::SearchEnd,
                                        Hook::GameMoveDone};
    EXPECT_EQ(engine->hookSequence(), expected);
    EXPECT_EQ(engine->events[2].value, STOP_PLAY);
    EXPECT_EQ(nodeCount, 0u);
    // No iteration finished, yet the GUI gets a legal move, never none.
    ASSERT_EQ(engine->game.gameLength, 1u);
    EXPECT_NE(engine->playedMove, NO_MOVE);
    EXPECT_EQ(engine->playedMove, engine->lastMove);
    const Move played = engine->playedMove;
    ASSERT_EQ(engine->gameTakeBack(), 1);
    EXPECT_EQ(engine->board.makeMove(played), 1);
}

TEST(SearchLimits, StopDuringADepthLimitedIterationStillPlaysAMove) {
    // A stop ("stop" from the GUI) arrives as iteration 3 starts its first
    // root move: no move of that iteration is finished, so the best move of
    // iteration 2 is played rather than nothing.
    auto engine = makeRecordingEngine(kMiddleGame);
    engine->setLimit(LIMIT_DEPTH, 10);
    engine->afterHook = [](RecordingEngine& e, const HookCall& call) {
        if (call.hook == Hook::IterationDone && call.value == 2) e.rootMoveReporting = 1;
        if (call.hook == Hook::RootMove) e.stopState = STOP_PLAY;
    };
    engine->startSearch(false);
    const auto iterations = engine->iterations();
    ASSERT_EQ(iterations.size(), 2u);
    EXPECT_EQ(engine->count(Hook::RootMove), 1);
    ASSERT_EQ(engine->game.gameLength, 1u);
    EXPECT_EQ(engine->lastMove, iterations[1].pv[0]);
}

TEST(SearchLimits, OneLegalMoveInClockModeStopsAfterTheFirstIteration) {
    // Rook and bishop check the king on h1, which has only Kh2.
    auto engine = makeRecordingEngine("k7/8/8/8/4b3/8/8/r6K w - - 0 1");
    engine->setLimit(LIMIT_CLOCK, 0);
    engine->clockTime[WHITE] = 60000.0f;
    engine->movesToGo = 1;
    engine->startSearch(false);
    EXPECT_EQ(engine->count(Hook::IterationDone), 1);
    EXPECT_EQ(engine->rootResult, 1);
    EXPECT_EQ(coordinates(engine->lastMove), "h1h2");
    EXPECT_EQ(engine->game.gameLength, 1u);
}

TEST(SearchLimits, RepeatedMateScoresEndAClockSearchAtDepthSix) {
    auto engine = makeRecordingEngine("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    engine->setLimit(LIMIT_CLOCK, 0);
    engine->clockTime[WHITE] = 6000000.0f;
    engine->movesToGo = 1;
    engine->startSearch(false);
    const auto iterations = engine->iterations();
    ASSERT_EQ(iterations.size(), 6u);
    for (const HookCall& call : iterations) EXPECT_EQ(call.score, 31999);
    EXPECT_EQ(coordinates(engine->lastMove), "a1a8");
}

TEST(SearchLimits, ClockBelowTheReserveStillFinishesTheFirstIteration) {
    // With 150 ms left the budget is 0. Whether the clock's first check comes
    // inside the first iteration (a short check interval stands in for a
    // long iteration) or after it, that one iteration is completed and its
    // best move played, not the first legal move in generation order.
    auto reference = makeRecordingEngine(kMiddleGame);
    reference->setLimit(LIMIT_DEPTH, 1);
    reference->startSearch(false);
    const Move depthOneBest = reference->lastMove;

    for (uint32_t interval : {50u, 30000u}) {
        auto engine = makeRecordingEngine(kMiddleGame);
        ASSERT_NE(engine->firstLegalMove(), depthOneBest);
        engine->setLimit(LIMIT_CLOCK, 0);
        engine->clockTime[WHITE] = 150.0f;
        engine->movesToGo = 0;
        engine->checkInterval = interval;
        engine->startSearch(false);
        EXPECT_EQ(engine->iterations().size(), 1u) << interval;
        EXPECT_EQ(engine->lastMove, depthOneBest) << interval;
    }
    // A node limit that cuts the first iteration plays the best pre-scored
    // root move, not the first legal one (here a knight that is lost).
    auto limited = makeRecordingEngine(kMiddleGame);
    const Move firstLegal = limited->firstLegalMove();
    limited->setLimit(LIMIT_NODES, 10);
    limited->checkInterval = 5;
    limited->startSearch(false);
    EXPECT_TRUE(limited->iterations().empty());
    EXPECT_NE(limited->lastMove, NO_MOVE);
    EXPECT_NE(limited->lastMove, firstLegal);
}

struct BudgetCase {
    int movesToGo;
    int increment;
    uint32_t expected;
};

TEST(SearchLimits, ClockBudgetArithmetic) {
    const BudgetCase cases[] = {
        {0, 0, 1500000}, {0, 1000, 2500000}, {0, -1000, 1500000}, {1, 1000, 30000000}, {20, 1000, 3000000},
    };
    auto engine = makeRecordingEngine("4k3/8/8/8/8/8/8/4K3 b - - 0 1");
    for (const BudgetCase& c : cases) {
        engine->setLimit(LIMIT_CLOCK, 0);
        engine->clockTime[BLACK] = 60000.0f;  // the side to move's clock
        engine->clockTime[WHITE] = 1.0f;
        engine->clockIncrement[BLACK] = c.increment;
        engine->clockIncrement[WHITE] = 0;
        engine->movesToGo = c.movesToGo;
        engine->stopState = STOP_PLAY;
        engine->checkCounter = 7;
        engine->setupTimeBudget();
        EXPECT_EQ(engine->timeBudget, c.expected) << c.movesToGo << " " << c.increment;
        EXPECT_EQ(engine->stopState, STOP_NONE);
        EXPECT_EQ(engine->checkCounter, 0u);
        EXPECT_NE(engine->startTime.seconds, 0);
    }
}

TEST(SearchLimits, ClockBudgetKeepsAReserveOnAShortClock) {
    // 220 ms left with a 50 ms increment: 5.5 + 50 ms would leave too little
    // for the GUI's delays; only what lies above the 200 ms reserve is used.
    auto engine = makeRecordingEngine("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    engine->setLimit(LIMIT_CLOCK, 0);
    engine->movesToGo = 0;
    engine->clockIncrement[WHITE] = 50;
    const std::pair<float, uint32_t> cases[] = {{220.0f, 20000}, {180.0f, 0}, {400.0f, 60000}, {4000.0f, 150000}};
    for (const auto& [clock, expected] : cases) {
        engine->clockTime[WHITE] = clock;
        engine->setupTimeBudget();
        EXPECT_EQ(engine->timeBudget, expected) << clock;
    }
    engine->movesToGo = 1;  // the last move before the control
    engine->clockTime[WHITE] = 300.0f;
    engine->setupTimeBudget();
    EXPECT_EQ(engine->timeBudget, 100000u);
}

TEST(SearchLimits, BudgetOfTheOtherModes) {
    auto engine = makeRecordingEngine(nullptr);
    engine->setLimit(LIMIT_MOVETIME, 250000);
    engine->setupTimeBudget();
    EXPECT_EQ(engine->timeBudget, 250000u);
    engine->setLimit(LIMIT_NODES, 10);
    engine->setupTimeBudget();
    EXPECT_EQ(engine->timeBudget, 250000u);  // kept
    engine->setLimit(LIMIT_INFINITE, 0);
    engine->setupTimeBudget();
    EXPECT_EQ(engine->timeBudget, kNoTimeLimit);
    engine->setLimit(LIMIT_DEPTH, 4);
    engine->startTime = {0, 0};
    engine->setupTimeBudget();
    EXPECT_EQ(engine->startTime.seconds, 0);  // the clock is not read
}

TEST(SearchLimits, PeriodicCheckTestsTheClockOnlyAtTheInterval) {
    auto engine = makeRecordingEngine(nullptr);
    engine->setLimit(LIMIT_MOVETIME, 1000);
    engine->setupTimeBudget();
    engine->startTime.seconds -= 10;  // the budget is long spent
    engine->checkInterval = 1000000;  // no poll of standard input either
    EXPECT_EQ(engine->periodicCheck(), 1);
    EXPECT_EQ(engine->stopState, STOP_NONE);
    engine->setLimit(LIMIT_DEPTH, 3);  // sent during the search: for the next one
    engine->checkCounter = engine->checkInterval - 1;
    EXPECT_EQ(engine->periodicCheck(), 0);
    EXPECT_EQ(engine->stopState, STOP_PLAY);
    EXPECT_EQ(engine->checkCounter, 0u);
    EXPECT_EQ(engine->checkNow(), 0);  // already stopped

    // A budget beyond 32 bits of microseconds (st 5000) still ends.
    engine->setLimit(LIMIT_MOVETIME, kNoTimeLimit - 1);
    engine->setupTimeBudget();
    engine->startTime.seconds -= 5000;
    engine->checkCounter = engine->checkInterval - 1;
    EXPECT_EQ(engine->periodicCheck(), 0);

    engine->stopState = STOP_NONE;
    engine->pondering = 1;  // while pondering neither limit applies
    nodeCount = 5;
    engine->setLimit(LIMIT_NODES, 1);
    engine->setupTimeBudget();
    engine->checkCounter = engine->checkInterval - 1;
    EXPECT_EQ(engine->periodicCheck(), 1);
    engine->pondering = 0;
    EXPECT_EQ(engine->periodicCheck(), 0);
    EXPECT_EQ(engine->stopState, STOP_PLAY);
}

TEST(SearchLimits, SetLimitAndNewGameDefaults) {
    auto engine = makeRecordingEngine(nullptr);
    engine->setLimit(LIMIT_DEPTH, 5);
    for (int mode : {2, 4, 6}) {
        engine->setLimit(mode, 77);
        EXPECT_EQ(engine->limitMode, LIMIT_DEPTH);
        EXPECT_EQ(engine->depthLimit, 5);
    }
    engine->setLimit(LIMIT_NODES, -1);
    EXPECT_EQ(engine->nodeLimit, 18446744073709551615ull);
    engine->setStartPosition();
    EXPECT_EQ(engine->limitMode, LIMIT_MOVETIME);
    EXPECT_EQ(engine->moveTime, 5000000u);
    EXPECT_EQ(SearchEngine::mateDistance(-31744), 128);
    EXPECT_EQ(SearchEngine::mateDistance(31999), 1);
    EXPECT_EQ(SearchEngine::mateDistance(31743), 31743);
}

}  // namespace
}  // namespace tarvok::test
