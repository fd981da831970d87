// SPDX-License-Identifier: GPL-3.0-or-later
// The book builder: hand-worked cases, byte equality with a literal builder
// kept here, running out of memory, piped games, and -buildbook as a process.
#include "book/book_builder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "board/move_text.h"
#include "board/movegen.h"
#include "book/opening_book.h"
#include "book/pgn_reader.h"
#include "book/san.h"
#include "frontend/protocol_engine.h"
#include "test_support/allocation_budget.h"
#include "test_support/child_process.h"
#include "test_support/data_files.h"
#include "test_support/table_text.h"

namespace tarvok {
namespace {

using test::fileBytes;

class BookBuilderTest : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_FALSE(dir.empty());
        engine = std::make_unique<ProtocolEngine>();
        engine->setHashSize(2);
        engine->setStartPosition();
        openingBook.clearBook();
    }
    void TearDown() override { openingBook.clearBook(); }
    std::string write(const std::string& name, const std::string& text) {
        test::writeBytes(dir + "/" + name, text);
        return dir + "/" + name;
    }
    // The book entry after the coordinate moves played, as "move games white% black%", or "move -".
    std::string entry(const std::string& played, const std::string& move) {
        engine->setStartPosition();
        std::istringstream moves(played);
        for (std::string text; moves >> text;) EXPECT_TRUE(engine->playMoveText(text.c_str())) << text;
        const BookNode* node = openingBook.findNode(engine->board.hashKey);
        const Move wanted = findMoveText(engine->board, engine->scratchMoveList, move.c_str());
        std::ostringstream text;
        for (uint32_t i = 0; node != nullptr && i < node->nodeMoveCount; ++i)
            if (const BookMove& m = node->moves[i]; m.move == wanted)
                text << " " << m.games << " " << +m.whiteWinPercent << " " << +m.blackWinPercent;
        return move + (text.str().empty() ? " -" : text.str());
    }
    test::TempDir tempDir;
    const std::string dir = tempDir.path();
    std::unique_ptr<ProtocolEngine> engine;
};

TEST_F(BookBuilderTest, HandWorkedCases) {
    const auto rows = test::readTable("book/builder_cases.txt");
    ASSERT_EQ(rows.size(), 6u);
    for (const auto& row : rows) {
        const std::string book = dir + "/book.bin", pgn = write("games.pgn", test::decodeText(row[2]));
        openingBook.clearBook();
        ASSERT_EQ(buildBook(*engine, pgn.c_str(), book.c_str(), std::stoi(row[0]), std::stoi(row[1])), 1) << row[2];
        ASSERT_EQ(openingBook.loadBook(book.c_str()), 1) << row[2];
        for (const std::string& expected : test::split(row[3], " / ")) {
            const std::size_t colon = expected.find(':');
            if (colon == std::string::npos)
                EXPECT_EQ("nodes " + std::to_string(openingBook.nodes().size()), expected) << row[2];
            else
                EXPECT_EQ(entry(expected.substr(0, colon), expected.substr(colon + 2, 4)), expected.substr(colon + 2))
                    << row[2] << " after " << expected.substr(0, colon);
        }
    }
    // An unreadable file writes no book.
    EXPECT_EQ(buildBook(*engine, (dir + "/missing.pgn").c_str(), (dir + "/none.bin").c_str(), 4, 1), 0);
    EXPECT_NE(access((dir + "/none.bin").c_str(), F_OK), 0);
}

void generate(Board& board, MoveList& list) {
    list.count = static_cast<uint32_t>(generateAll(board, list, 0, isInCheck(board, static_cast<int>(board.side))));
}

// The literal builder: every line looked up by scanning the table from its
// start, every line replayed in full from the starting position.
void literalBuild(SearchEngine& engine, const std::string& pgn, const std::string& book, int depth, int count) {
    struct Record {
        std::vector<std::string> tokens;
        uint32_t games, blackWins, whiteWins;
    };
    std::vector<Record> table;
    auto collect = [&](const PgnGame& game) {
        for (uint32_t n = 1; n <= game.moveCount; ++n) {
            const std::vector<std::string> prefix(game.moves, game.moves + n);
            auto found = std::find_if(table.begin(), table.end(), [&](auto& r) { return r.tokens == prefix; });
            if (found == table.end()) found = table.insert(table.end(), {prefix, 0, 0, 0});
            ++found->games;
            found->blackWins += game.blackWins;
            found->whiteWins += game.whiteWins;
        }
    };
    ASSERT_EQ(readPgnGames(pgn.c_str(), depth, collect), 1);
    for (const Record& record : table) {
        if (static_cast<int>(record.games) < count) continue;
        Board& board = engine.board;
        board.setStartArray();
        generate(board, engine.scratchMoveList);
        const auto white = static_cast<uint8_t>(record.whiteWins * 100 / record.games);
        const auto black = static_cast<uint8_t>(record.blackWins * 100 / record.games);
        for (const std::string& token : record.tokens) {
            Move move = NO_MOVE;
            if (!parseSan(board, engine.scratchMoveList, token.c_str(), move)) break;
            openingBook.addBookMove(board.hashKey, move, record.games, white, black);
            board.makeMove(move);
            generate(board, engine.scratchMoveList);
        }
    }
    openingBook.saveBook(book.c_str());
}

