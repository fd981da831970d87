// SPDX-License-Identifier: GPL-3.0-or-later
// The program as a process: the help text, the banner, the choice of
// protocol by the first line and the end of input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support/child_process.h"

namespace tarvok::test {
namespace {

constexpr const char* kBanner = "Tarvok 1.4 (32 bits) by the Tarvok developers";
constexpr int kWaitMs = 5000;

class CommandLoop : public ::testing::Test {
   protected:
    // Starts the interactive mode and reads the banner.
    void startInteractive() {
        ASSERT_TRUE(child.start(TARVOK_BINARY, {}));
        std::string line;
        ASSERT_TRUE(child.readLine(line, kWaitMs));
        EXPECT_EQ(line, kBanner);
    }
    ChildProcess child;
};

TEST_F(CommandLoop, HelpPrintsTheTextAndExitsWithOne) {
    ASSERT_TRUE(child.start(TARVOK_BINARY, {"-help"}));
    const std::vector<std::string> expected = {kBanner,
                                               "",
                                               "Tarvok -testsuite <filename.epd> <time>",
                                               "Tarvok -perft <depth>",
                                               "Tarvok -perft <depth> -fen \"<fen-string>\"",
                                               "Tarvok -divide <depth>",
                                               "Tarvok -divide <depth> -fen \"<fen-string>\"",
                                               "Tarvok -buildbook <file.pgn> <file.bin> <depth> <count>"};
    EXPECT_EQ(child.readAllLines(kWaitMs), expected);
    EXPECT_EQ(child.waitExit(kWaitMs), 1);
}

TEST_F(CommandLoop, FirstLineOtherThanAProtocolEndsTheProgram) {
    for (const char* first : {"hello", "uci ", "quit", "UCI", "uci\r ", "xboard 2"}) {
        ChildProcess process;
        ASSERT_TRUE(process.start(TARVOK_BINARY, {}));
        std::string line;
        ASSERT_TRUE(process.readLine(line, kWaitMs));
        EXPECT_EQ(line, kBanner);
        process.writeLine(first);
        // Input stays open: the line alone must end the program.
        EXPECT_EQ(process.waitExit(kWaitMs), 1) << first;
        EXPECT_EQ(process.readAllLines(kWaitMs), std::vector<std::string>{}) << first;
    }
}

TEST_F(CommandLoop, EmptyFirstLinesAreSkipped) {
    startInteractive();
    child.writeLine("");
    child.writeLine("");
    child.writeLine("xboard");
    // Still waiting for commands after the protocol was chosen.
    EXPECT_EQ(child.waitExit(300), -1);
    child.writeLine("quit");
    EXPECT_EQ(child.waitExit(kWaitMs), 1);
}

TEST_F(CommandLoop, ProtocolLineThenQuit) {
    startInteractive();
    child.writeLine("uci");
    child.writeLine("quit");
    EXPECT_EQ(child.waitExit(kWaitMs), 1);
}

TEST_F(CommandLoop, CarriageReturnBeforeNewlineEndsTheLine) {
    // Input written on other systems: every line ends in CR LF.
    const struct {
        const char* input;
        const char* expected;
    } sessions[] = {
        {"uci\r\nposition fen 7k/8/6K1/8/8/8/8/R7 w - - 0 1\r\ngo depth 3\r\n", "bestmove a1a8"},
        {"xboard\r\nping 7\r\n", "pong 7"},
    };
    for (const auto& session : sessions) {
        ChildProcess process;
        ASSERT_TRUE(process.start(TARVOK_BINARY, {}));
        ASSERT_TRUE(process.write(session.input));
        std::string line;
        bool seen = false;
        while (!seen && process.readLine(line, kWaitMs)) seen = line.rfind(session.expected, 0) == 0;
        EXPECT_TRUE(seen) << session.input;
        ASSERT_TRUE(process.write("quit\r\n"));
        EXPECT_EQ(process.waitExit(kWaitMs), 1) << session.input;
    }
}

TEST_F(CommandLoop, ClosingInputEndsTheProgram) {
    startInteractive();
    child.closeInput();
    EXPECT_EQ(child.waitExit(kWaitMs), 1);

    // Also after a protocol was chosen.
    ChildProcess xboard;
    ASSERT_TRUE(xboard.start(TARVOK_BINARY, {}));
    xboard.writeLine("xboard");
    xboard.closeInput();
    EXPECT_EQ(xboard.waitExit(kWaitMs), 1);
}

TEST_F(CommandLoop, OverlongFirstLineEndsTheProgram) {
    startInteractive();
    child.writeLine(std::string(10000, 'u'));
    EXPECT_EQ(child.waitExit(kWaitMs), 1);
}

}  // namespace
}  // namespace tarvok::test
