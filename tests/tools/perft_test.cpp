// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/perft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "board/move_text.h"
#include "board/movegen.h"
#include "frontend/protocol_engine.h"
#include "search/hash_table.h"
#include "test_support/data_files.h"
#include "tools/time_line.h"

namespace tarvok {
namespace {

using test::isTimeLine;

constexpr const char* kHeader =
    "depth |        nodes |     captures |          e.p |        check |         mate |    promotion |       castle ";

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// One row of the perft table as perftCommand prints it.
std::string row(int depth, const std::vector<unsigned long long>& values) {
    char text[160];
    std::snprintf(text, sizeof text, "% 2d. %12llu %12llu %12llu %12llu %12llu %12llu %12llu", depth, values[0],
                  values[1], values[2], values[3], values[4], values[5], values[6]);
    return text;
}

class PerftTest : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        engine = new ProtocolEngine();
        engine->setHashSize(2);
    }
    static void TearDownTestSuite() {
        hashTable.free();
        delete engine;
        engine = nullptr;
    }
    void SetUp() override { engine->setStartPosition(); }

    static void setFen(const std::string& fen) { ASSERT_EQ(engine->setFromFen(fen.c_str()), 1) << fen; }

    static std::vector<std::string> capture(void (*command)(SearchEngine&, int), int depth) {
        testing::internal::CaptureStdout();
        command(*engine, depth);
        std::fflush(stdout);
        return splitLines(testing::internal::GetCapturedStdout());
    }

    // Runs the perft command and checks the header, the rows and the time line.
    static void expectPerftTable(int depth, const std::vector<std::vector<unsigned long long>>& rows) {
        const std::vector<std::string> lines = capture(perftCommand, depth);
        ASSERT_EQ(lines.size(), rows.size() + 2);
        EXPECT_EQ(lines.front(), kHeader);
        for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(lines[i + 1], row(static_cast<int>(i) + 1, rows[i]));
        EXPECT_TRUE(isTimeLine(lines.back())) << lines.back();
    }

    static ProtocolEngine* engine;
};

ProtocolEngine* PerftTest::engine = nullptr;

TEST_F(PerftTest, StartingPositionTableToDepthFive) {
    expectPerftTable(5, {{20, 0, 0, 0, 0, 0, 0},
                         {400, 0, 0, 0, 0, 0, 0},
                         {8902, 34, 0, 12, 0, 0, 0},
                         {197281, 1576, 0, 469, 8, 0, 0},
                         {4865609, 82719, 258, 27351, 347, 0, 0}});
}

