// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/opening_book.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "board/bitboard.h"
#include "board/movegen.h"

namespace tarvok {
namespace {

using Bytes = std::vector<unsigned char>;

std::string tempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("tarvok_book_" + std::to_string(getpid()) + "_" + name))
        .string();
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void appendWord(Bytes& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// Builds a book file from its fields, for files saveBook would never write.
struct FileBuilder {
    Bytes bytes{'B', 'O', 'O', 'K', 1, 0, 1, 0};
    explicit FileBuilder(uint32_t nodeCount) { appendWord(bytes, nodeCount); }
    void node(HashKey key, uint32_t moveCount) {
        appendWord(bytes, static_cast<uint32_t>(key));
        appendWord(bytes, static_cast<uint32_t>(key >> 32));
        appendWord(bytes, moveCount);
    }
    void move(Move move, uint32_t games, uint8_t white, uint8_t black) {
        appendWord(bytes, move);
        appendWord(bytes, games);
        bytes.push_back(white);
        bytes.push_back(black);
    }
};

class OpeningBookFile : public ::testing::Test {
   protected:
    void TearDown() override {
        for (const std::string& path : paths) std::remove(path.c_str());
    }
    std::string path(const std::string& name) {
        paths.push_back(tempPath(name));
        return paths.back();
    }
    std::vector<std::string> paths;
    OpeningBook book;
};

TEST_F(OpeningBookFile, EmptyBookIsTwelveBytes) {
    const std::string file = path("empty.bin");
    ASSERT_EQ(book.saveBook(file.c_str()), 1);
    EXPECT_EQ(readFile(file), (Bytes{'B', 'O', 'O', 'K', 1, 0, 1, 0, 0, 0, 0, 0}));
    book.addBookMove(5, 6, 7, 8, 9);
    ASSERT_EQ(book.loadBook(file.c_str()), 1);
    EXPECT_TRUE(book.nodes().empty());
}

TEST_F(OpeningBookFile, RecordsAreLittleEndianAndUnpadded) {
    book.addBookMove(0x1122334455667788ull, 0xA1B2C3D4u, 0x01020304u, 55, 45);
    const std::string file = path("layout.bin");
    ASSERT_EQ(book.saveBook(file.c_str()), 1);
    const Bytes expected{'B',  'O',  'O',  'K',  1,    0,    1,    0,    1,    0,    0,    0,
                         0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11, 1,    0,    0,    0,
                         0xD4, 0xC3, 0xB2, 0xA1, 0x04, 0x03, 0x02, 0x01, 55,   45};
    EXPECT_EQ(readFile(file), expected);
}

TEST_F(OpeningBookFile, SaveSortsAndReloadedBookSavesIdentically) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 3000; ++i) {
        HashKey key = random() % 400;
        if (i % 3 == 0) key |= 0x8000000000000000ull;  // keys above 2^63 sort as unsigned
        book.addBookMove(key, static_cast<Move>(random() % 40 + 1), static_cast<uint32_t>(random() % 5),
                         static_cast<uint8_t>(random() % 101), static_cast<uint8_t>(random() % 101));
    }
    const std::string first = path("first.bin"), second = path("second.bin");
    ASSERT_EQ(book.saveBook(first.c_str()), 1);
    const std::vector<BookNode>& nodes = book.nodes();
    ASSERT_GT(nodes.size(), 500u);
    for (std::size_t i = 1; i < nodes.size(); ++i) ASSERT_LT(nodes[i - 1].key, nodes[i].key);
    for (const BookNode& node : nodes) {
        for (uint32_t m = 1; m < node.nodeMoveCount; ++m) ASSERT_GE(node.moves[m - 1].games, node.moves[m].games);
    }
    // The in-memory book stays sorted and its lookups still work.
    for (const BookNode& node : nodes) ASSERT_EQ(book.findNode(node.key), &node);

    OpeningBook reloaded;
    ASSERT_EQ(reloaded.loadBook(first.c_str()), 1);
    ASSERT_EQ(reloaded.saveBook(second.c_str()), 1);
    const Bytes firstBytes = readFile(first);
    EXPECT_EQ(firstBytes.size(), 12 + nodes.size() * 12 + [&] {
        std::size_t moves = 0;
        for (const BookNode& node : nodes) moves += node.nodeMoveCount;
        return moves * 10;
    }());
    EXPECT_EQ(firstBytes, readFile(second));
}

