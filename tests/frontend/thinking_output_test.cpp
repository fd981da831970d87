// SPDX-License-Identifier: GPL-3.0-or-later
// Thinking lines and move announcements, captured from standard output
// in-process; the line formats are tabled in tests/data/front/thinking.txt.
#include "frontend/thinking_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "board/board_test_helpers.h"
#include "board/move.h"
#include "frontend/frontend.h"
#include "frontend/protocol_engine.h"
#include "test_support/data_files.h"
#include "test_support/engine_session.h"

namespace tarvok {
namespace {
using test::sq;


const std::map<std::string, Move> kMoves = {
    {"e2e4", makeMoveWord(sq("e2"), sq("e4"), PAWN, 0, 0, MOVE_DOUBLE_PUSH)},
    {"e7e5", makeMoveWord(sq("e7"), sq("e5"), PAWN, 0, 0, MOVE_DOUBLE_PUSH)},
    {"g1f3", makeMoveWord(sq("g1"), sq("f3"), KNIGHT)},
    {"b8c6", makeMoveWord(sq("b8"), sq("c6"), KNIGHT)},
    {"e7e8q", makeMoveWord(sq("e7"), sq("e8"), PAWN, 0, QUEEN)},
    {"d7c8n", makeMoveWord(sq("d7"), sq("c8"), PAWN, BISHOP, KNIGHT)},
};

PvRow makePv(int score, const std::string& moves) {
    PvRow pv{};
    for (const std::string& move : test::words(moves)) pv.entries[pv.length++].move = kMoves.at(move);
    pv.entries[0].score = score;
    return pv;
}

template <typename F>
std::string capture(F&& action) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    action();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

TEST(ThinkingOutputTest, LinesFromTheTable) {
    int rows = 0;
    for (const std::string& row : test::readDataLines("front/thinking.txt")) {
        if (row[0] == '#') continue;
        std::vector<std::string> f;
        std::istringstream fields(row);
        for (std::string field; std::getline(fields, field, '|');) f.push_back(field);
        ASSERT_EQ(f.size(), 7u) << row;
        const PvRow pv = makePv(std::stoi(f[2]), f[3]);
        const int depth = std::stoi(f[1]);
        const uint64_t nodes = std::stoull(f[4]);
        const double elapsed = std::stod(f[5]);
        const auto print = f[0] == "uci"      ? printUciThinking
                           : f[0] == "xboard" ? printXboardThinking
                                              : printConsoleThinking;
        EXPECT_EQ(capture([&] { print(depth, pv, nodes, elapsed); }), f[6] + "\n") << row;
        ++rows;
    }
    EXPECT_GT(rows, 20);
    // A short buffer holds whole moves with their blank only.
    for (const auto& [size, expected] : std::map<int, std::string>{{64, "g1f3 b8c6 "}, {10, "g1f3 "}, {6, "g1f3 "}}) {
        char text[64];
        formatPvCoordinates(makePv(0, "g1f3 b8c6"), text, size);
        EXPECT_EQ(std::string(text), expected) << size;
    }
}

// Saves and restores the front-end state the hooks depend on.
class ProtocolHookTest : public ::testing::Test {
   protected:
    void SetUp() override { saved_ = frontEnd; }
    void TearDown() override { frontEnd = saved_; }
    std::unique_ptr<ProtocolEngine> engine = std::make_unique<ProtocolEngine>();

   private:
    FrontEndState saved_;
};

// The form follows the protocol; nothing after "nopost"; console lines only
// while a test suite runs.
TEST_F(ProtocolHookTest, IterationAndRootMoveHooks) {
    const PvRow pv = makePv(50, "e2e4");
    auto iteration = [&] { return capture([&] { engine->onIterationDone(4, pv, 100, 1000000.0); }); };
    auto rootMove = [&] { return capture([&] { engine->onRootMove(kMoves.at("g1f3"), 3); }); };
    frontEnd.postThinking = 1;
    frontEnd.protocolMode = PROTOCOL_UCI;
    EXPECT_EQ(iteration(), "info depth 4 score cp 50 time 1000 nodes 100 nps 100 pv e2e4 \n");
    EXPECT_EQ(rootMove(), "info currmove g1f3 currmovenumber 3\n");
    frontEnd.protocolMode = PROTOCOL_XBOARD;
    EXPECT_EQ(iteration(), "4 50 100 100 e2e4 \n");
    EXPECT_EQ(rootMove(), "");
    frontEnd.protocolMode = PROTOCOL_NONE;
    EXPECT_EQ(iteration(), "");
    engine->consoleOutput = 1;
    EXPECT_EQ(iteration(), " 4 +0.50 00:01:000      100 0.10 e2-e4 \n");
    engine->consoleOutput = 0;
    frontEnd.postThinking = 0;
    for (int mode : {PROTOCOL_UCI, PROTOCOL_XBOARD}) {
        frontEnd.protocolMode = mode;
        EXPECT_EQ(iteration() + rootMove(), "") << "mode " << mode;
    }
}

TEST_F(ProtocolHookTest, SearchEndAnnouncesTheMove) {
    auto end = [&](int stop) { return capture([&] { engine->onSearchEnd(stop); }); };
    frontEnd.newGamePending = 0;
    frontEnd.protocolMode = PROTOCOL_UCI;
    frontEnd.ponderOption = 1;
    engine->lastMove = engine->playedMove = kMoves.at("g1f3");
    engine->ponderMove = kMoves.at("b8c6");
    EXPECT_EQ(end(STOP_PLAY), "bestmove g1f3 ponder b8c6\n");
    EXPECT_EQ(frontEnd.hintMove, kMoves.at("b8c6"));
    engine->ponderMove = NO_MOVE;
    EXPECT_EQ(end(STOP_PLAY), "bestmove g1f3\n");
    engine->ponderMove = kMoves.at("b8c6");
    frontEnd.ponderOption = 0;
    EXPECT_EQ(end(STOP_NONE), "bestmove g1f3\n");
    EXPECT_EQ(frontEnd.hintMove, NO_MOVE);
    // An abandoned ponder search names its move only while Ponder is on; an
    // aborted one names none; the test-suite runner prints the result itself.
    EXPECT_EQ(end(STOP_PONDER), "");
    frontEnd.ponderOption = 1;
    engine->lastMove = engine->playedMove = kMoves.at("e7e8q");
    EXPECT_EQ(end(STOP_PONDER), "bestmove e7e8q\n");
    frontEnd.ponderOption = 0;
    engine->lastMove = engine->playedMove = kMoves.at("g1f3");
    EXPECT_EQ(end(STOP_ABORT), "");
    engine->consoleOutput = 1;
    EXPECT_EQ(end(STOP_PLAY), "");
    engine->consoleOutput = 0;

    // XBoard counts the moves to the time control down, a book move (stop
    // state none) as well; sudden death keeps no count.
    frontEnd.protocolMode = PROTOCOL_XBOARD;
    frontEnd.movesPerSession = 3;
    frontEnd.movesLeft = 2;
    EXPECT_EQ(end(STOP_PLAY), "move g1f3\n");
    EXPECT_EQ(frontEnd.movesLeft, 1);
    end(STOP_PLAY);
    EXPECT_EQ(frontEnd.movesLeft, 3);
    EXPECT_EQ(end(STOP_NONE), "move g1f3\n");
    EXPECT_EQ(frontEnd.movesLeft, 2);
    frontEnd.movesPerSession = 0;
    frontEnd.movesLeft = 0;
    end(STOP_PLAY);
    EXPECT_EQ(frontEnd.movesLeft, 0);
}

}  // namespace
}  // namespace tarvok
