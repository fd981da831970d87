// SPDX-License-Identifier: GPL-3.0-or-later
// The UCI protocol end to end: the built binary driven through its standard
// input and output.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "test_support/engine_session.h"

namespace tarvok::test {
namespace {

constexpr int kLong = 20000;  // generous time-out for anything that must come

class UciTest : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_TRUE(engine.start("uci"));
        ASSERT_TRUE(engine.waitForLine("uciok", kLong)) << engine.dump();
    }

    // Waits for the next bestmove line and checks that its move (and the
    // ponder move, if any) is legal after moves from fen.
    std::string expectLegalBestMove(const std::string& fen, const std::vector<std::string>& moves,
                                    int timeoutMs = kLong) {
        auto line = engine.waitForPrefix("bestmove ", timeoutMs);
        EXPECT_TRUE(line) << engine.dump();
        if (!line) return "";
        std::vector<std::string> played = moves;
        played.push_back(word(*line, 1));
        std::string why;
        EXPECT_TRUE(movesAreLegal(fen, played, &why)) << why << "\n" << engine.dump();
        if (word(*line, 2) == "ponder") {
            played.push_back(word(*line, 3));
            EXPECT_TRUE(movesAreLegal(fen, played, &why)) << why << "\n" << engine.dump();
        }
        return word(*line, 1);
    }

    // Starts an unlimited search and waits until it has produced output.
    void startLongSearch(const std::string& position = "position startpos") {
        engine.send(position);
        engine.send("go infinite");
        ASSERT_TRUE(engine.waitForPrefix("info depth", kLong)) << engine.dump();
    }

    void expectReady() { EXPECT_TRUE(engine.waitForLine("readyok", kLong)) << engine.dump(); }

    static bool none(const std::vector<std::string>& lines, const std::string& prefix) {
        for (const std::string& line : lines)
            if (startsWith(line, prefix)) return false;
        return true;
    }

    EngineSession engine;
};

TEST_F(UciTest, IdentificationBlockEndsWithUciok) {
    const std::vector<std::string> expected = {
        "id name Tarvok 1.4 32 bits",
        "id author the Tarvok developers",
        "option name Hash type spin default 32 min 4 max 4096",
        "option name Ponder type check default false",
        "option name OwnBook type check default false",
        "option name Book File type string default tarvokopenbook.bin",
        "option name Clear Hash type button",
        "uciok",
    };
    // The first line read was the banner.
    ASSERT_FALSE(engine.transcript().empty());
    EXPECT_TRUE(startsWith(engine.transcript()[0], "Tarvok 1.4 (32 bits) by "));
    EXPECT_EQ(engine.linesSince(1), expected);
    // Unknown lines and "debug" print nothing; "isready" answers at once.
    engine.send("debug on");
    engine.send("go");
    engine.send("hello there");
    engine.send("isready");
    const size_t before = engine.mark();
    expectReady();
    EXPECT_EQ(engine.linesSince(before), std::vector<std::string>{"readyok"});
}

TEST_F(UciTest, DepthSearchEndsWithLegalBestMove) {
    engine.send("position startpos moves e2e4 c7c5");
    const size_t before = engine.mark();
    engine.send("go depth 5");
    expectLegalBestMove(kStartFen, {"e2e4", "c7c5"});
    // One info line per finished iteration, the last at the requested depth.
    std::string lastInfo;
    for (const std::string& line : engine.linesSince(before))
        if (startsWith(line, "info depth")) lastInfo = line;
    EXPECT_TRUE(startsWith(lastInfo, "info depth 5 score ")) << engine.dump();
    EXPECT_NE(lastInfo.find(" pv "), std::string::npos);
}