TEST_F(PerftTest, CastlingAndPromotionPositionsClassifyTheirLeaves) {
    const std::vector<test::PerftCase> cases = test::readPerftCases();
    ASSERT_GE(cases.size(), 3u);
    setFen(cases[1].fen);
    expectPerftTable(3, {{48, 8, 0, 0, 0, 0, 2}, {2039, 351, 1, 3, 0, 0, 91}, {97862, 17102, 45, 993, 1, 0, 3162}});
    setFen(cases[2].fen);
    expectPerftTable(4, {{14, 1, 0, 2, 0, 0, 0},
                         {191, 14, 0, 10, 0, 0, 0},
                         {2812, 209, 2, 267, 0, 0, 0},
                         {43238, 3348, 123, 1680, 17, 0, 0}});
    // Promotions, some of them giving mate.
    setFen("4k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
    expectPerftTable(1, {{9, 0, 0, 2, 0, 4, 0}});
}

TEST_F(PerftTest, MateLeavesCountAsChecksToo) {
    setFen("6k1/5ppp/8/8/8/8/8/R3K3 w Q - 0 1");
    // Ra8 is the one check, and it mates; O-O-O is the one castling.
    expectPerftTable(1, {{16, 0, 0, 1, 1, 0, 1}});
}

TEST_F(PerftTest, RootWithoutLegalMovesGivesZeroRows) {
    setFen("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3");
    expectPerftTable(2, {{0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0}});
    EXPECT_EQ(perftCount(engine->board, engine->moveLists, 3), 0u);
}

TEST_F(PerftTest, DepthsOutsideTheTableOnlyPrintHeaderAndTime) {
    for (int depth : {0, -3, 64, 1000}) {
        const std::vector<std::string> lines = capture(perftCommand, depth);
        ASSERT_EQ(lines.size(), 2u) << depth;
        EXPECT_EQ(lines[0], kHeader);
        EXPECT_TRUE(isTimeLine(lines[1], true)) << lines[1];
    }
}

TEST_F(PerftTest, CountMatchesTheReferenceCountsAndRestoresTheBoard) {
    for (const test::PerftCase& c : test::readPerftCases()) {
        setFen(c.fen);
        const HashKey key = engine->board.hashKey;
        for (size_t d = 1; d <= c.counts.size() && c.counts[d - 1] <= 200000; ++d)
            EXPECT_EQ(perftCount(engine->board, engine->moveLists, static_cast<int>(d)), c.counts[d - 1])
                << c.fen << " depth " << d;
        EXPECT_EQ(engine->board.hashKey, key);
        EXPECT_EQ(engine->board.plyCount, 0u);
    }
    // Depth 0 or less counts like depth 1.
    engine->setStartPosition();
    EXPECT_EQ(perftCount(engine->board, engine->moveLists, 0), 20u);
    EXPECT_EQ(perftCount(engine->board, engine->moveLists, -2), 20u);
}

TEST_F(PerftTest, StatisticsAccumulateIntoTheCounters) {
    PerftCounters counters{};
    perftStatistics(engine->board, engine->moveLists, 3, counters);
    perftStatistics(engine->board, engine->moveLists, 3, counters);
    EXPECT_EQ(counters.nodes, 2 * 8902u);
    EXPECT_EQ(counters.captures, 2 * 34u);
    EXPECT_EQ(counters.checks, 2 * 12u);
}

// The root moves a divide must list: legal moves in generation order.
std::vector<std::string> legalRootTexts(Board& board) {
    MoveList list{};
    const int count = generateAll(board, list, 0, isInCheck(board, static_cast<int>(board.side)));
    std::vector<std::string> texts;
    char text[kMoveTextSize];
    for (int i = 0; i < count; ++i) {
        const Move move = list.entries[i].move;
        if (board.makeMove(move)) {
            moveToText(move, text);
            texts.push_back(text);
        }
        board.unmakeMove(move);
    }
    return texts;
}

struct DivideLine {
    std::string text;
    unsigned long long count;
};

// Parses the divide listing; checks the total and time lines.
std::vector<DivideLine> parseDivide(const std::vector<std::string>& lines, unsigned long long expectedTotal) {
    std::vector<DivideLine> entries;
    EXPECT_GE(lines.size(), 2u);
    if (lines.size() < 2) return entries;
    for (size_t i = 0; i + 2 < lines.size(); ++i) {
        const std::string& line = lines[i];
        const size_t start = line.find_first_not_of(' ');
        if (line.size() != 27 || line.compare(12, 3, " : ") != 0 || start >= 12 || line[26] == ' ') {
            ADD_FAILURE() << "not a divide line: '" << line << "'";
            continue;
        }
        entries.push_back({line.substr(start, 12 - start), std::stoull(line.substr(15))});
    }
    char total[64];
    std::snprintf(total, sizeof total, "total = %12llu", expectedTotal);
    EXPECT_EQ(lines[lines.size() - 2], total);
    EXPECT_TRUE(isTimeLine(lines.back())) << lines.back();
    return entries;
}

TEST_F(PerftTest, DivideListsRootMovesInGenerationOrder) {
    const std::vector<DivideLine> entries = parseDivide(capture(divideCommand, 3), 8902);
    const std::vector<std::string> expected = legalRootTexts(engine->board);
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(entries[i].text, expected[i]);
    // Well-known per-move counts of the starting position at depth 3.
    const std::vector<std::pair<std::string, unsigned long long>> known = {
        {"a2-a3", 380}, {"d2-d4", 560}, {"e2-e4", 600}, {"e2-e3", 599}, {"b2-b4", 421},
        {"Nb1-c3", 440}, {"Ng1-h3", 400}, {"f2-f4", 401}};
    for (const auto& [text, count] : known) {
        auto found = std::find_if(entries.begin(), entries.end(), [&](const DivideLine& e) { return e.text == text; });
        ASSERT_NE(found, entries.end()) << text;
        EXPECT_EQ(found->count, count) << text;
    }
    // Knights first, then single steps, then double steps.
    const std::vector<std::string> order = {"Nb1-a3", "Nb1-c3", "Ng1-f3", "Ng1-h3", "a2-a3", "b2-b3", "c2-c3",
                                            "d2-d3",  "e2-e3",  "f2-f3",  "g2-g3",  "h2-h3", "a2-a4", "b2-b4",
                                            "c2-c4",  "d2-d4",  "e2-e4",  "f2-f4",  "g2-g4", "h2-h4"};
    for (size_t i = 0; i < order.size() && i < entries.size(); ++i) EXPECT_EQ(entries[i].text, order[i]);
}

TEST_F(PerftTest, DivideWritesCastlingEnPassantAndPromotionTexts) {
    const std::vector<test::PerftCase> cases = test::readPerftCases();
    setFen(cases[1].fen);
    std::vector<DivideLine> entries = parseDivide(capture(divideCommand, 2), 2039);
    EXPECT_EQ(entries.size(), 48u);
    unsigned long long castles = 0;
    for (const DivideLine& e : entries) castles += (e.text == "O-O" || e.text == "O-O-O") ? e.count : 0;
    EXPECT_EQ(castles, 43u + 43u);  // replies after O-O and after O-O-O

    setFen("8/8/1k6/2b5/2pP4/8/5K2/8 b - d3 0 1");
    entries = parseDivide(capture(divideCommand, 1), 15);
    EXPECT_NE(std::find_if(entries.begin(), entries.end(), [](const DivideLine& e) { return e.text == "c4xd3e.p"; }),
              entries.end());

    setFen("2r1k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
    entries = parseDivide(capture(divideCommand, 1), 13);
    std::vector<std::string> texts;
    for (const DivideLine& e : entries) texts.push_back(e.text);
    for (const char* text : {"b7-b8=Q", "b7-b8=N", "b7xc8=Q", "b7xc8=R", "b7xc8=B", "b7xc8=N"})
        EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end()) << text;
}

TEST_F(PerftTest, DivideBelowDepthTwoCountsEachMoveOnce) {
    for (int depth : {1, 0, -5}) {
        const std::vector<DivideLine> entries = parseDivide(capture(divideCommand, depth), 20);
        ASSERT_EQ(entries.size(), 20u);
        for (const DivideLine& e : entries) EXPECT_EQ(e.count, 1u) << e.text;
    }
}

TEST_F(PerftTest, DivideOfAPositionWithoutMovesPrintsOnlyTheTotal) {
    setFen("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    for (int depth : {1, 3}) {
        const std::vector<std::string> lines = capture(divideCommand, depth);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0], "total =            0");
        EXPECT_TRUE(isTimeLine(lines[1])) << lines[1];
    }
}

