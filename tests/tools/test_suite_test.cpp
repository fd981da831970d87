// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/test_suite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

#include "frontend/protocol_engine.h"
#include "search/hash_table.h"
#include "test_support/child_process.h"
#include "test_support/data_files.h"
#include "tools/epd_line.h"

namespace tarvok {
namespace {

const std::string kSeparator(79, '-');

std::vector<EpdOperation> operationsOf(const std::string& line) {
    std::vector<EpdOperation> ops;
    std::size_t scan = 0;
    EpdOperation op;
    while (nextEpdOperation(line, scan, op)) ops.push_back(op);
    return ops;
}

TEST(EpdLineTest, SplitsTheUsualLayout) {
    const auto ops = operationsOf("1k1r4/pp1b1R2/3q2pp/4p3/2B5/4Q3/PPP2B2/2K5 b - - bm Qd1+; id \"BK.01\";");
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].position, "1k1r4/pp1b1R2/3q2pp/4p3/2B5/4Q3/PPP2B2/2K5 b - - ");
    EXPECT_STREQ(ops[0].bestMoves, "Qd1+");
    EXPECT_STREQ(ops[0].identifier, "BK.01");

    const auto two = operationsOf("8/8/8/8/8/8/8/K1k5 w - - bm Nd5 a4; id \"two moves\";");
    ASSERT_EQ(two.size(), 1u);
    EXPECT_STREQ(two[0].bestMoves, "Nd5 a4");
    EXPECT_STREQ(two[0].identifier, "two moves");
}

TEST(EpdLineTest, CutsLongFieldsToTheirCapacity) {
    const std::string moves(40, 'M');
    const std::string id(1000, 'i');
    const auto ops = operationsOf("pos bm " + moves + "; id \"" + id + "\";");
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(std::string(ops[0].bestMoves), moves.substr(0, 15));
    EXPECT_EQ(std::string(ops[0].identifier), id.substr(0, 255));
}

TEST(EpdLineTest, OtherLayoutsGiveEmptyOrShiftedFields) {
    EXPECT_TRUE(operationsOf("").empty());
    EXPECT_TRUE(operationsOf("; a comment without the operation").empty());

    // "bm" at the very end: nothing after it.
    auto ops = operationsOf("abc bm");
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].position, "abc ");
    EXPECT_STREQ(ops[0].bestMoves, "");
    EXPECT_STREQ(ops[0].identifier, "");

    // No ';': the moves run to the end and there is no identifier.
    ops = operationsOf("x bm e4 d4");
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_STREQ(ops[0].bestMoves, "e4 d4");
    EXPECT_STREQ(ops[0].identifier, "");

    // A compact identifier is read from six characters past the ';'.
    ops = operationsOf("x bm e4;id \"abcdef\";");
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_STREQ(ops[0].identifier, "bcdef");

    // An identifier without its closing quotation mark runs to the end.
    ops = operationsOf("x bm e4; id \"open");
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_STREQ(ops[0].identifier, "open");
}

TEST(EpdLineTest, ScanGoesOnBehindTheIdentifier) {
    // A "bm" inside an identifier is not taken for another operation.
    const auto ops = operationsOf("p bm e4; id \"one\"; bm d4; id \"two bm\"; c0 \"x\";");
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_STREQ(ops[0].identifier, "one");
    EXPECT_EQ(ops[1].position, "p bm e4; id \"one\"; ");
    EXPECT_STREQ(ops[1].bestMoves, "d4");
    EXPECT_STREQ(ops[1].identifier, "two bm");
}

TEST(MirrorPositionTest, ExchangesColoursSideAndRights) {
    EXPECT_EQ(mirrorPositionText("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - "),
              "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b kqKQ - ");
    EXPECT_EQ(mirrorPositionText("1k1r4/pp1b1R2/3q2pp/4p3/2B5/4Q3/PPP2B2/2K5 b - - "),
              "2k5/ppp2b2/4q3/2b5/4P3/3Q2PP/PP1B1r2/1K1R4 w - - ");
    EXPECT_EQ(mirrorPositionText("4k3/8/8/8/4P3/8/8/4K3 b - e3 "), "4k3/8/8/4p3/8/8/8/4K3 w - e6 ");
    EXPECT_EQ(mirrorPositionText("4k3/8/8/1pP5/8/8/8/4K3 w - b6 "), "4k3/8/8/8/1Pp5/8/8/4K3 b - b3 ");
    EXPECT_EQ(mirrorPositionText("not a position"), "");
}

// Writes lines to a fresh file in a private temporary directory.
class SuiteFiles : public ::testing::Test {
   protected:
    void SetUp() override {
        char pattern[] = "/tmp/tarvok_suite_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        for (const std::string& path : files_) std::remove(path.c_str());
        ::rmdir(dir_.c_str());
    }
    std::string writeFile(const std::string& name, const std::vector<std::string>& lines) {
        const std::string path = dir_ + "/" + name;
        std::ofstream out(path);
        for (const std::string& line : lines) out << line << '\n';
        files_.push_back(path);
        return path;
    }
    std::string missingFile() const { return dir_ + "/missing.epd"; }