TEST_F(UciTest, MoveTimeSearchReturns) {
    engine.send("position startpos");
    const auto started = std::chrono::steady_clock::now();
    engine.send("go movetime 300");
    expectLegalBestMove(kStartFen, {}, 10000);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

TEST_F(UciTest, IsreadyIsAnsweredDuringSearch) {
    startLongSearch();
    engine.send("isready");
    const size_t before = engine.mark();
    expectReady();
    EXPECT_TRUE(none(engine.linesSince(before), "bestmove")) << "the search must still be running\n" << engine.dump();
    engine.send("stop");
    expectLegalBestMove(kStartFen, {});
}

TEST_F(UciTest, InfiniteSearchStopsOnStop) {
    startLongSearch("position startpos moves d2d4");
    engine.send("stop");
    expectLegalBestMove(kStartFen, {"d2d4"});
    // "stop" in the same write as the "go" is seen by the search's input poll.
    engine.sendRaw("position startpos moves g1f3\ngo infinite\nstop\n");
    expectLegalBestMove(kStartFen, {"g1f3"});
    engine.send("isready");
    expectReady();
}

TEST_F(UciTest, PonderSearchBecomesTimedOnPonderhit) {
    engine.send("setoption name Ponder value true");
    engine.send("position startpos moves e2e4 e7e5");
    engine.send("go ponder movetime 200");
    ASSERT_TRUE(engine.waitForPrefix("info depth", kLong)) << engine.dump();
    // A ponder search ignores its time limit until the hit.
    EXPECT_TRUE(none(engine.collect(600), "bestmove")) << engine.dump();
    engine.send("ponderhit");
    expectLegalBestMove(kStartFen, {"e2e4", "e7e5"});
}

TEST_F(UciTest, StopDuringPonderSearch) {
    // With Ponder on, an abandoned ponder search still names a move.
    engine.send("setoption name Ponder value true");
    engine.send("position startpos moves e2e4");
    engine.send("go ponder");
    ASSERT_TRUE(engine.waitForPrefix("info depth", kLong)) << engine.dump();
    engine.send("stop");
    expectLegalBestMove(kStartFen, {"e2e4"});

    // With Ponder off, "go ponder" is an ordinary search, and "stop" ends it
    // with its best move as for any "go".
    engine.send("setoption name Ponder value false");
    engine.send("position startpos moves e2e4");
    engine.send("go ponder");
    ASSERT_TRUE(engine.waitForPrefix("info depth", kLong)) << engine.dump();
    engine.send("stop");
    auto line = engine.waitForPrefix("bestmove ", kLong);
    ASSERT_TRUE(line) << engine.dump();
    EXPECT_EQ(words(*line).size(), 2u) << "no ponder move with Ponder off: " << *line;
    EXPECT_TRUE(movesAreLegal(kStartFen, {"e2e4", word(*line, 1)}));
}

TEST_F(UciTest, IllegalWordInMovesListIsSkipped) {
    const std::vector<std::string> played = {"e2e4", "e7e5", "g1f3"};
    engine.send("position startpos moves e2e4 e2e5 e7e5 xyz g1f3");
    engine.send("perft 1");
    auto row = engine.waitForPrefix(" 1. ", kLong);
    ASSERT_TRUE(row) << engine.dump();
    EXPECT_EQ(word(*row, 1), std::to_string(legalMoveCount(kStartFen, played))) << *row;
    engine.send("go depth 3");
    expectLegalBestMove(kStartFen, played);

    // The same with a FEN; the moves start after "moves ".
    const std::string fen = "4k3/P7/8/8/8/8/8/4K3 w - - 0 1";
    engine.send("position fen " + fen + " moves a7a8q e8e9 e8d7");
    engine.send("perft 1");
    row = engine.waitForPrefix(" 1. ", kLong);
    ASSERT_TRUE(row) << engine.dump();
    EXPECT_EQ(word(*row, 1), std::to_string(legalMoveCount(fen, {"a7a8q", "e8d7"}))) << *row;
    // A rejected FEN leaves the moves unplayed and the position usable.
    engine.send("position fen nonsense moves e2e4");
    engine.send("go depth 2");
    expectLegalBestMove(fen, {"a7a8q", "e8d7"});
}

TEST_F(UciTest, FenWithoutCountersAndNumbersBeyondThirtyTwoBits) {
    // The FEN of an EPD record ends right after the en-passant field.
    const std::string fen = "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4BK1 w - -";
    engine.send("position fen " + fen);
    engine.send("go depth 2");
    expectLegalBestMove(fen + " 0 1", {});

    // Numbers above 32 bits saturate rather than wrap round: a long search,
    // not one of depth 2 or of 1 node.
    for (const char* go : {"go depth 4294967298", "go nodes 4294967297"}) {
        engine.send("position startpos");
        engine.send(go);
        EXPECT_TRUE(engine.waitForPrefix("info depth 4 ", kLong)) << go << "\n" << engine.dump();
        engine.send("stop");
        expectLegalBestMove(kStartFen, {});
    }
    // A huge number of moves to go is a tiny budget, not half the clock.
    engine.send("position startpos");
    engine.send("go movestogo 4294967297 wtime 30000 btime 30000");
    expectLegalBestMove(kStartFen, {}, 5000);
    // A huge perft depth is refused (header and time only), not run at depth 1.
    const size_t before = engine.mark();
    engine.send("perft 4294967297");
    ASSERT_TRUE(engine.waitForPrefix("Time = ", kLong)) << engine.dump();
    EXPECT_EQ(engine.linesSince(before).size(), 2u) << engine.dump();
}

TEST_F(UciTest, HashOptionValuesLeaveAWorkingEngine) {
    for (const char* value : {"1", "abc", "16"}) {
        SCOPED_TRACE(value);
        engine.send(std::string("setoption name Hash value ") + value);
        engine.send("isready");
        expectReady();
        engine.send("position startpos moves b1c3");
        engine.send("go depth 4");
        expectLegalBestMove(kStartFen, {"b1c3"});
    }
    engine.send("setoption name Clear Hash");
    engine.send("position startpos moves b1c3");
    engine.send("go depth 3");
    expectLegalBestMove(kStartFen, {"b1c3"});
}

// A request beyond the memory there is: the table says so and makes do with
// less. The child's address space is capped so that the request fails.
TEST(UciHashTest, HugeHashRequestLeavesAWorkingEngine) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator does not run under an address-space limit";
#endif
    EngineSession engine;
    ASSERT_TRUE(engine.start("uci", "", 400000));
    ASSERT_TRUE(engine.waitForLine("uciok", kLong)) << engine.dump();
    engine.send("setoption name Hash value 999999");
    engine.send("isready");
    const size_t before = engine.mark();
    ASSERT_TRUE(engine.waitForLine("readyok", kLong)) << engine.dump();
    EXPECT_EQ(engine.linesSince(before), (std::vector<std::string>{"Hash table : out of memory", "readyok"}));
    engine.send("position startpos moves e2e4");
    engine.send("go depth 4");
    auto line = engine.waitForPrefix("bestmove ", kLong);
    ASSERT_TRUE(line) << engine.dump();
    EXPECT_TRUE(movesAreLegal(kStartFen, {"e2e4", word(*line, 1)})) << *line;
}

