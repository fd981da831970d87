// SPDX-License-Identifier: GPL-3.0-or-later
// The book builder: which lines enter the book, with which counts, and the
// -buildbook mode as a process.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#include "board/move_text.h"
#include "book/book_builder.h"
#include "book/opening_book.h"
#include "frontend/protocol_engine.h"
#include "test_support/allocation_budget.h"
#include "test_support/child_process.h"

namespace tarvok {
namespace {

class BookBuilderTest : public ::testing::Test {
   protected:
    void SetUp() override {
        char pattern[] = "/tmp/tarvok_builder_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
        engine_ = std::make_unique<ProtocolEngine>();
        engine_->setHashSize(2);
        engine_->setStartPosition();
        openingBook.clearBook();
    }
    void TearDown() override {
        openingBook.clearBook();
        std::string command = "rm -rf " + directory_;
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    std::string writePgn(const std::string& text) {
        const std::string path = directory_ + "/games.pgn";
        std::ofstream(path) << text;
        return path;
    }
    // The book entry for the move text played after the given moves.
    const BookMove* entryAfter(std::initializer_list<const char*> moves, const char* move) {
        engine_->setStartPosition();
        for (const char* played : moves) EXPECT_TRUE(engine_->playMoveText(played)) << played;
        const BookNode* node = openingBook.findNode(engine_->board.hashKey);
        const Move wanted = findMoveText(engine_->board, engine_->scratchMoveList, move);
        if (node == nullptr) return nullptr;
        for (uint32_t i = 0; i < node->nodeMoveCount; ++i)
            if (node->moves[i].move == wanted) return &node->moves[i];
        return nullptr;
    }
    static std::string bytesOf(const std::string& name) {
        std::ifstream file(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    std::string directory_;
    std::unique_ptr<ProtocolEngine> engine_;
};

constexpr const char* kTwoGames =
    "[Event \"a\"]\n[Result \"1-0\"]\n\n1. e4 e5 2. Nf3 Nc6 1-0\n\n"
    "[Event \"b\"]\n[Result \"1/2-1/2\"]\n\n1. e4 e5 2. Bc4 Bc5 1/2-1/2\n";

TEST_F(BookBuilderTest, SharedPrefixEntersWithItsGamesAndPercentages) {
    const std::string book = directory_ + "/book.bin";
    ASSERT_EQ(buildBook(*engine_, writePgn(kTwoGames).c_str(), book.c_str(), 2, 1), 1);
    ASSERT_TRUE(openingBook.loadBook(book.c_str()));
    const BookMove* e4 = entryAfter({}, "e2e4");
    ASSERT_NE(e4, nullptr);
    EXPECT_EQ(e4->games, 2u);
    EXPECT_EQ(e4->whiteWinPercent, 50);
    EXPECT_EQ(e4->blackWinPercent, 0);
    const BookMove* e5 = entryAfter({"e2e4"}, "e7e5");
    ASSERT_NE(e5, nullptr);
    EXPECT_EQ(e5->games, 2u);
    EXPECT_EQ(e5->whiteWinPercent, 50);
    EXPECT_EQ(openingBook.nodes().size(), 2u);  // depth 2: nothing after 1...e5
}

TEST_F(BookBuilderTest, LinesBelowTheCountAddNothing) {
    const std::string book = directory_ + "/book.bin";
    ASSERT_EQ(buildBook(*engine_, writePgn(kTwoGames).c_str(), book.c_str(), 4, 2), 1);
    ASSERT_TRUE(openingBook.loadBook(book.c_str()));
    EXPECT_NE(entryAfter({"e2e4"}, "e7e5"), nullptr);
    // 2. Nf3 and 2. Bc4 were each played once.
    EXPECT_EQ(entryAfter({"e2e4", "e7e5"}, "g1f3"), nullptr);
    EXPECT_EQ(entryAfter({"e2e4", "e7e5"}, "f1c4"), nullptr);
}

TEST_F(BookBuilderTest, ShortGamesAndEmptyFilesGiveAnEmptyBook) {
    const std::string book = directory_ + "/book.bin";
    // With depth 10 a game of nine plies contributes nothing.
    ASSERT_EQ(buildBook(*engine_, writePgn("[Result \"1-0\"]\n\n1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 4. Ba4 Nf6 5. O-O 1-0\n")
                                        .c_str(),
                        book.c_str(), 10, 1),
              1);
    std::ifstream file(book, std::ios::binary | std::ios::ate);
    EXPECT_EQ(static_cast<int>(file.tellg()), 12);
    ASSERT_EQ(buildBook(*engine_, writePgn("").c_str(), book.c_str(), 4, 1), 1);
    std::ifstream empty(book, std::ios::binary | std::ios::ate);
    EXPECT_EQ(static_cast<int>(empty.tellg()), 12);
}

TEST_F(BookBuilderTest, TranspositionsShareANodeAndKeepTheFirstCounts) {
    const std::string book = directory_ + "/book.bin";
    // Both orders reach one position after four plies and continue 3. Nc3;
    // the line seen first (one game, won by White) gives the counts.
    const std::string pgn =
        "[Result \"1-0\"]\n\n1. d4 Nf6 2. c4 e6 3. Nc3 1-0\n\n[Result \"0-1\"]\n\n1. c4 e6 2. d4 Nf6 3. Nc3 0-1\n\n"
        "[Result \"0-1\"]\n\n1. c4 e6 2. d4 Nf6 3. Nc3 0-1\n";
    ASSERT_EQ(buildBook(*engine_, writePgn(pgn).c_str(), book.c_str(), 5, 1), 1);
    ASSERT_TRUE(openingBook.loadBook(book.c_str()));
    const BookMove* first = entryAfter({"d2d4", "g8f6", "c2c4", "e7e6"}, "b1c3");
    const BookMove* second = entryAfter({"c2c4", "e7e6", "d2d4", "g8f6"}, "b1c3");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);  // one node, one entry
    EXPECT_EQ(first->games, 1u);
    EXPECT_EQ(first->whiteWinPercent, 100);
    // Lines of their own keep their own counts.
    const BookMove* c4 = entryAfter({}, "c2c4");
    ASSERT_NE(c4, nullptr);
    EXPECT_EQ(c4->games, 2u);
    EXPECT_EQ(c4->blackWinPercent, 100);
}

TEST_F(BookBuilderTest, RejectedTokenSkipsTheRestOfItsLine) {
    const std::string book = directory_ + "/book.bin";
    // 2. Qh9 names no square: nothing from that token on enters the book.
    const std::string pgn = "[Result \"1-0\"]\n\n1. e4 e5 2. Qh9 Nc6 3. Bc4 Nf6 1-0\n";
    ASSERT_EQ(buildBook(*engine_, writePgn(pgn).c_str(), book.c_str(), 6, 1), 1);
    ASSERT_TRUE(openingBook.loadBook(book.c_str()));
    EXPECT_NE(entryAfter({"e2e4"}, "e7e5"), nullptr);
    EXPECT_EQ(openingBook.nodes().size(), 2u);
}

TEST_F(BookBuilderTest, UnreadablePgnWritesNoBook) {
    const std::string book = directory_ + "/book.bin";
    EXPECT_EQ(buildBook(*engine_, (directory_ + "/missing.pgn").c_str(), book.c_str(), 4, 1), 0);
    EXPECT_NE(access(book.c_str(), F_OK), 0);
}

// Wherever memory runs out, the builder says so, writes no book and keeps no
// half-built one; with enough memory it writes the book it writes unlimited.
TEST_F(BookBuilderTest, OutOfMemoryAnywhereWritesNoBook) {
    const std::string pgn = std::string(TARVOK_TEST_DATA_DIR) + "/games.pgn";
    const std::string full = directory_ + "/full.bin", book = directory_ + "/book.bin";
    ASSERT_EQ(buildBook(*engine_, pgn.c_str(), full.c_str(), 8, 2), 1);
    int failures = 0;
    // A small filter, so that the line table and the book take most of it.
    for (std::size_t limit = 0; limit < (std::size_t{1} << 30); limit += limit / 4 + 1024) {
        openingBook.clearBook();
        testing::internal::CaptureStdout();
        int built = 0;
        {
            test::AllocationBudget budget(limit);
            built = buildBook(*engine_, pgn.c_str(), book.c_str(), 8, 2, 64);
        }
        const std::string output = testing::internal::GetCapturedStdout();
        if (built == 1) {
            EXPECT_EQ(output, "");
            EXPECT_EQ(bytesOf(book), bytesOf(full));
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
    const std::string fifo = directory_ + "/games.fifo";
    const std::string fromFile = directory_ + "/file.bin", fromPipe = directory_ + "/pipe.bin";
    ASSERT_EQ(buildBook(*engine_, writePgn(kTwoGames).c_str(), fromFile.c_str(), 2, 2), 1);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&fifo] { std::ofstream(fifo) << kTwoGames; });
    openingBook.clearBook();
    EXPECT_EQ(buildBook(*engine_, fifo.c_str(), fromPipe.c_str(), 2, 2), 1);
    writer.join();
    EXPECT_GT(bytesOf(fromFile).size(), 12u);
    EXPECT_EQ(bytesOf(fromPipe), bytesOf(fromFile));
}

TEST_F(BookBuilderTest, CommandLineBuildsTheBookThenWaitsForAProtocol) {
    const std::string book = directory_ + "/book.bin";
    test::ChildProcess child;
    ASSERT_TRUE(child.start(TARVOK_BINARY, {"-buildbook", writePgn(kTwoGames), book, "2", "1"}, directory_));
    std::string line;
    ASSERT_TRUE(child.readLine(line, 20000));
    EXPECT_EQ(line, "Tarvok 1.4 (32 bits) by the Tarvok developers");
    child.closeInput();
    EXPECT_EQ(child.waitExit(20000), 1);
    ASSERT_TRUE(openingBook.loadBook(book.c_str()));
    EXPECT_EQ(openingBook.nodes().size(), 2u);
}

TEST_F(BookBuilderTest, BuiltBookAnswersUciWithoutSearching) {
    const std::string book = directory_ + "/book.bin";
    const std::string pgn = directory_ + "/real.pgn";
    std::ifstream source(std::string(TARVOK_TEST_DATA_DIR) + "/games.pgn", std::ios::binary);
    std::ofstream(pgn, std::ios::binary) << source.rdbuf();
    test::ChildProcess child;
    ASSERT_TRUE(child.start(TARVOK_BINARY, {"-buildbook", pgn, book, "8", "2"}, directory_));
    std::string line;
    ASSERT_TRUE(child.readLine(line, 20000));
    EXPECT_EQ(line, "Tarvok 1.4 (32 bits) by the Tarvok developers");
    child.writeLine("uci");
    do {
        ASSERT_TRUE(child.readLine(line, 20000));
    } while (line != "uciok");
    child.writeLine("setoption name Book File value book.bin");
    child.writeLine("setoption name OwnBook value true");
    child.writeLine("position startpos");
    child.writeLine("go movetime 20000");
    bool searched = false;
    do {
        ASSERT_TRUE(child.readLine(line, 10000)) << "no answer from the book";
        if (line.rfind("info depth", 0) == 0) searched = true;
    } while (line.rfind("bestmove ", 0) != 0);
    EXPECT_FALSE(searched);
    // The answer is one of the book's moves for the starting position.
    ASSERT_TRUE(openingBook.loadBook(book.c_str()));
    engine_->setStartPosition();
    const BookNode* node = openingBook.findNode(engine_->board.hashKey);
    ASSERT_NE(node, nullptr);
    const Move answer = findMoveText(engine_->board, engine_->scratchMoveList, line.substr(9, 4).c_str());
    bool inBook = false;
    for (uint32_t i = 0; i < node->nodeMoveCount; ++i) inBook |= node->moves[i].move == answer;
    EXPECT_TRUE(inBook) << line;
    child.writeLine("quit");
    EXPECT_EQ(child.waitExit(20000), 1);
}

// The indexed line table must equal the plain table that looks every prefix
// up by scanning from its start: same records, same order, same counts.
TEST(BookBuilderLines, IndexedTableMatchesALinearScan) {
    struct PlainRecord {
        std::vector<std::string> tokens;
        uint32_t games, blackWins, whiteWins, draws;
    };
    std::vector<PlainRecord> plain;
    LineTable indexed;
    auto collect = [&](const PgnGame& game) {
        addGameLines(indexed, game);
        for (uint32_t n = 1; n <= game.moveCount; ++n) {
            std::vector<std::string> prefix(game.moves, game.moves + n);
            auto found = std::find_if(plain.begin(), plain.end(),
                                      [&](const PlainRecord& record) { return record.tokens == prefix; });
            if (found == plain.end()) {
                plain.push_back({prefix, 1, game.blackWins, game.whiteWins, game.draws});
            } else {
                ++found->games;
                found->blackWins += game.blackWins;
                found->whiteWins += game.whiteWins;
                found->draws += game.draws;
            }
        }
    };
    ASSERT_EQ(readPgnGames((std::string(TARVOK_TEST_DATA_DIR) + "/games.pgn").c_str(), 12, collect), 1);
    ASSERT_EQ(indexed.records.size(), plain.size());
    ASSERT_GT(plain.size(), 100u);
    for (size_t i = 0; i < plain.size(); ++i) {
        const LineRecord& record = indexed.records[i];
        std::vector<std::string> tokens;
        for (const LineRecord* line = &record; line != nullptr;
             line = line->parent >= 0 ? &indexed.records[static_cast<size_t>(line->parent)] : nullptr)
            tokens.insert(tokens.begin(), line->token);
        EXPECT_EQ(tokens, plain[i].tokens) << i;
        EXPECT_EQ(record.moveCount, plain[i].tokens.size());
        EXPECT_EQ(record.games, plain[i].games);
        EXPECT_EQ(record.whiteWins, plain[i].whiteWins);
        EXPECT_EQ(record.blackWins, plain[i].blackWins);
        EXPECT_EQ(record.draws, plain[i].draws);
    }
}

}  // namespace
}  // namespace tarvok