   private:
    std::string dir_;
    std::vector<std::string> files_;
};

const std::string kQueenMate = "6k1/5ppp/8/8/8/8/5PPP/3Q2K1 w - - bm Qd8+; id \"mate\";";
const std::string kBadFen = "9/8/8/8/8/8/8/8 w - - bm e4; id \"broken\";";

class EvalSuiteTest : public SuiteFiles {
   protected:
    static void SetUpTestSuite() {
        engine = new ProtocolEngine();
        engine->setHashSize(1);
    }
    static void TearDownTestSuite() {
        hashTable.free();
        delete engine;
        engine = nullptr;
    }
    static ProtocolEngine* engine;
};
ProtocolEngine* EvalSuiteTest::engine = nullptr;

TEST_F(EvalSuiteTest, CountsSymmetricPositionsAndFailures) {
    std::vector<std::string> lines = test::readDataLines("bk.epd");
    ASSERT_EQ(lines.size(), 24u);
    lines.insert(lines.begin() + 3, "");
    lines.push_back(kBadFen);
    const std::string path = writeFile("eval.epd", lines);

    SuiteTally tally;
    testing::internal::CaptureStdout();
    EXPECT_EQ(runEvalSuite(*engine, path.c_str(), &tally), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(tally.lines, 26);
    EXPECT_EQ(tally.good, 24);  // the evaluation is colour-symmetric
    EXPECT_EQ(tally.failures, std::vector<std::string>{"broken"});
}

TEST_F(EvalSuiteTest, UnopenableFileReturnsZero) {
    SuiteTally tally;
    EXPECT_EQ(runEvalSuite(*engine, missingFile().c_str(), &tally), 0);
    EXPECT_EQ(runTestSuite(*engine, missingFile().c_str()), 0);
    EXPECT_EQ(tally.lines, 0);
}

// The tool run as a process, as a developer would run it.
class SuiteProcessTest : public SuiteFiles {
   protected:
    struct Run {
        std::vector<std::string> lines;
        int status;
    };
    static Run run(const std::vector<std::string>& args, int timeoutMs, bool closeInput = false) {
        test::ChildProcess child;
        Run result{{}, -1};
        if (!child.start(TARVOK_BINARY, args)) {
            ADD_FAILURE() << "cannot start " << TARVOK_BINARY;
            return result;
        }
        if (closeInput) child.closeInput();
        result.lines = child.readAllLines(timeoutMs);
        result.status = child.waitExit(timeoutMs);
        return result;
    }
};

const std::regex kThinkingLine(R"( ?\d+ [+-]?(M\d+|\d+\.\d\d) \d\d:\d\d:\d\d\d +\d+ \S+ .*)");
const std::regex kResultLine(R"(result => '(\S*)' : (ok|bad))");

struct Listing {
    std::vector<std::string> positions;  // the "... bm ...; id ...;" lines
    std::vector<std::string> ids;        // failed cases as the results say
    int good = 0;
    std::string score;
    std::vector<std::string> badList;
};

// Checks the listing's layout line by line and collects what it reports.
Listing parseListing(const std::vector<std::string>& lines, const std::string& file) {
    Listing listing;
    EXPECT_GE(lines.size(), 4u);
    if (lines.size() < 4) return listing;
    EXPECT_EQ(lines[0], "Tarvok version 1.4");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "Test suite : " + file);
    EXPECT_EQ(lines[3], "");
    std::size_t i = 4;
    while (i < lines.size() && lines[i] == kSeparator) {
        EXPECT_LT(i + 3, lines.size());
        if (i + 3 >= lines.size()) return listing;
        const std::string& position = lines[i + 1];
        listing.positions.push_back(position);
        EXPECT_EQ(lines[i + 2], "");
        const std::size_t idAt = position.rfind("; id ");
        const std::string id = idAt == std::string::npos ? "" : position.substr(idAt + 5, position.size() - idAt - 6);
        i += 3;
        if (lines[i] == "ERROR : bad FEN !") {
            listing.ids.push_back(id);
            ++i;
            continue;
        }
        int thinking = 0;
        for (; i < lines.size() && std::regex_match(lines[i], kThinkingLine); ++i) ++thinking;
        EXPECT_GT(thinking, 0) << position;
        std::smatch match;
        EXPECT_TRUE(i < lines.size() && std::regex_match(lines[i], match, kResultLine)) << position;
        if (i >= lines.size()) return listing;
        if (match.size() == 3 && match[2] == "ok") ++listing.good;
        else listing.ids.push_back(id);
        ++i;
    }
    EXPECT_LE(i + 5, lines.size());
    if (i + 5 > lines.size()) return listing;
    EXPECT_EQ(lines[i], "");
    listing.score = lines[i + 1];
    EXPECT_EQ(lines[i + 2], "");
    EXPECT_EQ(lines[i + 3], "Bad results : ");
    EXPECT_EQ(lines[i + 4], "");
    for (i += 5; i < lines.size(); ++i) listing.badList.push_back(lines[i]);
    return listing;
}