// Both builders must write byte-identical books, whatever the size of the
// indexed builder's line filter: a filter of 64 counters lets many single
// lines through to the exact count, the default one hardly any.
TEST_F(BookBuilderTest, IndexedAndLiteralBuildersWriteTheSameBytes) {
    // Random games over few moves per ply, so that openings repeat and reach
    // the same positions by different orders.
    const std::string games = fileBytes(test::testDataPath("book/random_games.pgn"));
    const std::vector<std::string> sets = test::split(games, "# set\n");
    ASSERT_EQ(sets.size(), 153u);
    const std::string pgn = dir + "/games.pgn", literal = dir + "/literal.bin", indexed = dir + "/indexed.bin";
    int nonEmpty = 0;
    for (int set = 1; set < 152; ++set) {
        // The last of these is large enough for the line index to grow.
        std::ofstream(pgn) << sets[static_cast<std::size_t>(set)];
        const int depth = set == 151 ? 14 : 2 + set % 9, count = 1 + set % 3;
        openingBook.clearBook();
        literalBuild(*engine, pgn, literal, depth, count);
        for (const std::size_t counters : {std::size_t{64}, std::size_t{0}}) {
            openingBook.clearBook();
            ASSERT_EQ(buildBook(*engine, pgn.c_str(), indexed.c_str(), depth, count, counters), 1);
            ASSERT_EQ(fileBytes(indexed), fileBytes(literal)) << "set " << set << ", filter " << counters;
        }
        nonEmpty += fileBytes(indexed).size() > 12;
    }
    EXPECT_GT(nonEmpty, 110);
    // Counts beyond the filter's counter range: one game repeated 300 times.
    std::string repeated;
    for (int copy = 0; copy < 300; ++copy) repeated += sets.back();
    std::ofstream(pgn) << repeated;
    for (const int count : {255, 256, 300, 301}) {
        openingBook.clearBook();
        literalBuild(*engine, pgn, literal, 8, count);
        openingBook.clearBook();
        ASSERT_EQ(buildBook(*engine, pgn.c_str(), indexed.c_str(), 8, count), 1);
        EXPECT_EQ(fileBytes(indexed), fileBytes(literal)) << "count " << count;
        EXPECT_EQ(fileBytes(indexed).size() > 12, count <= 300) << "count " << count;
    }
}

// Mended fault: wherever memory runs out, the builder says so, writes no book
// and keeps no half-built one; with enough memory it writes the book it
// writes unlimited.
TEST_F(BookBuilderTest, OutOfMemoryAnywhereWritesNoBook) {
    const std::string pgn = test::testDataPath("games.pgn");
    const std::string full = dir + "/full.bin", book = dir + "/book.bin";
    ASSERT_EQ(buildBook(*engine, pgn.c_str(), full.c_str(), 8, 2), 1);
    int failures = 0;
    // A small filter, so that the line table and the book take most of it.
    for (std::size_t limit = 0; limit < (std::size_t{1} << 30); limit += limit / 4 + 1024) {
        openingBook.clearBook();
        testing::internal::CaptureStdout();
        int built = 0;
        {
            test::AllocationBudget budget(limit);
            built = buildBook(*engine, pgn.c_str(), book.c_str(), 8, 2, 64);
        }
        const std::string output = testing::internal::GetCapturedStdout();
        if (built == 1) {
            EXPECT_EQ(output, "");
            EXPECT_EQ(fileBytes(book), fileBytes(full));
            break;
        }
        ++failures;
        EXPECT_EQ(output, "out of memory\n") << limit;
        EXPECT_TRUE(openingBook.nodes().empty()) << limit;
        EXPECT_NE(access(book.c_str(), F_OK), 0) << limit;
    }
    // Failures in the filter, the line table and the book itself.
    EXPECT_GE(failures, 10);
}

