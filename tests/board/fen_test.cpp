// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing FEN over the tables in fen.txt and makemove.txt, what a
// rejection leaves behind, round trips over the data files, the colour
// mirror and its bounds, and a fuzz of mutated texts.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "board/board_test_helpers.h"
#include "board/movegen.h"
#include "test_support/board_compare.h"
#include "test_support/data_files.h"

namespace tarvok::test {
namespace {

constexpr const char* kStartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

class FenTest : public BoardTest {
   protected:
    void SetUp() override {
        reference->setStartArray();
        playMoves(*reference, "e2e4 e7e5 g1f3");
    }
    // A rejection must leave the board, stacks included, exactly as before;
    // an acceptance empties the stacks and leaves a consistent board.
    bool accepts(const char* text) {
        const std::string name = text ? std::string(text).substr(0, 80) : "null";
        *board = *reference;
        if (!board->setFromFen(text)) {
            EXPECT_TRUE(sameBoard(*reference, *board)) << name;
            return false;
        }
        EXPECT_EQ(board->plyCount + board->keyHistoryCount, 0u) << name;
        EXPECT_TRUE(board->isConsistent()) << name;
        EXPECT_EQ(board->hashKey, board->computeKey()) << name;
        return true;
    }
    std::string written() const {
        char buffer[kFenBufferSize];
        board->writeFen(buffer);
        return buffer;
    }
    void expectFields(const std::string& list, const std::string& context) const {
        const Board& b = *board;
        const std::map<std::string, int> fields = {
            {"clock", b.halfmoveClock}, {"stage", static_cast<int>(b.stage)}, {"material", b.material[WHITE]},
            {"phase", b.phaseCount[WHITE]}, {"queens", b.pieceCount[WHITE][QUEEN]},
            {"kingW", static_cast<int>(b.kingSquare[WHITE])}, {"kingB", static_cast<int>(b.kingSquare[BLACK])},
            {"mgW", b.middleGameSum[WHITE]}, {"mgB", b.middleGameSum[BLACK]},
            {"egW", b.endgameSum[WHITE]}, {"egB", b.endgameSum[BLACK]}};
        expectValues(list, [&](const std::string& name) { return fields.at(name); }, context);
    }
    std::unique_ptr<Board> reference = std::make_unique<Board>(), board = std::make_unique<Board>();
};

// Written FENs always end in the counters "0 1" and a blank.
TEST_F(FenTest, TableOfTexts) {
    for (const auto& row : boardTable("fen.txt")) {
        const std::string name = '"' + row[0].substr(0, 80) + '"';
        if (row.at(1) == "reject") {
            EXPECT_FALSE(accepts(row[0].c_str())) << name;
            continue;
        }
        ASSERT_TRUE(accepts(row[0].c_str())) << name;
        EXPECT_EQ(written(), row[1] + " 0 1 ") << name;
        expectFields(row.size() > 2 ? row[2] : "", name);
    }
    EXPECT_FALSE(accepts(nullptr));
    // The start array and a cleared board are the start and the empty position.
    for (const bool start : {true, false}) {
        start ? reference->setStartArray() : reference->clear();
        ASSERT_TRUE(accepts(start ? kStartFen : "8/8/8/8/8/8/8/8 w - - "));
        EXPECT_TRUE(sameBoard(*reference, *board)) << start;
    }
}

// Each sequence is taken back afterwards and must give the loaded board back.
TEST_F(FenTest, MakeThenUnmakeTable) {
    for (const auto& row : boardTable("makemove.txt")) {
        const std::string context = row[0] + " | " + row.at(2);
        ASSERT_TRUE(accepts(row[0].c_str())) << context;
        const auto loaded = std::make_unique<Board>(*board);
        playMoves(*board, row[1].c_str());
        EXPECT_EQ(written(), row[2] + " 0 1 ") << context;
        expectFields(row.size() > 3 ? row[3] : "", context);
        while (board->plyCount > 0) board->unmakeMove(board->plyRecords[board->plyCount - 1].move);
        EXPECT_TRUE(sameBoard(*loaded, *board)) << context;
    }
}

// Every data position re-reads from the FEN it writes, which fits the buffer.
// Its mirrored position is the same game with colours exchanged: the sums
// swap, the trees are as large, and mirroring twice gives the text back.
TEST_F(FenTest, WriteFenAndMirrorFenRoundTrips) {
    char buffer[kFenBufferSize + 16], twice[128];
    std::vector<std::string> fens;
    for (const PerftCase& perftCase : readPerftCases()) fens.push_back(perftCase.fen);
    const size_t perftFens = fens.size();
    for (const std::string& line : readDataLines("bk.epd")) fens.push_back(line);
    // Every rank with eight letters, all rights and an en-passant square: the longest text.
    fens.push_back("rnbqkbnr/p1p1p1p1/nbrqbnrq/NBRQBNR1/1p1pPp1p/QRBN1RBN/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
    auto other = std::make_unique<Board>();
    for (size_t i = 0; i < fens.size(); ++i) {
        const char* fen = fens[i].c_str();
        ASSERT_TRUE(accepts(fen)) << fen;
        std::memset(buffer, 0x55, sizeof buffer);
        board->writeFen(buffer);
        for (size_t k = kFenBufferSize; k < sizeof buffer; ++k) ASSERT_EQ(buffer[k], 0x55) << fen;
        ASSERT_EQ(other->setFromFen(buffer), 1) << buffer;
        other->halfmoveClock = board->halfmoveClock;
        EXPECT_TRUE(sameBoard(*board, *other)) << fen << " -> " << buffer;
        if (i >= perftFens) continue;
        ASSERT_EQ(mirrorFen(fen, buffer, sizeof buffer), 1) << fen;
        ASSERT_EQ(mirrorFen(buffer, twice, sizeof twice), 1);
        EXPECT_STREQ(twice, fen);
        ASSERT_EQ(other->setFromFen(buffer), 1) << buffer;
        for (int colour = 0; colour < 2; ++colour) {
            EXPECT_EQ(other->material[colour], board->material[colour ^ 1]) << fen;
            EXPECT_EQ(other->middleGameSum[colour], board->middleGameSum[colour ^ 1]) << fen;
            EXPECT_EQ(other->endgameSum[colour], board->endgameSum[colour ^ 1]) << fen;
        }
        EXPECT_EQ(other->side, board->xside);
        if (board->epFile == 0) {
            EXPECT_EQ(perftCount(*other, 2), perftCount(*board, 2)) << fen;
        }
    }
}

// Output is cut to the given size, terminator included, and nothing past it
// is touched; malformed input gives 0 and an empty text.
TEST_F(FenTest, MirrorFenTable) {
    char buffer[160];
    for (const auto& row : boardTable("mirror.txt")) {
        const std::string name = row[0].substr(0, 60) + " | " + row.at(1);
        const size_t size = std::stoul(row[1]);
        std::memset(buffer, 0x55, sizeof buffer);
        EXPECT_EQ(mirrorFen(row[0].c_str(), buffer, static_cast<int>(size)), std::stoi(row.at(2))) << name;
        if (row.at(3) != "untouched") {
            EXPECT_EQ(std::string(buffer), row[3] == "empty" ? "" : row[3]) << name;
        }
        for (size_t i = size; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0x55) << name;
    }
    EXPECT_EQ(mirrorFen(nullptr, buffer, 32), 0);
    EXPECT_STREQ(buffer, "");
}

// Random mutations of valid texts: a rejection changes nothing; an accepted
// board is consistent, re-reads from its own FEN and survives making and
// unmaking every generated move.
TEST_F(FenTest, FuzzedTextsKeepTheBoardSound) {
    static constexpr char kAlphabet[] = "pnbrqkPNBRQK012345678/ wb-KQkqabcdefgh;9x";
    const std::vector<PerftCase> seeds = readPerftCases();
    std::mt19937 random(7);
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    auto before = std::make_unique<Board>(), reread = std::make_unique<Board>();
    MoveList list;
    int acceptedCount = 0;
    for (int trial = 0; trial < 4000; ++trial) {
        std::string text = seeds[pick(seeds.size())].fen;
        for (int m = static_cast<int>(pick(3)); m >= 0 && !text.empty(); --m) {
            const size_t at = pick(text.size());
            const char letter = kAlphabet[pick(sizeof kAlphabet - 1)];
            switch (pick(6)) {
                case 0: text[at] = letter; break;
                case 1: text.insert(text.begin() + static_cast<long>(at), letter); break;
                case 2: text.erase(at, 1); break;
                case 3: text.resize(at); break;
                case 4: text.insert(at, text.substr(pick(text.size()), 1 + pick(12))); break;
                default: std::swap(text[at], text[pick(text.size())]); break;
            }
        }
        if (!accepts(text.c_str())) continue;
        ++acceptedCount;
        for (int colour = 0; colour < 2; ++colour)
            ASSERT_TRUE(!board->hasKing(colour) || board->mailbox[board->kingSquare[colour]] == KING) << text;
        ASSERT_EQ(reread->setFromFen(written().c_str()), 1) << text;
        ASSERT_EQ(reread->hashKey, board->hashKey) << text;
        *before = *board;
        const int count = generateAll(*board, list, 0, isInCheck(*board, static_cast<int>(board->side)));
        for (int i = 0; i < count; ++i) {
            board->makeMove(list.entries[i].move);
            ASSERT_TRUE(board->isConsistent()) << text << " move " << i;
            board->unmakeMove(list.entries[i].move);
            ASSERT_TRUE(sameBoard(*before, *board)) << text << " move " << i;
        }
    }
    // The mutations must leave a fair share of texts readable.
    EXPECT_GT(acceptedCount, 400);
}

}  // namespace
}  // namespace tarvok::test