TEST_F(OpeningBookFile, EqualGamesFollowTheExchangeSortOrder) {
    // games 1, 2 (a), 2 (b), 3: the exchange sort yields 3, 2 (b), 2 (a), 1.
    book.addBookMove(42, 100, 1, 0, 0);
    book.addBookMove(42, 200, 2, 0, 0);
    book.addBookMove(42, 300, 2, 0, 0);
    book.addBookMove(42, 400, 3, 0, 0);
    ASSERT_EQ(book.saveBook(path("ties.bin").c_str()), 1);
    const BookNode& node = book.nodes()[0];
    ASSERT_EQ(node.nodeMoveCount, 4u);
    EXPECT_EQ(node.moves[0].move, 400u);
    EXPECT_EQ(node.moves[1].move, 300u);
    EXPECT_EQ(node.moves[2].move, 200u);
    EXPECT_EQ(node.moves[3].move, 100u);
}

TEST_F(OpeningBookFile, FirstRecordOfAMoveWinsAndNodesHoldSixteenMoves) {
    FileBuilder file(3);
    file.bytes[4] = 0x77;  // the version is not examined
    file.node(9, 2);
    file.move(1000, 7, 60, 30);
    file.move(1000, 99, 1, 2);  // same move again in the node
    file.node(9, 17);           // same key again, with 17 more moves
    file.move(1000, 55, 5, 5);
    for (Move m = 1; m <= 16; ++m) file.move(m, m, 0, 0);
    file.node(3, 1);
    file.move(5, 1, 0, 0);
    const std::string name = path("duplicates.bin");
    writeFile(name, file.bytes);

    ASSERT_EQ(book.loadBook(name.c_str()), 1);
    ASSERT_EQ(book.nodes().size(), 2u);
    const BookNode& merged = book.nodes()[0];  // file order is kept on load
    EXPECT_EQ(merged.key, 9u);
    ASSERT_EQ(merged.nodeMoveCount, 16u);
    EXPECT_EQ(merged.moves[0].move, 1000u);
    EXPECT_EQ(merged.moves[0].games, 7u);
    EXPECT_EQ(merged.moves[0].whiteWinPercent, 60);
    EXPECT_EQ(merged.moves[0].blackWinPercent, 30);
    EXPECT_EQ(merged.moves[15].move, 15u);  // move 16 was the 17th distinct one
    EXPECT_EQ(book.nodes()[1].key, 3u);
    EXPECT_EQ(book.nodes()[1].nodeMoveCount, 1u);
}

TEST_F(OpeningBookFile, WrongMagicOrMissingFileLeavesTheBookEmpty) {
    FileBuilder file(1);
    file.node(1, 1);
    file.move(2, 3, 0, 0);
    file.bytes[3] = 'X';
    const std::string name = path("magic.bin");
    writeFile(name, file.bytes);
    book.addBookMove(1, 2, 3, 0, 0);
    EXPECT_EQ(book.loadBook(name.c_str()), 0);
    EXPECT_TRUE(book.nodes().empty());

    writeFile(name, Bytes{'B', 'O'});
    EXPECT_EQ(book.loadBook(name.c_str()), 0);
    book.addBookMove(1, 2, 3, 0, 0);
    EXPECT_EQ(book.loadBook(path("does_not_exist.bin").c_str()), 0);
    EXPECT_TRUE(book.nodes().empty());
    EXPECT_EQ(book.loadBook(nullptr), 0);
}

TEST_F(OpeningBookFile, FileCutShortAnywhereIsRejectedWithoutInventedEntries) {
    for (HashKey key = 1; key <= 4; ++key)
        for (Move m = 1; m <= key; ++m) book.addBookMove(key << 40, m, m, 1, 1);
    const std::string whole = path("whole.bin"), cut = path("cut.bin");
    ASSERT_EQ(book.saveBook(whole.c_str()), 1);
    const Bytes bytes = readFile(whole);
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        writeFile(cut, Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)));
        OpeningBook damaged;
        EXPECT_EQ(damaged.loadBook(cut.c_str()), 0) << length;
        EXPECT_TRUE(damaged.nodes().empty()) << length;
    }
    // A count far beyond the records present is cut short too.
    FileBuilder boast(0xFFFFFFFFu);
    boast.node(1, 0xFFFFFFFFu);
    boast.move(2, 3, 0, 0);
    writeFile(cut, boast.bytes);
    EXPECT_EQ(book.loadBook(cut.c_str()), 0);
    EXPECT_TRUE(book.nodes().empty());
}

TEST_F(OpeningBookFile, SaveToAnUncreatableFileFailsAndKeepsTheBook) {
    book.addBookMove(50, 1, 1, 0, 0);
    book.addBookMove(10, 1, 1, 0, 0);
    EXPECT_EQ(book.saveBook("/nonexistent-directory/tarvok/book.bin"), 0);
    ASSERT_EQ(book.nodes().size(), 2u);
    EXPECT_EQ(book.nodes()[0].key, 50u);  // not sorted
    EXPECT_EQ(book.saveBook(nullptr), 0);
}

