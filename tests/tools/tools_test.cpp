// SPDX-License-Identifier: GPL-3.0-or-later
// The tool modes (perft, divide, test suites) run as processes against the
// expected listings in tests/data/book/tool_runs.txt, and the pieces they are
// made of: EPD operations, mirrored positions, the time line, the counters.
#include <gtest/gtest.h>


#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "frontend/protocol_engine.h"
#include "search/hash_table.h"
#include "test_support/child_process.h"
#include "test_support/data_files.h"
#include "test_support/table_text.h"
#include "tools/epd_line.h"
#include "tools/perft.h"
#include "tools/test_suite.h"

namespace tarvok {
namespace {

const std::regex kTimeLine(R"(Time = \d\d:\d\d:\d\d\d, speed = \d+\.\d\d\d)");
const std::regex kThinkingLine(R"( ?\d+ [+-]?(M\d+|\d+\.\d\d) \d\d:\d\d:\d\d\d +\d+ \S+ .*)");

struct ToolRun {
    std::vector<std::string> args, expected;  // the expected exit status last, as "@exit N"
    std::string input;
};

std::string withDataDir(std::string text) {
    for (std::size_t at; (at = text.find("@data")) != std::string::npos;) text.replace(at, 5, TARVOK_TEST_DATA_DIR);
    return text;
}

std::vector<ToolRun> readToolRuns() {
    std::vector<ToolRun> runs;
    for (const std::string& line : test::readAllDataLines("book/tool_runs.txt")) {
        if (line.rfind("$ ", 0) == 0) {
            runs.emplace_back();
            runs.back().args = test::split(withDataDir(line.substr(2)), "|");
        } else if (line.rfind("@input ", 0) == 0) {
            runs.back().input = line.substr(7) + "\n";
        } else if (!line.empty() && line[0] != '#') {
            runs.back().expected.push_back(line == "@empty" ? "" : withDataDir(test::decodeText(line)));
        }
    }
    return runs;
}

// Whether the output lines match the expected ones; why names the first difference.
bool matches(const std::vector<std::string>& output, const std::vector<std::string>& expected, std::string& why) {
    std::size_t at = 0;
    for (const std::string& want : expected) {
        const bool thinking = want == "@thinking";
        const std::string got = at < output.size() ? output[at] : "<end of output>";
        bool same = want == "@time" ? std::regex_match(got, kTimeLine)
                    : want == "@time0" ? std::regex_match(got, kTimeLine) && got.ends_with(" speed = 0.000")
                    : thinking ? std::regex_match(got, kThinkingLine)
                               : got == want;
        if (!same) {
            why = "line " + std::to_string(at + 1) + ": '" + got.substr(0, 300) + "', expected '" + want + "'";
            return false;
        }
        ++at;
        while (thinking && at < output.size() && std::regex_match(output[at], kThinkingLine)) ++at;
    }
    why = at < output.size() ? "extra line '" + output[at] + "'" : "";
    return at == output.size();
}

// Each run in a working directory whose tarvok.ini keeps the hash table small.
TEST(ToolModes, RunsPrintTheExpectedListings) {
    const test::TempDir tempDir;
    const std::string& dir = tempDir.path();
    ASSERT_FALSE(dir.empty());
    std::ofstream(dir + "/tarvok.ini") << "[Engine]\nHash=2\n";
    const std::vector<ToolRun> runs = readToolRuns();
    ASSERT_GT(runs.size(), 25u);
    for (const ToolRun& run : runs) {
        std::string name;
        for (const std::string& arg : run.args) name += " " + arg.substr(0, 60);
        test::ChildProcess child;
        ASSERT_TRUE(child.start(TARVOK_BINARY, run.args, dir)) << name;
        child.write(run.input);
        child.closeInput();
        std::vector<std::string> output = child.readAllLines(60000);
        output.push_back("@exit " + std::to_string(child.waitExit(60000)));
        std::string why;
        EXPECT_TRUE(matches(output, run.expected, why)) << name << ": " << why;
    }
}

TEST(ToolParts, EpdOperationsMirrorsAndTimeLinesTables) {
    for (const auto& row : test::readTable("book/epd_lines.txt")) {
        std::vector<std::string> read, expected;
        std::size_t scan = 0;
        EpdOperation op;
        const std::string line = test::decodeText(row[0]);
        while (nextEpdOperation(line, scan, op))
            read.insert(read.end(), {op.position, op.bestMoves, op.identifier});
        for (std::size_t i = 1; i < row.size(); ++i) expected.push_back(test::decodeText(row[i]));
        EXPECT_EQ(read, expected) << row[0];
    }
    std::size_t scan = 0;
    EpdOperation op;
    EXPECT_FALSE(nextEpdOperation("", scan, op));
    for (const auto& row : test::readTable("book/mirror.txt")) EXPECT_EQ(mirrorPositionText(row[0]), row[1]) << row[0];
    for (const auto& row : test::readTable("book/perft_time.txt")) {
        testing::internal::CaptureStdout();
        printPerftTime(std::stod(row[0]), std::stoull(row[1]));
        std::fflush(stdout);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), row[2] + "\n");
    }
}

TEST(ToolParts, CountersAndEvalSuiteTally) {
    auto engine = std::make_unique<ProtocolEngine>();
    engine->setHashSize(1);
    engine->setStartPosition();
    // Depth 0 or less counts like depth 1; counting leaves the board as it was.
    const HashKey key = engine->board.hashKey;
    EXPECT_EQ(perftCount(engine->board, engine->moveLists, 0), 20u);
    EXPECT_EQ(perftCount(engine->board, engine->moveLists, -2), 20u);
    EXPECT_EQ(perftCount(engine->board, engine->moveLists, 3), 8902u);
    EXPECT_EQ(engine->board.hashKey, key);

    // The evaluation is colour-symmetric: every position of the suite passes;
    // bad FENs fail by their identifiers; blank lines count.
    const std::pair<const char*, const char*> suites[] = {{"bk.epd", "24 of 24: "},
                                                          {"book/suite_eval_odd.epd", "1 of 5: broken|||"}};
    for (const auto& [name, summary] : suites) {
        SuiteTally tally;
        testing::internal::CaptureStdout();
        EXPECT_EQ(runEvalSuite(*engine, test::testDataPath(name).c_str(), &tally), 1);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        std::string text = std::to_string(tally.good) + " of " + std::to_string(tally.lines) + ": ";
        for (const std::string& failure : tally.failures) text += failure + "|";
        EXPECT_EQ(text, summary);
    }
    const std::string missing = test::testDataPath("book/missing.epd");
    SuiteTally tally;
    EXPECT_EQ(runEvalSuite(*engine, missing.c_str(), &tally), 0);
    EXPECT_EQ(runTestSuite(*engine, missing.c_str()), 0);
    hashTable.free();
}

}  // namespace
}  // namespace tarvok
