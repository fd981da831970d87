// SPDX-License-Identifier: GPL-3.0-or-later
// Thinking lines and move announcements in their UCI, XBoard and console
// forms, captured from standard output in-process.
#include "frontend/thinking_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "board/move.h"
#include "frontend/frontend.h"
#include "frontend/protocol_engine.h"

namespace tarvok {
namespace {

constexpr int sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

PvRow makePv(int score, std::initializer_list<Move> moves) {
    PvRow pv{};
    uint32_t i = 0;
    for (Move m : moves) pv.entries[i++].move = m;
    pv.length = i;
    pv.entries[0].score = score;
    return pv;
}

const Move kE2E4 = makeMoveWord(sq("e2"), sq("e4"), PAWN, 0, 0, MOVE_DOUBLE_PUSH);
const Move kE7E5 = makeMoveWord(sq("e7"), sq("e5"), PAWN, 0, 0, MOVE_DOUBLE_PUSH);
const Move kG1F3 = makeMoveWord(sq("g1"), sq("f3"), KNIGHT);
const Move kB8C6 = makeMoveWord(sq("b8"), sq("c6"), KNIGHT);
const Move kE7E8Q = makeMoveWord(sq("e7"), sq("e8"), PAWN, 0, QUEEN);
const Move kD7C8N = makeMoveWord(sq("d7"), sq("c8"), PAWN, BISHOP, KNIGHT);

// Saves and restores the front-end variables the output depends on.
class ThinkingOutputTest : public ::testing::Test {
   protected:
    void SetUp() override { saved_ = frontEnd; }
    void TearDown() override {
        frontEnd.protocolMode = saved_.protocolMode;
        frontEnd.postThinking = saved_.postThinking;
        frontEnd.ponderOption = saved_.ponderOption;
        frontEnd.hintMove = saved_.hintMove;
        frontEnd.movesLeft = saved_.movesLeft;
        frontEnd.movesPerSession = saved_.movesPerSession;
        frontEnd.newGamePending = saved_.newGamePending;
    }

    template <typename F>
    static std::string capture(F&& action) {
        std::fflush(stdout);
        testing::internal::CaptureStdout();
        action();
        std::fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }

    static std::string uci(int depth, const PvRow& pv, uint64_t nodes, double elapsed) {
        return capture([&] { printUciThinking(depth, pv, nodes, elapsed); });
    }
    static std::string xboard(int depth, const PvRow& pv, uint64_t nodes, double elapsed) {
        return capture([&] { printXboardThinking(depth, pv, nodes, elapsed); });
    }
    static std::string console(int depth, const PvRow& pv, uint64_t nodes, double elapsed) {
        return capture([&] { printConsoleThinking(depth, pv, nodes, elapsed); });
    }