// The merge rule written the plain way: scan the nodes from the start.
void addByLinearScan(std::vector<BookNode>& nodes, HashKey key, Move move, uint32_t games, uint8_t white,
                     uint8_t black) {
    std::size_t i = 0;
    while (i < nodes.size() && nodes[i].key != key) ++i;
    if (i == nodes.size()) {
        BookNode fresh{};
        fresh.key = key;
        nodes.push_back(fresh);
    }
    BookNode& node = nodes[i];
    for (uint32_t m = 0; m < node.nodeMoveCount; ++m)
        if (node.moves[m].move == move) return;
    if (node.nodeMoveCount == kMaxBookMoves) return;
    node.moves[node.nodeMoveCount++] = BookMove{move, games, white, black};
}

bool sameNodes(const std::vector<BookNode>& a, const std::vector<BookNode>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].key != b[i].key || a[i].nodeMoveCount != b[i].nodeMoveCount) return false;
        for (uint32_t m = 0; m < a[i].nodeMoveCount; ++m) {
            const BookMove &x = a[i].moves[m], &y = b[i].moves[m];
            if (x.move != y.move || x.games != y.games || x.whiteWinPercent != y.whiteWinPercent ||
                x.blackWinPercent != y.blackWinPercent)
                return false;
        }
    }
    return true;
}

TEST_F(OpeningBookFile, KeyIndexMatchesTheLinearScan) {
    std::mt19937_64 random(99);
    std::vector<BookNode> reference;
    for (int i = 0; i < 20000; ++i) {
        // Few keys and few moves: many duplicates and many full nodes.
        const HashKey key = random() % 700 * 0x9E3779B97F4A7C15ull;
        const Move move = static_cast<Move>(random() % 24);
        const auto games = static_cast<uint32_t>(random());
        const auto white = static_cast<uint8_t>(random()), black = static_cast<uint8_t>(random());
        book.addBookMove(key, move, games, white, black);
        addByLinearScan(reference, key, move, games, white, black);
        if (i == 10000) {
            // Sorting moves nodes around; the index must follow them.
            ASSERT_EQ(book.saveBook(path("midway.bin").c_str()), 1);
            reference = book.nodes();
        }
    }
    EXPECT_TRUE(sameNodes(book.nodes(), reference));
    book.clearBook();
    reference.clear();
    book.addBookMove(1, 2, 3, 4, 5);
    addByLinearScan(reference, 1, 2, 3, 4, 5);
    EXPECT_TRUE(sameNodes(book.nodes(), reference));
}

TEST_F(OpeningBookFile, BisectionFindsEveryNodeAndMissesCleanly) {
    EXPECT_EQ(book.findNode(0), nullptr);
    for (HashKey k = 1; k <= 101; ++k) book.addBookMove(k * 1000, 1, 1, 0, 0);
    ASSERT_EQ(book.saveBook(path("bisect.bin").c_str()), 1);
    const std::vector<BookNode>& nodes = book.nodes();
    EXPECT_EQ(book.findNode(1000), &nodes.front());
    EXPECT_EQ(book.findNode(101000), &nodes.back());
    for (const BookNode& node : nodes) EXPECT_EQ(book.findNode(node.key), &node);
    EXPECT_EQ(book.findNode(0), nullptr);
    EXPECT_EQ(book.findNode(999), nullptr);
    EXPECT_EQ(book.findNode(50500), nullptr);
    EXPECT_EQ(book.findNode(101001), nullptr);
    EXPECT_EQ(book.findNode(~HashKey{0}), nullptr);

    OpeningBook single;
    single.addBookMove(77, 1, 1, 0, 0);
    EXPECT_NE(single.findNode(77), nullptr);
    EXPECT_EQ(single.findNode(76), nullptr);
    EXPECT_EQ(single.findNode(78), nullptr);
}

class OpeningBookChoice : public ::testing::Test {
   protected:
    static void SetUpTestSuite() { initAttackTables(); }
    void SetUp() override {
        board = std::make_unique<Board>();
        list = std::make_unique<MoveList>();
        board->setStartArray();
    }
    // The generated move from one square to another in the current position.
    Move generated(int from, int to) {
        const int count = generateAll(*board, *list, 0, isInCheck(*board, static_cast<int>(board->side)));
        for (int i = 0; i < count; ++i)
            if (moveFrom(list->entries[i].move) == from && moveTo(list->entries[i].move) == to)
                return list->entries[i].move;
        return NO_MOVE;
    }
    Move choose() { return book.chooseBookMove(*board, *list); }

    std::unique_ptr<Board> board;
    std::unique_ptr<MoveList> list;
    OpeningBook book;
};

constexpr int E2 = 12, E4 = 28, E5 = 36, D2 = 11, D4 = 27, G1 = 6, F3 = 21, E1 = 4;

