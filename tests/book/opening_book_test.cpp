// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/opening_book.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "board/bitboard.h"
#include "board/movegen.h"

namespace tarvok {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// Builds a book file from its fields, for files saveBook would never write.
struct FileBuilder {
    Bytes bytes{'B', 'O', 'O', 'K', 1, 0, 1, 0};
    explicit FileBuilder(uint32_t nodeCount) { word(nodeCount); }
    void word(uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
    void node(HashKey key, uint32_t moveCount) {
        word(static_cast<uint32_t>(key));
        word(static_cast<uint32_t>(key >> 32));
        word(moveCount);
    }
    void move(Move move, uint32_t games) {
        word(move);
        word(games);
        bytes.insert(bytes.end(), {static_cast<unsigned char>(games + 1), static_cast<unsigned char>(games + 2)});
    }
};

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
    EXPECT_EQ(readFile(path("a")), (Bytes{'B', 'O', 'O', 'K', 1, 0, 1, 0, 0, 0, 0, 0}));
    book.addBookMove(5, 6, 7, 8, 9);
    ASSERT_EQ(book.loadBook(path("a").c_str()), 1);  // an empty file empties the book
    EXPECT_TRUE(book.nodes().empty());

    book.addBookMove(0x1122334455667788ull, 0xA1B2C3D4u, 0x01020304u, 55, 45);
    ASSERT_EQ(book.saveBook(path("a").c_str()), 1);
    const Bytes expected{'B',  'O',  'O',  'K',  1,    0,    1,    0,    1,    0,    0,    0,
                         0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11, 1,    0,    0,    0,
                         0xD4, 0xC3, 0xB2, 0xA1, 0x04, 0x03, 0x02, 0x01, 55,   45};
    EXPECT_EQ(readFile(path("a")), expected);
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
    std::string text;
    for (const BookNode& node : nodes) {
        text += std::to_string(node.key) + ":";
        for (uint32_t m = 0; m < node.nodeMoveCount; ++m) {
            const BookMove& x = node.moves[m];
            text += " " + std::to_string(x.move) + "/" + std::to_string(x.games) + "/" +
                    std::to_string(x.whiteWinPercent) + "/" + std::to_string(x.blackWinPercent);
        }
        text += "\n";
    }
    return text;
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
        if (i > 0) {
            EXPECT_LT(nodes[i - 1].key, nodes[i].key);
        }
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
    EXPECT_EQ(readFile(path("a")).size(), 12 + nodes.size() * 12 + moves * 10);
    EXPECT_EQ(readFile(path("a")), readFile(path("b")));

