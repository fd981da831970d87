// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/opening_book.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "board/bitboard.h"
#include "board/move_text.h"
#include "board/movegen.h"
#include "test_support/table_text.h"

namespace tarvok {
namespace {

// The bytes of a hex data file.
std::string hexFile(const std::string& name) {
    std::string bytes;
    for (const auto& row : test::readTable(name)) {
        std::istringstream hex(row[0]);
        for (unsigned value; hex >> std::hex >> value;) bytes += static_cast<char>(value);
    }
    return bytes;
}

class OpeningBookFile : public ::testing::Test {
   protected:
    void TearDown() override {
        for (const char* name : {"a", "b"}) std::remove(path(name).c_str());
    }
    static std::string path(const std::string& name) {
        return "/tmp/tarvok_book_" + std::to_string(getpid()) + "_" + name + ".bin";
    }
    OpeningBook book;
};

TEST_F(OpeningBookFile, FileLayoutIsLittleEndianAndUnpadded) {
    ASSERT_EQ(book.saveBook(path("a").c_str()), 1);
    EXPECT_EQ(test::fileBytes(path("a")), std::string("BOOK\x01\0\x01\0\0\0\0\0", 12));
    book.addBookMove(5, 6, 7, 8, 9);
    ASSERT_EQ(book.loadBook(path("a").c_str()), 1);  // an empty file empties the book
    EXPECT_TRUE(book.nodes().empty());
    book.addBookMove(0x1122334455667788ull, 0xA1B2C3D4u, 0x01020304u, 55, 45);
    ASSERT_EQ(book.saveBook(path("a").c_str()), 1);
    EXPECT_EQ(test::fileBytes(path("a")), hexFile("book/one_move_book.hex"));
}

// The merge rule written the plain way: scan the nodes from the start.
void addByLinearScan(std::vector<BookNode>& nodes, HashKey key, const BookMove& move) {
    std::size_t i = 0;
    while (i < nodes.size() && nodes[i].key != key) ++i;
    if (i == nodes.size()) nodes.push_back(BookNode{key, 0, {}});
    BookNode& node = nodes[i];
    for (uint32_t m = 0; m < node.nodeMoveCount; ++m)
        if (node.moves[m].move == move.move) return;
    if (node.nodeMoveCount < kMaxBookMoves) node.moves[node.nodeMoveCount++] = move;
}

std::string describe(const std::vector<BookNode>& nodes) {
    std::ostringstream text;
    for (const BookNode& node : nodes) {
        text << node.key << ":";
        for (const BookMove& x : std::span(node.moves, node.nodeMoveCount))
            text << " " << x.move << "/" << x.games << "/" << +x.whiteWinPercent << "/" << +x.blackWinPercent;
        text << "\n";
    }
    return text.str();
}

// Many duplicate keys and moves, full nodes, keys above 2^63: merging follows
// the plain rule, saving sorts keys (as unsigned) and moves (most games
// first), lookups follow the sorted nodes, and a reloaded book saves the
// same bytes.
TEST_F(OpeningBookFile, MergeSortLookupAndReloadAgree) {
    std::mt19937_64 random(99);
    std::vector<BookNode> reference;
    for (int i = 0; i < 20000; ++i) {
        const HashKey key = random() % 700 * 0x9E3779B97F4A7C15ull;
        const BookMove move{static_cast<Move>(random() % 24), static_cast<uint32_t>(random() % 5),
                            static_cast<uint8_t>(random()), static_cast<uint8_t>(random())};
        book.addBookMove(key, move.move, move.games, move.whiteWinPercent, move.blackWinPercent);
        addByLinearScan(reference, key, move);
        if (i == 10000) {
            // Sorting moves nodes around; the index must follow them.
            ASSERT_EQ(book.saveBook(path("a").c_str()), 1);
            reference = book.nodes();
        }
    }
    ASSERT_EQ(describe(book.nodes()), describe(reference));
    ASSERT_EQ(book.saveBook(path("a").c_str()), 1);
    const std::vector<BookNode>& nodes = book.nodes();
    std::size_t moves = 0;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_TRUE(i == 0 || nodes[i - 1].key < nodes[i].key) << i;
        for (uint32_t m = 1; m < nodes[i].nodeMoveCount; ++m)
            EXPECT_GE(nodes[i].moves[m - 1].games, nodes[i].moves[m].games);
        moves += nodes[i].nodeMoveCount;
        EXPECT_EQ(book.findNode(nodes[i].key), &nodes[i]);
        EXPECT_EQ(book.findNode(nodes[i].key + 1), nullptr);
        EXPECT_EQ(book.findNode(nodes[i].key - 1), nullptr);
    }
    EXPECT_EQ(book.findNode(~HashKey{0}), nullptr);
    OpeningBook reloaded;
    ASSERT_EQ(reloaded.loadBook(path("a").c_str()), 1);
    ASSERT_EQ(reloaded.saveBook(path("b").c_str()), 1);
    EXPECT_EQ(test::fileBytes(path("a")).size(), 12 + nodes.size() * 12 + moves * 10);
    EXPECT_EQ(test::fileBytes(path("a")), test::fileBytes(path("b")));

