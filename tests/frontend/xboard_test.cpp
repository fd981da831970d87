// SPDX-License-Identifier: GPL-3.0-or-later
// The XBoard protocol end to end: the built binary driven through its
// standard input and output.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <thread>
#include <string>
#include <vector>

#include "test_support/engine_session.h"

namespace tarvok::test {
namespace {

constexpr int kLong = 20000;
const std::regex kThinkingLine(R"(^\d+ -?\d+ \d+ \d+ .*$)");

bool isThinking(const std::string& line) { return std::regex_match(line, kThinkingLine); }

// The PV moves of a thinking line (the words after the node count).
std::vector<std::string> pvOf(const std::string& line) {
    std::vector<std::string> all = words(line);
    return all.size() > 4 ? std::vector<std::string>(all.begin() + 4, all.end()) : std::vector<std::string>{};
}

class XboardTest : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_TRUE(engine.start("xboard"));
        ASSERT_TRUE(engine.waitForPrefix("feature ", kLong)) << engine.dump();
    }

    // Waits for the next move line; its move must be legal after moves.
    std::string expectLegalMove(const std::string& fen, const std::vector<std::string>& moves, int timeoutMs = kLong) {
        auto line = engine.waitForPrefix("move ", timeoutMs);
        EXPECT_TRUE(line) << engine.dump();
        if (!line) return "";
        std::vector<std::string> played = moves;
        played.push_back(word(*line, 1));
        std::string why;
        EXPECT_TRUE(movesAreLegal(fen, played, &why)) << why << "\n" << engine.dump();
        return word(*line, 1);
    }

    // Lines up to the answer of a fresh ping: everything the engine printed
    // in between.
    std::vector<std::string> untilPong(int number) {
        const size_t before = engine.mark();
        engine.send("ping " + std::to_string(number));
        EXPECT_TRUE(engine.waitForLine("pong " + std::to_string(number), kLong)) << engine.dump();
        std::vector<std::string> lines = engine.linesSince(before);
        if (!lines.empty()) lines.pop_back();
        return lines;
    }

    static int countPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
        int n = 0;
        for (const std::string& line : lines) n += startsWith(line, prefix) ? 1 : 0;
        return n;
    }

    // The last thinking line that arrives within timeoutMs.
    std::string lastThinkingWithin(int timeoutMs) {
        std::string last;
        for (const std::string& line : engine.collect(timeoutMs))
            if (isThinking(line)) last = line;
        return last;
    }

    EngineSession engine;
};

TEST_F(XboardTest, FeatureLineAndProtoverAndPing) {
    EXPECT_EQ(engine.transcript().back(),
              "feature setboard=1 myname=\"Tarvok 1.4 32 bits\" analyze=1 ping=1 draw=0 sigint=0 "
              "variants=\"normal\" done=1 colors=0");
    engine.send("protover 2");
    engine.send("accepted setboard");
    engine.send("random");
    engine.send("computer");
    EXPECT_TRUE(untilPong(7).empty()) << engine.dump();
}

TEST_F(XboardTest, PingIsAnsweredDuringSearch) {
    engine.send("st 30");
    engine.send("go");
    ASSERT_TRUE(engine.waitFor(isThinking, kLong)) << engine.dump();
    EXPECT_EQ(countPrefix(untilPong(7), "move "), 0) << engine.dump();
    engine.send("?");
    expectLegalMove(kStartFen, {});
}

TEST_F(XboardTest, MoveTimeAndDepthLimits) {
    engine.send("st 1");
    const auto started = std::chrono::steady_clock::now();
    engine.send("go");
    const std::string first = expectLegalMove(kStartFen, {});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));

    // The opponent's answer starts the next search at once, at depth 3.
    engine.send("sd 3");
    const size_t before = engine.mark();
    engine.send("e7e5");
    expectLegalMove(kStartFen, {first, "e7e5"});
    std::string deepest;
    for (const std::string& line : engine.linesSince(before))
        if (isThinking(line)) deepest = word(line, 0);
    EXPECT_EQ(deepest, "3") << engine.dump();
}

TEST_F(XboardTest, NumbersBeyondThirtyTwoBitsSaturate) {
    engine.send("ping 4294967297");
    EXPECT_TRUE(engine.waitForLine("pong 2147483647", kLong)) << engine.dump();
    // A huge depth limit is a long search, not one of depth 2.
    engine.send("sd 4294967298");
    engine.send("go");
    EXPECT_TRUE(engine.waitFor([](const std::string& line) { return isThinking(line) && word(line, 0) == "4"; }, kLong))
        << engine.dump();
    engine.send("?");
    expectLegalMove(kStartFen, {});
}