// A book file too large for memory: the engine says so, reports the book as
// not found and plays on. The child's address space is capped.
TEST(UciBookTest, BookTooLargeForMemoryIsNotFoundAndPlayGoesOn) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator does not run under an address-space limit";
#endif
    // Two million nodes of one move each: 44 MB on disk, over 400 MB loaded.
    constexpr uint32_t kNodes = 2000000;
    std::string bytes = "BOOK";
    auto append = [&bytes](uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>(value >> (8 * i)));
    };
    append(0x00010001);
    append(kNodes);
    for (uint32_t node = 1; node <= kNodes; ++node) {
        append(node);
        append(0);
        append(1);
        append(0x31C);  // any move word: no position here has these keys
        append(1);
        bytes += std::string(2, '\0');
    }
    const std::string path = "/tmp/tarvok_large_book_" + std::to_string(getpid()) + ".bin";
    std::ofstream(path, std::ios::binary) << bytes;
    EngineSession engine;
    ASSERT_TRUE(engine.start("uci", "", 400000));
    ASSERT_TRUE(engine.waitForLine("uciok", kLong)) << engine.dump();
    engine.send("setoption name Book File value " + path);
    engine.send("setoption name OwnBook value true");
    engine.send("isready");
    const size_t before = engine.mark();
    ASSERT_TRUE(engine.waitForLine("readyok", kLong)) << engine.dump();
    std::remove(path.c_str());
    EXPECT_EQ(engine.linesSince(before),
              (std::vector<std::string>{"out of memory", "info string book file not found", "readyok"}));
    engine.send("position startpos");
    engine.send("go depth 3");
    auto line = engine.waitForPrefix("bestmove ", kLong);
    ASSERT_TRUE(line) << engine.dump();
    EXPECT_TRUE(movesAreLegal(kStartFen, {word(*line, 1)})) << *line;
}