// A pipe cannot be read twice: it is copied to a temporary file for the two passes.
TEST_F(BookBuilderTest, PipedGamesBuildTheSameBookAsAFile) {
    const auto rows = test::readTable("book/builder_cases.txt");
    ASSERT_FALSE(rows.empty());
    const std::string games = test::decodeText(rows[0][2]);
    const std::string fifo = dir + "/games.fifo", fromFile = dir + "/file.bin", fromPipe = dir + "/pipe.bin";
    ASSERT_EQ(buildBook(*engine, write("games.pgn", games).c_str(), fromFile.c_str(), 2, 2), 1);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] { std::ofstream(fifo) << games; });
    openingBook.clearBook();
    EXPECT_EQ(buildBook(*engine, fifo.c_str(), fromPipe.c_str(), 2, 2), 1);
    writer.join();
    EXPECT_GT(fileBytes(fromFile).size(), 12u);
    EXPECT_EQ(fileBytes(fromPipe), fileBytes(fromFile));
}

// -buildbook writes the book, then waits for a protocol; the book then
// answers a UCI search at once with one of its moves, unless OwnBook is off;
// XBoard analysis never takes a book move.
TEST_F(BookBuilderTest, CommandLineBuildsABookThatAnswersUciWithoutSearching) {
    const std::string book = dir + "/book.bin";
    test::ChildProcess child;
    ASSERT_TRUE(child.start(TARVOK_BINARY, {"-buildbook", test::testDataPath("games.pgn"), book, "8", "2"}, dir));
    std::string line;
    ASSERT_TRUE(child.readLine(line, 20000));
    EXPECT_EQ(line, "Tarvok 1.4 (32 bits) by the Tarvok developers");
    for (const char* command : {"uci", "setoption name Book File value book.bin", "setoption name OwnBook value true",
                                "position startpos", "go movetime 20000"})
        child.writeLine(command);
    // Whether the search printed a line before its bestmove.
    auto searched = [&] {
        bool thought = false;
        while (child.readLine(line, 10000) && line.rfind("bestmove ", 0) != 0)
            thought |= line.rfind("info depth", 0) == 0;
        EXPECT_EQ(line.rfind("bestmove ", 0), 0u) << "no bestmove";
        return thought;
    };
    EXPECT_FALSE(searched());
    const std::string bookMove = line;
    // A root restriction is searched, never answered from the book.
    for (const char* command : {"position startpos", "go depth 1 searchmoves h2h3"}) child.writeLine(command);
    EXPECT_TRUE(searched());
    EXPECT_EQ(line, "bestmove h2h3");
    // With OwnBook off the same position is searched.
    for (const char* command : {"setoption name OwnBook value false", "position startpos", "go depth 1"})
        child.writeLine(command);
    EXPECT_TRUE(searched());
    line = bookMove;
    child.closeInput();
    EXPECT_EQ(child.waitExit(20000), 1);
    // XBoard analysis with the book switched on still analyses.
    write("tarvok.ini", "[Engine]\nHash=16\nBook=1\nBookFile=book.bin\n");
    test::ChildProcess analyser;
    ASSERT_TRUE(analyser.start(TARVOK_BINARY, {}, dir));
    for (const char* command : {"xboard", "post", "analyze"}) analyser.writeLine(command);
    std::string shown;
    while (analyser.readLine(shown, 10000) && !std::isdigit(static_cast<unsigned char>(shown[0])))
        EXPECT_NE(shown.rfind("move ", 0), 0u) << shown;
    EXPECT_TRUE(!shown.empty() && std::isdigit(static_cast<unsigned char>(shown[0]))) << "no analysis: " << shown;
    analyser.writeLine("exit");
    analyser.closeInput();
    EXPECT_EQ(analyser.waitExit(20000), 1);
    // The arguments reach the builder in their order.
    const std::string direct = dir + "/direct.bin";
    ASSERT_EQ(buildBook(*engine, test::testDataPath("games.pgn").c_str(), direct.c_str(), 8, 2), 1);
    EXPECT_EQ(fileBytes(book), fileBytes(direct));
    ASSERT_TRUE(openingBook.loadBook(book.c_str()));
    EXPECT_NE(entry("", line.substr(9, 4)), line.substr(9, 4) + " -") << line;
}

}  // namespace
}  // namespace tarvok