// The engine's and the opponent's clocks, sent before "go" or before a move,
// give a budget of a fortieth of the engine's own clock: here 40 s of its own
// against 10 ms of the opponent's, so the move neither comes at once nor
// takes minutes.
TEST_F(XboardTest, TimeAndOtimBeforeGoAndBeforeMove) {
    engine.send("level 40 5 0");
    engine.send("force");
    engine.send("e2e4");
    engine.send("time 4000");
    engine.send("otim 1");
    auto started = std::chrono::steady_clock::now();
    engine.send("go");
    const std::string reply = expectLegalMove(kStartFen, {"e2e4"}, 60000);
    auto took = std::chrono::steady_clock::now() - started;
    EXPECT_GT(took, std::chrono::milliseconds(250)) << engine.dump();
    EXPECT_LT(took, std::chrono::seconds(30));

    engine.send("time 4000");
    engine.send("otim 1");
    started = std::chrono::steady_clock::now();
    engine.send("g1f3");
    expectLegalMove(kStartFen, {"e2e4", reply, "g1f3"}, 60000);
    took = std::chrono::steady_clock::now() - started;
    EXPECT_GT(took, std::chrono::milliseconds(250)) << engine.dump();
    EXPECT_LT(took, std::chrono::seconds(30));
}

// "level" sets a clock of minutes (or minutes:seconds) for both sides: with
// 5 minutes for 40 moves, or 2:30 plus 5 s a move, the engine takes seconds
// over its move, until "?" asks for it.
TEST_F(XboardTest, LevelCommandsSetTheClock) {
    for (const char* level : {"level 40 5 0", "level 0 2:30 5"}) {
        SCOPED_TRACE(level);
        engine.send("new");
        engine.send(level);
        engine.send("go");
        ASSERT_TRUE(engine.waitFor(isThinking, kLong)) << engine.dump();
        EXPECT_EQ(countPrefix(engine.collect(1000), "move "), 0) << engine.dump();
        engine.send("?");
        expectLegalMove(kStartFen, {});
    }
}

TEST_F(XboardTest, NopostSuppressesThinkingButNotTheMove) {
    engine.send("nopost");
    engine.send("sd 4");
    size_t before = engine.mark();
    engine.send("go");
    const std::string first = expectLegalMove(kStartFen, {});
    for (const std::string& line : engine.linesSince(before)) EXPECT_FALSE(isThinking(line)) << line;

    engine.send("post");
    engine.send("force");
    engine.send("e7e5");
    before = engine.mark();
    engine.send("go");
    expectLegalMove(kStartFen, {first, "e7e5"});
    int thinking = 0;
    for (const std::string& line : engine.linesSince(before)) thinking += isThinking(line) ? 1 : 0;
    EXPECT_GT(thinking, 0) << engine.dump();
}

// With "hard" the engine names the reply it expects and ponders on it.
TEST_F(XboardTest, PonderHitAndPonderMiss) {
    engine.send("hard");
    engine.send("st 1");
    engine.send("force");
    engine.send("e2e4");
    engine.send("go");
    std::vector<std::string> game = {"e2e4"};
    game.push_back(expectLegalMove(kStartFen, game));
    auto hint = engine.waitForPrefix("Hint: ", kLong);
    ASSERT_TRUE(hint) << engine.dump();
    ASSERT_TRUE(movesAreLegal(kStartFen, {game[0], game[1], word(*hint, 1)})) << *hint;

    // Ponder hit: the running search becomes the real one; one move line.
    game.push_back(word(*hint, 1));
    size_t before = engine.mark();
    engine.send(game.back());
    game.push_back(expectLegalMove(kStartFen, game));
    hint = engine.waitForPrefix("Hint: ", kLong);
    ASSERT_TRUE(hint) << engine.dump();
    EXPECT_EQ(countPrefix(engine.linesSince(before), "move "), 1) << engine.dump();

    // Ponder miss: another legal move; the answer is for the real position.
    std::string other;
    for (const std::string& move : legalMoves(kStartFen, game))
        if (move != word(*hint, 1)) other = move;
    ASSERT_FALSE(other.empty());
    game.push_back(other);
    before = engine.mark();
    engine.send(other);
    game.push_back(expectLegalMove(kStartFen, game));
    ASSERT_TRUE(engine.waitForPrefix("Hint: ", kLong)) << engine.dump();
    EXPECT_EQ(countPrefix(engine.linesSince(before), "move "), 1) << engine.dump();

    engine.send("easy");  // stops the ponder search; it plays nothing
    EXPECT_EQ(countPrefix(untilPong(3), "move "), 0) << engine.dump();
}