TEST_F(OpeningBookChoice, WeightsThreeAndOneDrawAboutThreeToOne) {
    const Move kingPawn = generated(E2, E4), queenPawn = generated(D2, D4);
    ASSERT_NE(kingPawn, NO_MOVE);
    book.addBookMove(board->hashKey, kingPawn, 3, 0, 0);
    book.addBookMove(board->hashKey, queenPawn, 1, 0, 0);
    std::srand(12345);
    int kingPawnCount = 0;
    const int draws = 8000;
    for (int i = 0; i < draws; ++i) {
        const Move move = choose();
        ASSERT_TRUE(move == kingPawn || move == queenPawn);
        kingPawnCount += move == kingPawn;
    }
    EXPECT_NEAR(static_cast<double>(kingPawnCount) / draws, 0.75, 0.03);
}

TEST_F(OpeningBookChoice, SingleMoveNodeAndMisses) {
    const Move knight = generated(G1, F3);
    EXPECT_EQ(choose(), NO_MOVE);  // empty book
    book.addBookMove(board->hashKey, knight, 1, 0, 0);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(choose(), knight);
    board->makeMove(knight);
    EXPECT_EQ(choose(), NO_MOVE);  // another key
}

TEST_F(OpeningBookChoice, ZeroWeightsNeverDrawAndNeverDivideByZero) {
    const Move kingPawn = generated(E2, E4), queenPawn = generated(D2, D4), knight = generated(G1, F3);
    book.addBookMove(board->hashKey, kingPawn, 0, 0, 0);
    book.addBookMove(board->hashKey, queenPawn, 0, 0, 0);
    EXPECT_EQ(choose(), NO_MOVE);
    book.addBookMove(board->hashKey, knight, 2, 0, 0);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(choose(), knight);
}

TEST_F(OpeningBookChoice, MovesIllegalHereAreNeverReturned) {
    const HashKey start = board->hashKey;
    const Move knight = generated(G1, F3);
    // A pawn jump of three squares and a castling move through pieces.
    book.addBookMove(start, makeMoveWord(E2, E5, PAWN), 1000, 0, 0);
    book.addBookMove(start, makeMoveWord(E1, G1, KING, 0, 0, MOVE_CASTLE), 1000, 0, 0);
    EXPECT_EQ(choose(), NO_MOVE);
    book.addBookMove(start, knight, 1, 0, 0);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(choose(), knight);

    // A move of a pinned knight is refused; castling beside it is fine.
    ASSERT_EQ(board->setFromFen("4k3/8/8/8/1b6/8/3N4/4K2R w K - 0 1"), 1);
    const Move pinnedKnight = generated(11, 26), castle = generated(E1, G1);
    ASSERT_NE(pinnedKnight, NO_MOVE);
    ASSERT_TRUE(isCastle(castle));
    OpeningBook pinned;
    pinned.addBookMove(board->hashKey, pinnedKnight, 5, 0, 0);
    pinned.addBookMove(board->hashKey, castle, 5, 0, 0);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(pinned.chooseBookMove(*board, *list), castle);

    // In check, castling out of it is refused and the capture of the checker taken.
    ASSERT_EQ(board->setFromFen("4k3/8/8/8/8/8/4r3/R3K3 w Q - 0 1"), 1);
    OpeningBook check;
    check.addBookMove(board->hashKey, makeMoveWord(E1, 2, KING, 0, 0, MOVE_CASTLE), 9, 0, 0);
    check.addBookMove(board->hashKey, makeMoveWord(E1, E2, KING, ROOK), 1, 0, 0);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(moveTo(check.chooseBookMove(*board, *list)), E2);
}

TEST_F(OpeningBookChoice, StoredWordIsMatchedBySquaresAndPromotion) {
    // A castling word stored without its flag still yields the generator's move.
    ASSERT_EQ(board->setFromFen("4k3/8/8/8/8/8/8/4K2R w K - 0 1"), 1);
    const Move castle = generated(E1, 6);
    ASSERT_TRUE(isCastle(castle));
    book.addBookMove(board->hashKey, makeMoveWord(E1, 6, KING), 1, 0, 0);
    EXPECT_EQ(choose(), castle);

    // Promotions differ only in the promotion piece.
    ASSERT_EQ(board->setFromFen("4k3/1P6/8/8/8/8/8/4K3 w - - 0 1"), 1);
    OpeningBook promotions;
    promotions.addBookMove(board->hashKey, makeMoveWord(49, 57, PAWN, 0, KNIGHT), 1, 0, 0);
    const Move chosen = promotions.chooseBookMove(*board, *list);
    EXPECT_EQ(movePromotion(chosen), KNIGHT);
    EXPECT_EQ(moveTo(chosen), 57);
}

}  // namespace
}  // namespace tarvok