    // Equal games follow the exchange sort: 1, 2 (a), 2 (b), 3 give 3, 2 (b), 2 (a), 1.
    OpeningBook ties;
    EXPECT_EQ(ties.findNode(0), nullptr);
    const uint32_t games[] = {1, 2, 2, 3};
    for (uint32_t i = 0; i < 4; ++i) ties.addBookMove(42, 100 * (i + 1), games[i], 0, 0);
    ASSERT_EQ(ties.saveBook(path("b").c_str()), 1);
    EXPECT_EQ(describe(ties.nodes()), "42: 400/3/0/0 300/2/0/0 200/2/0/0 100/1/0/0\n");
    EXPECT_EQ(ties.findNode(41), nullptr);
}

TEST_F(OpeningBookFile, LoadingKeepsFirstRecordsAndRejectsBrokenFiles) {
    const std::string whole = hexFile("book/loaded_book.hex");
    test::writeBytes(path("a"), whole);
    ASSERT_EQ(book.loadBook(path("a").c_str()), 1);
    // File order is kept on load; move 16 was the 17th distinct one.
    EXPECT_EQ(describe(book.nodes()), "9: 1000/7/8/9 1/1/2/3 2/2/3/4 3/3/4/5 4/4/5/6 5/5/6/7 6/6/7/8 7/7/8/9 "
                                      "8/8/9/10 9/9/10/11 10/10/11/12 11/11/12/13 12/12/13/14 13/13/14/15 "
                                      "14/14/15/16 15/15/16/17\n3: 5/1/2/3\n");

    // Cut short anywhere, a wrong magic, a count far beyond the records, a
    // missing file: rejected, and the book is left empty.
    std::vector<std::string> broken{hexFile("book/boasting_book.hex"), "BOOX" + whole.substr(4)};
    for (std::size_t length = 0; length < whole.size(); ++length) broken.push_back(whole.substr(0, length));
    for (std::size_t i = 0; i < broken.size(); ++i) {
        const std::string name = i == 0 ? "boasting count" : i == 1 ? "wrong magic" : "cut at " + std::to_string(i - 2);
        test::writeBytes(path("b"), broken[i]);
        book.addBookMove(1, 2, 3, 0, 0);
        EXPECT_EQ(book.loadBook(path("b").c_str()), 0) << name;
        EXPECT_TRUE(book.nodes().empty()) << name;
    }
    book.addBookMove(1, 2, 3, 0, 0);
    EXPECT_EQ(book.loadBook("/nonexistent/book.bin"), 0);
    EXPECT_TRUE(book.nodes().empty());
    EXPECT_EQ(book.loadBook(nullptr), 0);

    // A file that cannot be created: no save, and the book stays unsorted.
    book.addBookMove(50, 1, 1, 0, 0);
    book.addBookMove(10, 1, 1, 0, 0);
    EXPECT_EQ(book.saveBook("/nonexistent-directory/tarvok/book.bin"), 0);
    EXPECT_EQ(describe(book.nodes()), "50: 1/1/0/0\n10: 1/1/0/0\n");
    EXPECT_EQ(book.saveBook(nullptr), 0);
}

// How often each of moves is chosen in draws tries; the last count is for any other answer.
std::vector<int> chosen(const OpeningBook& book, Board& board, const std::vector<Move>& moves, int draws = 50) {
    MoveList scratch;
    std::vector<int> counts(moves.size() + 1, 0);
    for (int i = 0; i < draws; ++i) {
        const Move move = book.chooseBookMove(board, scratch);
        ++counts[static_cast<std::size_t>(std::find(moves.begin(), moves.end(), move) - moves.begin())];
    }
    return counts;
}

TEST(OpeningBookChoice, WeightsByGamesAmongLegalMovesOnly) {
    initAttackTables();
    Board board;
    MoveList list;
    board.setStartArray();
    const HashKey start = board.hashKey;
    auto move = [&](const char* text) { return findMoveText(board, list, text); };
    const Move kingPawn = move("e2e4"), knight = move("g1f3");
    const std::vector<int> never{50, 0};
    OpeningBook book;
    EXPECT_EQ(chosen(book, board, {NO_MOVE}), never);  // empty book
    // Zero weights are never drawn and divide by nothing; a pawn jump of three
    // squares and a castling move through pieces are never chosen.
    book.addBookMove(start, move("d2d4"), 0, 0, 0);
    book.addBookMove(start, makeMoveWord(12, 36, PAWN), 1000, 0, 0);
    book.addBookMove(start, makeMoveWord(4, 6, KING, 0, 0, MOVE_CASTLE), 1000, 0, 0);
    EXPECT_EQ(chosen(book, board, {NO_MOVE}), never);
    book.addBookMove(start, knight, 1, 0, 0);
    EXPECT_EQ(chosen(book, board, {knight}), never);
    // Weights three and one: about three to one.
    book.addBookMove(start, kingPawn, 3, 0, 0);
    seedBookRandom(12345);
    const std::vector<int> counts = chosen(book, board, {kingPawn, knight}, 8000);
    EXPECT_NEAR(counts[0] / 8000.0, 0.75, 0.03);
    EXPECT_EQ(counts[2], 0);
    // Weights past any C library's RAND_MAX (2^31 - 1 here, 32767 on Windows)
    // still split evenly: a draw from rand() % total never reaches the first half.
    OpeningBook heavy;
    heavy.addBookMove(start, kingPawn, 3000000000u, 0, 0);
    heavy.addBookMove(start, knight, 3000000000u, 0, 0);
    const std::vector<int> split = chosen(heavy, board, {kingPawn, knight}, 4000);
    EXPECT_NEAR(split[0] / 4000.0, 0.5, 0.04);
    board.makeMove(knight);
    EXPECT_EQ(chosen(book, board, {NO_MOVE}), never);  // another key

    // Position, stored moves with their games, the only move ever chosen.
    const char* cases[][3] = {
        // A pinned knight's move is refused; castling beside it is fine.
        {"4k3/8/8/8/1b6/8/3N4/4K2R w K - 0 1", "d2c4:5 e1g1:5", "e1g1"},
        // In check, castling out of it is refused and the capture of the checker taken.
        {"4k3/8/8/8/8/8/4r3/R3K3 w Q - 0 1", "e1c1!:9 e1e2:1", "e1e2"},
        // Stored words are matched by squares and promotion piece.
        {"4k3/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1-:1", "e1g1"},
        {"4k3/1P6/8/8/8/8/8/4K3 w - - 0 1", "b7b8n:1", "b7b8n"},
    };
    for (const auto& [fen, stored, answer] : cases) {
        ASSERT_EQ(board.setFromFen(fen), 1) << fen;
        OpeningBook small;
        std::istringstream entries(stored);
        for (std::string entry; entries >> entry;) {
            const std::size_t colon = entry.find(':');
            // "!" and "-" store a king word with and without the castling flag, "n" a bare knight promotion.
            const int from = makeSquare(entry[0] - 'a', entry[1] - '1');
            const int to = makeSquare(entry[2] - 'a', entry[3] - '1');
            const int flag = entry[4] == '!' ? MOVE_CASTLE : 0;
            const Move word = entry[4] == '!' || entry[4] == '-' ? makeMoveWord(from, to, KING, 0, 0, flag)
                              : entry[4] == 'n'                  ? makeMoveWord(from, to, PAWN, 0, KNIGHT)
                                                                 : move(entry.substr(0, colon).c_str());
            ASSERT_NE(word, NO_MOVE) << entry;
            small.addBookMove(board.hashKey, word, static_cast<uint32_t>(std::stoul(entry.substr(colon + 1))), 0, 0);
        }
        EXPECT_EQ(chosen(small, board, {move(answer)}), never) << fen;
    }
}

}  // namespace
}  // namespace tarvok