// Board-changing commands during a search stop it first: its bestmove comes,
// then the command takes effect.
TEST_F(UciTest, PositionDuringSearchTakesEffectAfterBestMove) {
    startLongSearch();
    engine.send("position startpos moves d2d4");
    expectLegalBestMove(kStartFen, {});
    engine.send("go depth 3");
    expectLegalBestMove(kStartFen, {"d2d4"});
}

TEST_F(UciTest, GoDuringSearchStartsTheNextSearch) {
    startLongSearch("position startpos moves e2e4");
    engine.send("go depth 3");
    // The engine's move stays on its board: the second search answers it.
    const std::string first = expectLegalBestMove(kStartFen, {"e2e4"});
    expectLegalBestMove(kStartFen, {"e2e4", first});
}

TEST_F(UciTest, HashAndPerftAndUciDuringSearch) {
    startLongSearch();
    engine.send("setoption name Hash value 8");
    expectLegalBestMove(kStartFen, {});
    engine.send("isready");
    expectReady();

    startLongSearch("position startpos moves e2e4 e7e5");
    engine.send("perft 1");
    size_t before = engine.mark();
    expectLegalBestMove(kStartFen, {"e2e4", "e7e5"});
    auto row = engine.waitForPrefix(" 1. ", kLong);
    ASSERT_TRUE(row) << engine.dump();
    EXPECT_EQ(word(*row, 1), std::to_string(legalMoveCount(kStartFen, {"e2e4", "e7e5"})));

    startLongSearch();
    engine.send("uci");
    before = engine.mark();
    expectLegalBestMove(kStartFen, {});
    ASSERT_TRUE(engine.waitForLine("uciok", kLong)) << engine.dump();
    // The identification follows the bestmove line directly.
    const auto after = engine.linesSince(before);
    size_t best = 0;
    while (best < after.size() && !startsWith(after[best], "bestmove ")) ++best;
    ASSERT_LT(best + 1, after.size()) << engine.dump();
    EXPECT_EQ(after[best + 1], "id name Tarvok 1.4 32 bits");
    // The new engine works.
    engine.send("position startpos");
    engine.send("go depth 2");
    expectLegalBestMove(kStartFen, {});
}

TEST_F(UciTest, UcinewgameDuringSearchAbortsAndResets) {
    startLongSearch("position startpos moves e2e4");
    engine.send("ucinewgame");
    engine.send("isready");
    const size_t before = engine.mark();
    expectReady();
    EXPECT_TRUE(none(engine.linesSince(before), "bestmove")) << engine.dump();
    // The game is back at the start: White is to move.
    engine.send("go depth 3");
    expectLegalBestMove(kStartFen, {});
}

TEST_F(UciTest, QuitDuringSearchEndsPromptly) {
    startLongSearch();
    engine.send("quit");
    EXPECT_EQ(engine.process().waitExit(10000), 1) << engine.dump();
}

TEST_F(UciTest, EndOfInputEndsTheProgram) {
    engine.process().closeInput();
    EXPECT_EQ(engine.process().waitExit(10000), 1);
}

TEST_F(UciTest, EndOfInputDuringSearchEndsTheProgram) {
    startLongSearch();
    engine.process().closeInput();
    EXPECT_EQ(engine.process().waitExit(10000), 1);
}

}  // namespace
}  // namespace tarvok::test