TEST_F(SuiteProcessTest, FullBkSuiteAtOneSecond) {
    const std::string file = test::testDataPath("bk.epd");
    const std::vector<std::string> epd = test::readDataLines("bk.epd");
    ASSERT_EQ(epd.size(), 24u);
    const Run result = run({"-testsuite", file, "1"}, 90000);
    EXPECT_EQ(result.status, 1);
    const Listing listing = parseListing(result.lines, file);
    ASSERT_EQ(listing.positions.size(), 24u);
    for (std::size_t k = 0; k < epd.size(); ++k) {
        // The position keeps its trailing blank in front of " bm ".
        const std::size_t bm = epd[k].find(" bm ");
        std::string operations = epd[k].substr(bm + 4);
        std::erase(operations, '"');
        EXPECT_EQ(listing.positions[k], epd[k].substr(0, bm) + "  bm " + operations) << k;
    }
    EXPECT_EQ(listing.score, "Score = " + std::to_string(listing.good) + " / 24");
    EXPECT_EQ(listing.badList, listing.ids);
    EXPECT_EQ(static_cast<int>(listing.ids.size()) + listing.good, 24);
    std::printf("bk.epd at 1 s: %s\n", listing.score.c_str());
}

TEST_F(SuiteProcessTest, BlankLinesAndBadFensCountInTheDenominator) {
    const std::string file = writeFile("mixed.epd", {kQueenMate, "", kBadFen});
    const Run result = run({"-testsuite", file, "0"}, 20000);
    EXPECT_EQ(result.status, 1);
    const Listing listing = parseListing(result.lines, file);
    ASSERT_EQ(listing.positions.size(), 2u);
    EXPECT_EQ(listing.good, 1);
    EXPECT_EQ(listing.score, "Score = 1 / 3");
    EXPECT_EQ(listing.badList, std::vector<std::string>{"broken"});
    // The engine's text has no check sign; it is found inside "Qd8+".
    EXPECT_NE(std::find(result.lines.begin(), result.lines.end(), "result => 'Qd8' : ok"), result.lines.end());
}

TEST_F(SuiteProcessTest, MalformedAndOversizedLinesNeitherOverrunNorStop) {
    const std::string longMoves(40, 'Q');
    const std::string longId(600, 'n');
    const std::string hugeComment(20000, 'x');
    const std::string file = writeFile(
        "odd.epd", {hugeComment, "6k1/5ppp/8/8/8/8/5PPP/3Q2K1 w - - bm " + longMoves + "; id \"" + longId + "\";",
                    "bm", "6k1/5ppp/8/8/8/8/5PPP/3Q2K1 w - - bm Qd8+", kQueenMate + std::string(5000, ' ')});
    const Run result = run({"-testsuite", file, "0"}, 30000);
    EXPECT_EQ(result.status, 1);
    const Listing listing = parseListing(result.lines, file);
    ASSERT_EQ(listing.positions.size(), 4u);
    EXPECT_EQ(listing.positions[0], "6k1/5ppp/8/8/8/8/5PPP/3Q2K1 w - -  bm " + longMoves.substr(0, 15) + "; id " +
                                        longId.substr(0, 255) + ";");
    EXPECT_EQ(listing.score, "Score = 2 / 5");  // the two intact Qd8+ cases
    ASSERT_EQ(listing.badList.size(), 2u);
    EXPECT_EQ(listing.badList[0], longId.substr(0, 255));
    EXPECT_EQ(listing.badList[1], "");
}

TEST_F(SuiteProcessTest, ClosedInputDoesNotStopTheSearches) {
    const std::string file = writeFile("one.epd", {kQueenMate});
    const Run result = run({"-testsuite", file, "1"}, 20000, true);
    EXPECT_EQ(result.status, 1);
    const Listing listing = parseListing(result.lines, file);
    EXPECT_EQ(listing.score, "Score = 1 / 1");
}

TEST_F(SuiteProcessTest, MissingFilePrintsNothing) {
    const Run result = run({"-testsuite", missingFile(), "0"}, 10000);
    EXPECT_TRUE(result.lines.empty());
    EXPECT_EQ(result.status, 0);
    const Run evalRun = run({"-evalsuite", missingFile()}, 10000);
    EXPECT_TRUE(evalRun.lines.empty());
    EXPECT_EQ(evalRun.status, 0);
}

TEST_F(SuiteProcessTest, EvalSuitePrintsNothing) {
    const std::string odd = writeFile("odd.epd", {kQueenMate, "", kBadFen, "bm", std::string(5000, 'b') + "m"});
    for (const std::string& file : {test::testDataPath("bk.epd"), odd}) {
        const Run result = run({"-evalsuite", file}, 20000);
        EXPECT_TRUE(result.lines.empty()) << file;
        EXPECT_EQ(result.status, 1) << file;
    }
}

}  // namespace
}  // namespace tarvok