TEST_F(XboardTest, AnalysisFollowsMovesAndUndoAndExitRestoresTheLimit) {
    engine.send("st 1");
    engine.send("force");
    engine.send("e2e4");
    engine.send("analyze");
    auto line = engine.waitFor(isThinking, kLong);
    ASSERT_TRUE(line) << engine.dump();
    std::vector<std::string> pv = pvOf(*line);
    pv.insert(pv.begin(), "e2e4");
    EXPECT_TRUE(movesAreLegal(kStartFen, pv)) << *line;

    // A move during analysis: the analysis goes on in the new position.
    engine.send("e7e5");
    std::string last = lastThinkingWithin(1500);
    ASSERT_FALSE(last.empty()) << engine.dump();
    pv = pvOf(last);
    pv.insert(pv.begin(), {"e2e4", "e7e5"});
    EXPECT_TRUE(movesAreLegal(kStartFen, pv)) << last << "\n" << engine.dump();

    engine.send("undo");
    last = lastThinkingWithin(1500);
    ASSERT_FALSE(last.empty()) << engine.dump();
    pv = pvOf(last);
    pv.insert(pv.begin(), "e2e4");
    EXPECT_TRUE(movesAreLegal(kStartFen, pv)) << last << "\n" << engine.dump();

    // "exit" ends the analysis without a move; "go" then uses "st 1" again.
    size_t before = engine.mark();
    engine.send("exit");
    EXPECT_EQ(countPrefix(untilPong(5), "move "), 0) << engine.dump();
    const auto started = std::chrono::steady_clock::now();
    engine.send("go");
    expectLegalMove(kStartFen, {"e2e4"});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
    EXPECT_EQ(countPrefix(engine.linesSince(before), "move "), 1) << engine.dump();
}

// A move of the opponent's that arrives while the engine is thinking (and
// not pondering) waits for the search: the engine's move comes first, then
// the opponent's move is played and answered.
TEST_F(XboardTest, MoveDuringOwnSearchWaitsForIt) {
    engine.send("force");
    engine.send("e2e4");
    engine.send("st 30");
    engine.send("go");
    ASSERT_TRUE(engine.waitFor(isThinking, kLong)) << engine.dump();
    engine.send("g1f3");  // legal for White whatever Black plays now
    const std::string reply = expectLegalMove(kStartFen, {"e2e4"});
    ASSERT_TRUE(engine.waitFor(isThinking, kLong)) << engine.dump();
    engine.send("?");
    expectLegalMove(kStartFen, {"e2e4", reply, "g1f3"});
}

// Sessions as GUIs and scripts drive them. A step is a line to send ("$hint"
// at its start stands for the move of the last "Hint:" line, "$under" for that promotion
// to another piece), "<text" waits for a line that starts with text ("@ms" at
// the end sets the time-out), "!text" answers a ping and checks that no line
// starting with text came since the previous check, and "~idle" checks that
// the engine uses no processor time. Every "move" line must answer "go" or a
// move sent outside force mode and analysis, and be legal on the board the
// GUI keeps from what it sent and received.
struct GuiSession {
    const char* name;
    std::vector<std::string> steps;
    friend void PrintTo(const GuiSession& session, std::ostream* out) { *out << session.name; }
};

// 100 plies of knight moves: back at the start position, White to move.
std::vector<std::string> hundredPlies() {
    std::vector<std::string> plies;
    for (int i = 0; i < 25; ++i) plies.insert(plies.end(), {"g1f3", "g8f6", "f3g1", "f6g8"});
    return plies;
}