    // Equal games follow the exchange sort: 1, 2 (a), 2 (b), 3 give 3, 2 (b), 2 (a), 1.
    OpeningBook ties;
    const uint32_t games[] = {1, 2, 2, 3};
    for (uint32_t i = 0; i < 4; ++i) ties.addBookMove(42, 100 * (i + 1), games[i], 0, 0);
    ASSERT_EQ(ties.saveBook(path("b").c_str()), 1);
    EXPECT_EQ(describe(ties.nodes()), "42: 400/3/0/0 300/2/0/0 200/2/0/0 100/1/0/0\n");
    EXPECT_EQ(ties.findNode(41), nullptr);
}

TEST_F(OpeningBookFile, LoadingKeepsFirstRecordsAndRejectsBrokenFiles) {
    FileBuilder file(3);
    file.bytes[4] = 0x77;  // the version is not examined
    file.node(9, 2);
    file.move(1000, 7);
    file.move(1000, 99);  // same move again in the node
    file.node(9, 17);     // same key again, with 17 more moves
    file.move(1000, 55);
    for (Move m = 1; m <= 16; ++m) file.move(m, m);
    file.node(3, 1);
    file.move(5, 1);
    writeFile(path("a"), file.bytes);
    ASSERT_EQ(book.loadBook(path("a").c_str()), 1);
    // File order is kept on load; move 16 was the 17th distinct one.
    EXPECT_EQ(describe(book.nodes()), "9: 1000/7/8/9 1/1/2/3 2/2/3/4 3/3/4/5 4/4/5/6 5/5/6/7 6/6/7/8 7/7/8/9 "
                                      "8/8/9/10 9/9/10/11 10/10/11/12 11/11/12/13 12/12/13/14 13/13/14/15 "
                                      "14/14/15/16 15/15/16/17\n3: 5/1/2/3\n");

    // Cut short anywhere, a wrong magic, a count far beyond the records, a
    // missing file: rejected, and the book is left empty.
    const Bytes whole = file.bytes;
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        Bytes damaged(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        if (length == whole.size()) damaged[3] = 'X';
        writeFile(path("b"), damaged);
        book.addBookMove(1, 2, 3, 0, 0);
        EXPECT_EQ(book.loadBook(path("b").c_str()), 0) << length;
        EXPECT_TRUE(book.nodes().empty()) << length;
    }
    FileBuilder boast(0xFFFFFFFFu);
    boast.node(1, 0xFFFFFFFFu);
    boast.move(2, 3);
    writeFile(path("b"), boast.bytes);
    EXPECT_EQ(book.loadBook(path("b").c_str()), 0);
    EXPECT_TRUE(book.nodes().empty());
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

constexpr int E1 = 4, G1 = 6, D2 = 11, E2 = 12, F3 = 21, D4 = 27, E4 = 28, E5 = 36;

// The generated move from one square to another in the board's position.
Move generated(Board& board, int from, int to) {
    MoveList list;
    const int count = generateAll(board, list, 0, isInCheck(board, static_cast<int>(board.side)));
    for (int i = 0; i < count; ++i)
        if (moveFrom(list.entries[i].move) == from && moveTo(list.entries[i].move) == to) return list.entries[i].move;
    return NO_MOVE;
}

// How often each move is chosen in draws tries.
std::vector<int> chosen(const OpeningBook& book, Board& board, const std::vector<Move>& moves, int draws) {
    MoveList scratch;
    std::vector<int> counts(moves.size() + 1, 0);  // the last one counts anything else
    for (int i = 0; i < draws; ++i) {
        const Move move = book.chooseBookMove(board, scratch);
        ++counts[static_cast<std::size_t>(std::find(moves.begin(), moves.end(), move) - moves.begin())];
    }
    return counts;
}

TEST(OpeningBookChoice, WeightsByGamesAmongLegalMovesOnly) {
    initAttackTables();
    Board board;
    board.setStartArray();
    const HashKey start = board.hashKey;
    const Move kingPawn = generated(board, E2, E4), queenPawn = generated(board, D2, D4);
    const Move knight = generated(board, G1, F3);
    OpeningBook book;
    EXPECT_EQ(chosen(book, board, {NO_MOVE}, 5), (std::vector<int>{5, 0}));  // empty book
    // Zero weights are never drawn and divide by nothing.
    book.addBookMove(start, queenPawn, 0, 0, 0);
    EXPECT_EQ(chosen(book, board, {NO_MOVE}, 5), (std::vector<int>{5, 0}));
    // A pawn jump of three squares and a castling move through pieces are never chosen.
    book.addBookMove(start, makeMoveWord(E2, E5, PAWN), 1000, 0, 0);
    book.addBookMove(start, makeMoveWord(E1, G1, KING, 0, 0, MOVE_CASTLE), 1000, 0, 0);
    EXPECT_EQ(chosen(book, board, {NO_MOVE}, 5), (std::vector<int>{5, 0}));
    book.addBookMove(start, knight, 1, 0, 0);
    EXPECT_EQ(chosen(book, board, {knight}, 50), (std::vector<int>{50, 0}));
    // Weights three and one: about three to one.
    book.addBookMove(start, kingPawn, 3, 0, 0);
    std::srand(12345);
    const std::vector<int> counts = chosen(book, board, {kingPawn, knight}, 8000);
    EXPECT_NEAR(counts[0] / 8000.0, 0.75, 0.03);
    EXPECT_EQ(counts[2], 0);
    board.makeMove(knight);
    EXPECT_EQ(chosen(book, board, {NO_MOVE}, 5), (std::vector<int>{5, 0}));  // another key

    // A move of a pinned knight is refused; castling beside it is fine.
    ASSERT_EQ(board.setFromFen("4k3/8/8/8/1b6/8/3N4/4K2R w K - 0 1"), 1);
    const Move pinned = generated(board, D2, 26), castle = generated(board, E1, G1);
    ASSERT_TRUE(pinned != NO_MOVE && isCastle(castle));
    OpeningBook pin;
    pin.addBookMove(board.hashKey, pinned, 5, 0, 0);
    pin.addBookMove(board.hashKey, castle, 5, 0, 0);
    EXPECT_EQ(chosen(pin, board, {castle}, 50), (std::vector<int>{50, 0}));
    // In check, castling out of it is refused and the capture of the checker taken.
    ASSERT_EQ(board.setFromFen("4k3/8/8/8/8/8/4r3/R3K3 w Q - 0 1"), 1);
    OpeningBook check;
    check.addBookMove(board.hashKey, makeMoveWord(E1, 2, KING, 0, 0, MOVE_CASTLE), 9, 0, 0);
    check.addBookMove(board.hashKey, makeMoveWord(E1, E2, KING, ROOK), 1, 0, 0);
    EXPECT_EQ(chosen(check, board, {generated(board, E1, E2)}, 50), (std::vector<int>{50, 0}));
}

TEST(OpeningBookChoice, StoredWordIsMatchedBySquaresAndPromotion) {
    initAttackTables();
    Board board;
    MoveList scratch;
    // A castling word stored without its flag still yields the generator's move.
    ASSERT_EQ(board.setFromFen("4k3/8/8/8/8/8/8/4K2R w K - 0 1"), 1);
    OpeningBook castling;
    castling.addBookMove(board.hashKey, makeMoveWord(E1, G1, KING), 1, 0, 0);
    const Move castle = castling.chooseBookMove(board, scratch);
    EXPECT_TRUE(isCastle(castle));
    EXPECT_EQ(castle, generated(board, E1, G1));
    // Promotions differ only in the promotion piece.
    ASSERT_EQ(board.setFromFen("4k3/1P6/8/8/8/8/8/4K3 w - - 0 1"), 1);
    OpeningBook promotions;
    promotions.addBookMove(board.hashKey, makeMoveWord(49, 57, PAWN, 0, KNIGHT), 1, 0, 0);
    const Move chosenMove = promotions.chooseBookMove(board, scratch);
    EXPECT_EQ(movePromotion(chosenMove), KNIGHT);
    EXPECT_EQ(moveTo(chosenMove), 57);
}

}  // namespace
}  // namespace tarvok