TEST(PerftTimeLine, FormatsMinutesSecondsMillisecondsAndSpeed) {
    struct Case {
        double microseconds;
        uint64_t nodes;
        const char* line;
    } cases[] = {
        {1500000.0, 3000000, "Time = 00:01:500, speed = 2000.000"},
        {61234567.0, 1000, "Time = 01:01:234, speed = 0.016"},
        {3600000000.0, 0, "Time = 60:00:000, speed = 0.000"},  // minutes are not wrapped
        {999.0, 0, "Time = 00:00:000, speed = 0.000"},
        {0.0, 0, "Time = 00:00:000, speed = 0.000"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        printPerftTime(c.microseconds, c.nodes);
        std::fflush(stdout);
        const std::string line = testing::internal::GetCapturedStdout();
        EXPECT_EQ(line, std::string(c.line) + "\n");
        EXPECT_TRUE(isTimeLine(line.substr(0, line.size() - 1), c.nodes == 0));
    }
    // The shape check used by the other tests rejects near misses.
    for (const char* bad : {"Time = 0:00:000, speed = 1.000", "Time = 00:00:000, speed = 1.00",
                            "Time = 00:00:000, speed = .000", "Time = 00-00:000, speed = 1.000",
                            "Time = 00:00:000,speed = 1.000", "Time = 00:00:000, speed = 1.000 "})
        EXPECT_FALSE(isTimeLine(bad)) << bad;
    EXPECT_FALSE(isTimeLine("Time = 00:00:000, speed = 10.000", true));
}

}  // namespace
}  // namespace tarvok