std::vector<std::string> concat(std::vector<std::string> first, const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

const GuiSession kGuiSessions[] = {
    {"ForceThenGoPlaysForTheSideToMove", {"force", "e2e4", "e7e5", "g1f3", "!move ", "sd 3", "go", "<move "}},
    {"NewDuringSearchAbortsAndResets", {"force", "e2e4", "st 30", "go", "<1 ", "new", "!move ", "sd 2", "go", "<move "}},
    {"OverlongMoveLine", {"force", "e2e4xxxxxxxxxxxx", "<Illegal move: e2e4xxxxxxxxxxxx", "sd 2", "go", "<move "}},
    {"OverlongPonderMiss",
     {"hard", "sd 3", "e2e4", "<Hint: ", "$hintxxxxxxxxxxxx", "<Illegal move: ", "!move ", "easy", "$hint", "<move "}},
    {"UndoTakesBackOneMove", {"force", "e2e4", "e7e5", "undo", "sd 2", "go", "<move "}},
    {"UpperCaseIsNoMove", {"force", "E2E4", "<Error (unknown command): E2E4", "sd 2", "go", "<move "}},
    {"PromotionInASetUpPosition", {"force", "setboard 7k/4P3/8/8/8/8/8/K7 w - - 0 1", "e7e8q", "sd 3", "go", "<move "}},
    {"RetractMove", {"sd 3", "e2e4", "<move ", "remove", "d2d4", "<move "}},
    {"RetractMoveWhilePondering", {"hard", "sd 3", "e2e4", "<Hint: ", "remove", "d2d4", "<move "}},
    {"PonderMissInForceMode", {"hard", "sd 3", "e2e4", "<Hint: ", "force", "a2a3", "!move ", "go", "<move "}},
    {"SecondAnalyzeKeepsTheSavedLimits", {"st 1", "analyze", "analyze", "exit", "go", "<move @4000"}},
    {"NpsIsNotSilentlyIgnored", {"nps 1000", "<Error (unknown command): nps 1000"}},
    {"MatedByTheOpponentThenNextGame",
     {"setboard 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "a1a8", "<1-0 {White mates}", "result 1-0 {White mates}", "new",
      "sd 2", "go", "<move "}},
    {"FinishedGameLoadedInForceMode",
     {"force", "f2f3", "e7e5", "g2g4", "d8h4", "!move ", "go", "<0-1 {Black mates}", "result 0-1 {Black mates}", "new",
      "force", "e2e4", "sd 2", "go", "<move "}},
    {"StalemateOnGo", {"setboard 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "go", "<1/2-1/2 {Stalemate}", "!move "}},
    {"ForceEndsPonderingAndTakesTheGuessBack",
     {"hard", "sd 3", "e2e4", "<Hint: ", "force", "$hint", "!move ", "go", "<move "}},
    {"ForceDuringOwnSearchPlaysNothing", {"st 30", "go", "<1 ", "force", "!move ", "e2e4", "sd 3", "go", "<move "}},
    {"EditPositionThenAnalysisWithMovesAndUndo",
     {"force", "setboard 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "post", "analyze", "<63 ", "!move ", "a1b1", "<1 ",
      "undo", "<63 ", "!move ", "exit", "!move ", "sd 3", "go", "<move "}},
    {"DepthLimitKeepsTheClock",
     {"level 40 5 0", "sd 30", "time 100", "otim 100", "go", "sd 25", "<move @4000"}},
    {"SuddenDeathSharesTheClock", {"level 0 1 0", "time 6000", "otim 6000", "go", "<move @15000"}},
    {"GameResumedAfterHundredPliesOfForceMode",
     concat(concat({"level 40 1 0", "force"}, hundredPlies()), {"time 6000", "otim 6000", "go", "<4 ", "<move "})},
    {"ResultEndsPondering", {"hard", "st 1", "e2e4", "<Hint: ", "result 1-0 {White resigns}", "!move ", "~idle"}},
    {"NewKeepsTheTimeControl", {"level 40 0:02 0", "new", "time 200", "otim 200", "go", "<move @3000"}},
    {"IllegalMoveAndUnknownCommand",
     {"e2e5", "<Illegal move: e2e5", "frobnicate", "<Error (unknown command): frobnicate", "sd 2", "e2e4", "<move "}},
    {"SecondXboardKeepsPonderingInStep", {"hard", "xboard", "<feature ", "sd 3", "e2e4", "<Hint: ", "!move ", "$hint", "<move "}},
    {"ExitDuringPonderingTakesTheGuessBack",
     {"hard", "sd 3", "e2e4", "<Hint: ", "exit", "go", "<move "}},
    // The expected f7f8q leaves Black out of check; f7f8n checks it.
    {"UnderPromotionIsAPonderMiss",
     {"hard", "sd 4", "setboard 8/p4P1k/6p1/4B1P1/8/8/8/2K5 b - - 0 1", "go", "<Hint: f7f8", "$under", "<move "}},
};

// The game as the GUI keeps it, and whether it waits for the engine's move.
struct GuiBoard {
    std::string fen = kStartFen;
    std::vector<std::string> moves;
    std::string hint;
    bool force = false, analysing = false, moveOwed = false;

    void sent(const std::string& line) {
        if (line == "new" || line == "xboard") *this = GuiBoard{};
        else if (startsWith(line, "setboard ")) fen = line.substr(9), moves.clear();
        else if (line == "undo" && !moves.empty()) moves.pop_back();
        else if (line == "remove") moves.resize(moves.size() < 2 ? 0 : moves.size() - 2);
        else if (line == "force" || startsWith(line, "result")) force = true, moveOwed = false;
        else if (line == "go") force = false, analysing = false, moveOwed = true;
        else if (line == "analyze" || line == "exit") analysing = line == "analyze";
        else if (movesAreLegal(fen, concat(moves, {line}))) moves.push_back(line), moveOwed = !force && !analysing;
    }
    void received(const std::string& line) {
        if (startsWith(line, "Hint: ")) hint = word(line, 1);
        if (line.find(" {") != std::string::npos) moveOwed = false;  // a result claimed
        if (!startsWith(line, "move ")) return;
        std::string why;
        EXPECT_TRUE(moveOwed) << "a move nobody asked for: " << line;
        EXPECT_TRUE(movesAreLegal(fen, concat(moves, {word(line, 1)}), &why)) << why;
        moves.push_back(word(line, 1));
        moveOwed = false;
    }
};

// Answers a ping, every line up to it observed by board; false on a time-out.
bool untilPong(EngineSession& engine, GuiBoard& board, const std::string& number) {
    engine.send("ping " + number);
    return engine.waitFor([&](const std::string& line) { board.received(line); return line == "pong " + number; },
                          kLong)
        .has_value();
}

// Processor time the process has used, in clock ticks.
long cpuTicks(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string field;
    long ticks = 0;
    for (int i = 1; i <= 15 && stat >> field; ++i)
        if (i == 14 || i == 15) ticks += std::stol(field);
    return ticks;
}

class XboardGuiSessionTest : public ::testing::TestWithParam<GuiSession> {};

TEST_P(XboardGuiSessionTest, StaysInStep) {
    EngineSession engine;
    ASSERT_TRUE(engine.start("xboard"));
    GuiBoard board;
    size_t checked = engine.mark();
    int ping = 0;
    for (std::string step : GetParam().steps) {

        SCOPED_TRACE(step);
        if (step[0] == '<') {
            const size_t at = step.find('@');
            const int timeoutMs = at == std::string::npos ? kLong : std::stoi(step.substr(at + 1));
            const std::string prefix = step.substr(1, at == std::string::npos ? std::string::npos : at - 1);
            ASSERT_TRUE(engine.waitFor(
                [&](const std::string& line) { board.received(line); return startsWith(line, prefix); }, timeoutMs))
                << engine.dump();
            checked = engine.mark();
        } else if (step[0] == '!') {
            ASSERT_TRUE(untilPong(engine, board, std::to_string(++ping))) << engine.dump();
            for (const std::string& line : engine.linesSince(checked))
                EXPECT_FALSE(startsWith(line, step.substr(1))) << engine.dump();
            checked = engine.mark();
        } else if (step == "~idle") {
            const long before = cpuTicks(engine.process().pid());
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            EXPECT_LT(cpuTicks(engine.process().pid()) - before, 10) << "still thinking\n" << engine.dump();
        } else {
            if (startsWith(step, "$hint")) step = board.hint + step.substr(5);
            if (step == "$under") step = board.hint.substr(0, 4) + (board.hint.substr(4) == "n" ? "q" : "n");
            board.sent(step);
            engine.send(step);
        }
    }
    EXPECT_TRUE(untilPong(engine, board, "999")) << engine.dump();
}

INSTANTIATE_TEST_SUITE_P(Gui, XboardGuiSessionTest, ::testing::ValuesIn(kGuiSessions),
                         [](const ::testing::TestParamInfo<GuiSession>& param) { return std::string(param.param.name); });

TEST_F(XboardTest, QuitDuringSearchAndEndOfInput) {
    engine.send("st 30");
    engine.send("go");
    ASSERT_TRUE(engine.waitFor(isThinking, kLong)) << engine.dump();
    engine.send("quit");
    EXPECT_EQ(engine.process().waitExit(10000), 1) << engine.dump();

    EngineSession second;
    ASSERT_TRUE(second.start("xboard"));
    second.process().closeInput();
    EXPECT_EQ(second.process().waitExit(10000), 1);
}

}  // namespace
}  // namespace tarvok::test
