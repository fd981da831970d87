// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the built program's -perft and -divide modes as a process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "test_support/child_process.h"
#include "tools/time_line.h"

namespace tarvok {
namespace {

using test::isTimeLine;

constexpr const char* kHeader =
    "depth |        nodes |     captures |          e.p |        check |         mate |    promotion |       castle ";
constexpr int kTimeoutMs = 60000;

struct ProcessResult {
    std::vector<std::string> lines;
    int status;
};

class PerftProcessTest : public ::testing::Test {
   protected:
    // A working directory whose tarvok.ini keeps the hash table small.
    void SetUp() override {
        char pattern[] = "/tmp/tarvok-perft-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        std::ofstream(directory + "/tarvok.ini") << "[Engine]\nHash=2\n";
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    ProcessResult run(const std::vector<std::string>& args, const std::string& input = "") {
        test::ChildProcess child;
        ProcessResult result{{}, -1};
        EXPECT_TRUE(child.start(TARVOK_BINARY, args, directory));
        if (!input.empty()) child.write(input);
        child.closeInput();
        result.lines = child.readAllLines(kTimeoutMs);
        result.status = child.waitExit(kTimeoutMs);
        return result;
    }

    std::string directory;
};

TEST_F(PerftProcessTest, PerftWithFenPrintsTheTableAndSucceeds) {
    const ProcessResult result = run({"-perft", "3", "-fen", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"});
    EXPECT_EQ(result.status, 1);
    ASSERT_EQ(result.lines.size(), 5u);
    EXPECT_EQ(result.lines[0], kHeader);
    EXPECT_EQ(result.lines[1], " 1.           48            8            0            0            0            0            2");
    EXPECT_EQ(result.lines[2], " 2.         2039          351            1            3            0            0           91");
    EXPECT_EQ(result.lines[3], " 3.        97862        17102           45          993            1            0         3162");
    EXPECT_TRUE(isTimeLine(result.lines[4])) << result.lines[4];
}

TEST_F(PerftProcessTest, PerftWithoutFenStartsFromTheInitialPosition) {
    const ProcessResult result = run({"-perft", "2"});
    EXPECT_EQ(result.status, 1);
    ASSERT_EQ(result.lines.size(), 4u);
    EXPECT_EQ(result.lines[1], " 1.           20            0            0            0            0            0            0");
    EXPECT_EQ(result.lines[2], " 2.          400            0            0            0            0            0            0");
}

TEST_F(PerftProcessTest, RejectedFenIsReportedWithStatusZero) {
    for (const char* tool : {"-perft", "-divide"}) {
        const ProcessResult result = run({tool, "3", "-fen", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNZ w KQkq - 0 1"});
        EXPECT_EQ(result.status, 0) << tool;
        ASSERT_EQ(result.lines.size(), 1u) << tool;
        EXPECT_EQ(result.lines[0], "Bad FEN string !");
    }
}

TEST_F(PerftProcessTest, DepthZeroAndDepthsAboveTheTablePrintHeaderAndTime) {
    for (const char* depth : {"0", "-1", "64", "100000", "4294967297", "abc"}) {
        const ProcessResult result = run({"-perft", depth});
        EXPECT_EQ(result.status, 1) << depth;
        ASSERT_EQ(result.lines.size(), 2u) << depth;
        EXPECT_EQ(result.lines[0], kHeader);
        EXPECT_TRUE(isTimeLine(result.lines[1], true))
            << result.lines[1];
    }
}

TEST_F(PerftProcessTest, DivideListsMovesAndTotal) {
    const ProcessResult result = run({"-divide", "2", "-fen", "8/8/1k6/2b5/2pP4/8/5K2/8 b - d3 0 1"});
    EXPECT_EQ(result.status, 1);
    ASSERT_EQ(result.lines.size(), 17u);
    bool enPassant = false;
    for (size_t i = 0; i < 15; ++i) enPassant |= result.lines[i] == "    c4xd3e.p :            5";
    EXPECT_TRUE(enPassant);
    EXPECT_EQ(result.lines[15], "total =          126");
    EXPECT_TRUE(isTimeLine(result.lines[16]));
}

TEST_F(PerftProcessTest, WrongArgumentCountsStartTheInteractiveMode) {
    const std::vector<std::vector<std::string>> shapes = {
        {"-perft"}, {"-perft", "3", "-fen"}, {"-perft", "3", "-fan", "8/8/8/8/8/8/8/K1k5 w - - 0 1"},
        {"-divide", "2", "3"}, {"-perft", "3", "-fen", "8/8/8/8/8/8/8/K1k5 w - - 0 1", "extra"}};
    for (const auto& args : shapes) {
        // "quit" is no protocol name, so the program ends after the banner.
        const ProcessResult result = run(args, "quit\n");
        EXPECT_EQ(result.status, 1) << args[0] << " with " << args.size() << " arguments";
        ASSERT_EQ(result.lines.size(), 1u) << args.size();
        EXPECT_EQ(result.lines[0].rfind("Tarvok 1.4 (32 bits) by ", 0), 0u) << result.lines[0];
    }
}

}  // namespace
}  // namespace tarvok