   private:
    FrontEndState saved_;
};

TEST_F(ThinkingOutputTest, UciScoresInCentipawnsAndMates) {
    EXPECT_EQ(uci(5, makePv(120, {kE2E4, kE7E5}), 100000, 250000.0),
              "info depth 5 score cp 120 time 250 nodes 100000 nps 400000 pv e2e4 e7e5 \n");
    EXPECT_EQ(uci(3, makePv(-45, {kG1F3}), 1000, 1000000.0),
              "info depth 3 score cp -45 time 1000 nodes 1000 nps 1000 pv g1f3 \n");
    // Five plies short of the mate value: mate in 3; the losing side's view
    // has a minus sign.
    EXPECT_EQ(uci(6, makePv(32000 - 5, {kE2E4}), 10, 1000.0),
              "info depth 6 score mate 3 time 1 nodes 10 nps 10000 pv e2e4 \n");
    EXPECT_EQ(uci(6, makePv(-32000 + 4, {kE2E4}), 10, 1000.0),
              "info depth 6 score mate -2 time 1 nodes 10 nps 10000 pv e2e4 \n");
    // 31799 is the last centipawn score on either side.
    EXPECT_EQ(uci(2, makePv(31799, {kE2E4}), 1, 1000000.0),
              "info depth 2 score cp 31799 time 1000 nodes 1 nps 1 pv e2e4 \n");
    EXPECT_EQ(uci(2, makePv(-31799, {kE2E4}), 1, 1000000.0),
              "info depth 2 score cp -31799 time 1000 nodes 1 nps 1 pv e2e4 \n");
    EXPECT_EQ(uci(2, makePv(31800, {kE2E4}), 1, 1000000.0),
              "info depth 2 score mate 100 time 1000 nodes 1 nps 1 pv e2e4 \n");
    EXPECT_EQ(uci(2, makePv(-31800, {kE2E4}), 1, 1000000.0),
              "info depth 2 score mate -100 time 1000 nodes 1 nps 1 pv e2e4 \n");
}

TEST_F(ThinkingOutputTest, UciTimeAndSpeedValues) {
    // Milliseconds are truncated, not rounded.
    EXPECT_EQ(uci(1, makePv(0, {kE2E4}), 0, 1999.9), "info depth 1 score cp 0 time 1 nodes 0 nps 0 pv e2e4 \n");
    // A zero time prints nps 0.
    EXPECT_EQ(uci(1, makePv(7, {kE2E4}), 500, 0.0), "info depth 1 score cp 7 time 0 nodes 500 nps 0 pv e2e4 \n");
    // The speed wraps as a signed 32-bit value: 3e9 nodes per second.
    EXPECT_EQ(uci(9, makePv(1, {kE2E4}), 3000000000ULL, 1000000.0),
              "info depth 9 score cp 1 time 1000 nodes 3000000000 nps -1294967296 pv e2e4 \n");
    // Node counts beyond 32 bits are printed in full.
    EXPECT_EQ(uci(9, makePv(1, {kE2E4}), 5000000000ULL, 10000000.0),
              "info depth 9 score cp 1 time 10000 nodes 5000000000 nps 500000000 pv e2e4 \n");
}

TEST_F(ThinkingOutputTest, PvTextEndsInABlankAndIsEmptyWithoutMoves) {
    EXPECT_EQ(uci(1, makePv(15, {}), 20, 1000.0), "info depth 1 score cp 15 time 1 nodes 20 nps 20000 pv \n");
    EXPECT_EQ(uci(4, makePv(15, {kE7E8Q, kD7C8N}), 20, 1000.0),
              "info depth 4 score cp 15 time 1 nodes 20 nps 20000 pv e7e8q d7c8n \n");
    char text[64];
    formatPvCoordinates(makePv(0, {kG1F3, kB8C6}), text, sizeof text);
    EXPECT_STREQ(text, "g1f3 b8c6 ");
    // A short buffer holds whole moves only.
    char small[8];
    formatPvCoordinates(makePv(0, {kG1F3, kB8C6}), small, sizeof small);
    EXPECT_STREQ(small, "g1f3 ");
}

TEST_F(ThinkingOutputTest, XboardLineHasRawScoreAndCentiseconds) {
    EXPECT_EQ(xboard(7, makePv(-35, {kE2E4, kE7E5}), 1234, 1500000.0), "7 -35 150 1234 e2e4 e7e5 \n");
    EXPECT_EQ(xboard(7, makePv(-35, {kE2E4}), 1234, 1509999.0), "7 -35 150 1234 e2e4 \n");
    EXPECT_EQ(xboard(3, makePv(31995, {kE7E8Q}), 9, 0.0), "3 31995 0 9 e7e8q \n");
    EXPECT_EQ(xboard(3, makePv(-31996, {}), 9, 99999.0), "3 -31996 9 9 \n");
}

TEST_F(ThinkingOutputTest, ConsoleFormsForEveryScoreRange) {
    EXPECT_EQ(console(5, makePv(120, {kE2E4, kE7E5}), 100000, 250000.0),
              " 5 +1.20 00:00:250   100000 400.00 e2-e4 e7-e5 \n");
    EXPECT_EQ(console(12, makePv(0, {kG1F3}), 1234, 1500000.0), "12 +0.00 00:01:500     1234 0.82 Ng1-f3 \n");
    EXPECT_EQ(console(7, makePv(-35, {kG1F3}), 123456789, 75123456.0),
              " 7 -0.35 01:15:123 123456789 1643.39 Ng1-f3 \n");
    EXPECT_EQ(console(3, makePv(31799, {kE7E8Q}), 10, 1000.0), " 3 +317.99 00:00:001       10 10.00 e7-e8=Q \n");
    EXPECT_EQ(console(3, makePv(31995, {kE7E8Q}), 10, 1000.0), " 3 +M3 00:00:001       10 10.00 e7-e8=Q \n");
    EXPECT_EQ(console(3, makePv(-31800, {}), 10, 1000.0), " 3 -M100 00:00:001       10 10.00 \n");
    EXPECT_EQ(console(3, makePv(-1, {}), 10, 1000.0), " 3 -0.01 00:00:001       10 10.00 \n");
}

// The hooks choose the form by protocol and print nothing after "nopost".
TEST_F(ThinkingOutputTest, IterationHookFollowsProtocolAndPostSwitch) {
    auto engine = std::make_unique<ProtocolEngine>();
    const PvRow pv = makePv(50, {kE2E4});
    auto iteration = [&] { return capture([&] { engine->onIterationDone(4, pv, 100, 1000000.0); }); };

    frontEnd.postThinking = 1;
    frontEnd.protocolMode = PROTOCOL_UCI;
    EXPECT_EQ(iteration(), "info depth 4 score cp 50 time 1000 nodes 100 nps 100 pv e2e4 \n");
    frontEnd.protocolMode = PROTOCOL_XBOARD;
    EXPECT_EQ(iteration(), "4 50 100 100 e2e4 \n");
    frontEnd.protocolMode = PROTOCOL_NONE;
    EXPECT_EQ(iteration(), "");  // console lines only while a test suite runs
    engine->consoleOutput = 1;
    EXPECT_EQ(iteration(), " 4 +0.50 00:01:000      100 0.10 e2-e4 \n");
    engine->consoleOutput = 0;

    frontEnd.postThinking = 0;
    for (int mode : {PROTOCOL_UCI, PROTOCOL_XBOARD}) {
        frontEnd.protocolMode = mode;
        EXPECT_EQ(iteration(), "") << "mode " << mode;
        EXPECT_EQ(capture([&] { engine->onRootMove(kE2E4, 1); }), "") << "mode " << mode;
    }

    frontEnd.postThinking = 1;
    frontEnd.protocolMode = PROTOCOL_UCI;
    EXPECT_EQ(capture([&] { engine->onRootMove(kG1F3, 3); }), "info currmove g1f3 currmovenumber 3\n");
    frontEnd.protocolMode = PROTOCOL_XBOARD;
    EXPECT_EQ(capture([&] { engine->onRootMove(kG1F3, 3); }), "");
}

TEST_F(ThinkingOutputTest, SearchEndAnnouncesTheMoveInEachProtocol) {
    auto engine = std::make_unique<ProtocolEngine>();
    auto end = [&](int stop) { return capture([&] { engine->onSearchEnd(stop); }); };
    frontEnd.newGamePending = 0;

    frontEnd.protocolMode = PROTOCOL_UCI;
    frontEnd.ponderOption = 1;
    engine->lastMove = kG1F3;
    engine->playedMove = kG1F3;
    engine->ponderMove = kB8C6;
    EXPECT_EQ(end(STOP_PLAY), "bestmove g1f3 ponder b8c6\n");
    EXPECT_EQ(frontEnd.hintMove, kB8C6);
    engine->ponderMove = NO_MOVE;
    EXPECT_EQ(end(STOP_PLAY), "bestmove g1f3\n");
    frontEnd.ponderOption = 0;
    engine->ponderMove = kB8C6;
    EXPECT_EQ(end(STOP_NONE), "bestmove g1f3\n");
    EXPECT_EQ(frontEnd.hintMove, NO_MOVE);
    engine->lastMove = kE7E8Q;
    engine->playedMove = kE7E8Q;
    EXPECT_EQ(end(STOP_PLAY), "bestmove e7e8q\n");

    // An abandoned ponder search: the move only while Ponder is on.
    EXPECT_EQ(end(STOP_PONDER), "");
    frontEnd.ponderOption = 1;
    EXPECT_EQ(end(STOP_PONDER), "bestmove e7e8q\n");
    frontEnd.ponderOption = 0;
    // An aborted search announces nothing.
    EXPECT_EQ(end(STOP_ABORT), "");

    // The test-suite runner prints the result itself.
    engine->consoleOutput = 1;
    EXPECT_EQ(end(STOP_PLAY), "");
    engine->consoleOutput = 0;
    frontEnd.protocolMode = PROTOCOL_NONE;
    EXPECT_EQ(end(STOP_PLAY), "");
}

TEST_F(ThinkingOutputTest, XboardMoveLineCountsTheTimeControlDown) {
    auto engine = std::make_unique<ProtocolEngine>();
    frontEnd.protocolMode = PROTOCOL_XBOARD;
    frontEnd.ponderOption = 0;
    frontEnd.newGamePending = 0;
    engine->lastMove = kE2E4;
    engine->playedMove = kE2E4;
    frontEnd.movesPerSession = 3;
    frontEnd.movesLeft = 2;
    EXPECT_EQ(capture([&] { engine->onSearchEnd(STOP_PLAY); }), "move e2e4\n");
    EXPECT_EQ(frontEnd.movesLeft, 1);
    capture([&] { engine->onSearchEnd(STOP_PLAY); });
    EXPECT_EQ(frontEnd.movesLeft, 3);  // a new time control begins
    // A book move (no search, stop state none) counts as well.
    EXPECT_EQ(capture([&] { engine->onSearchEnd(STOP_NONE); }), "move e2e4\n");
    EXPECT_EQ(frontEnd.movesLeft, 2);
    // Sudden death keeps no count.
    frontEnd.movesPerSession = 0;
    frontEnd.movesLeft = 0;
    capture([&] { engine->onSearchEnd(STOP_PLAY); });
    EXPECT_EQ(frontEnd.movesLeft, 0);
}

}  // namespace
}  // namespace tarvok
