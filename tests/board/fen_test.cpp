// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing FEN: accepted and rejected texts, what a rejection
// leaves behind, round trips over the data files, the colour mirror and its
// bounds, and a fuzz of mutated texts.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "board/board.h"
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
        board = std::make_unique<Board>();
        board->setStartArray();
    }
    // Accepted or not; on rejection the board must be exactly as before.
    bool accepts(const char* fen) {
        auto before = std::make_unique<Board>(*board);
        if (board->setFromFen(fen)) return true;
        EXPECT_TRUE(sameBoard(*before, *board)) << fen;
        return false;
    }
    std::string written() const {
        char buffer[kFenBufferSize];
        board->writeFen(buffer);
        return buffer;
    }
    std::unique_ptr<Board> board;
};

std::vector<std::string> dataFens() {
    std::vector<std::string> fens;
    for (const PerftCase& perftCase : readPerftCases()) fens.push_back(perftCase.fen);
    for (const std::string& line : readDataLines("bk.epd")) fens.push_back(line);
    return fens;
}

TEST_F(FenTest, FieldEndings) {
    EXPECT_TRUE(accepts("8/8/8/8/8/8/8/K6k w - - "));
    // The text ends right after the en-passant field (an EPD's FEN): the
    // halfmove clock is 0. It may not end before the field or in an empty one.
    ASSERT_TRUE(accepts("8/8/8/8/8/8/8/K6k w - - 9 1"));
    ASSERT_TRUE(accepts("8/8/8/8/8/8/8/K6k b - -"));
    EXPECT_EQ(board->halfmoveClock, 0);
    EXPECT_EQ(static_cast<int>(board->side), BLACK);
    ASSERT_TRUE(accepts("4k3/8/8/3pP3/8/8/8/4K3 w - d6"));
    EXPECT_EQ(board->epFile, 4);
    EXPECT_FALSE(accepts("8/8/8/8/8/8/8/K6k w - "));
    EXPECT_FALSE(accepts("8/8/8/8/8/8/8/K6k w -"));
    EXPECT_FALSE(accepts("8/8/8/8/8/8/8/K6k w"));
    EXPECT_FALSE(accepts(""));
    EXPECT_FALSE(accepts(nullptr));

    ASSERT_TRUE(accepts("8/8/8/8/8/8/8/K6k w - - 57 1"));
    EXPECT_EQ(board->halfmoveClock, 57);
    ASSERT_TRUE(accepts("8/8/8/8/8/8/8/K6k w - - 57"));
    EXPECT_EQ(board->halfmoveClock, 0);
    ASSERT_TRUE(accepts("8/8/8/8/8/8/8/K6k w - - 300 1"));
    EXPECT_EQ(board->halfmoveClock, 300 % 256);
    ASSERT_TRUE(accepts("8/8/8/8/8/8/8/K6k w - - 000000000000000000000000000012 1"));
    EXPECT_EQ(board->halfmoveClock, 12);
    EXPECT_FALSE(accepts("8/8/8/8/8/8/8/K6k w - - 0000000000000000000000000000012 1"));

    // EPD operations straight after the en-passant field.
    ASSERT_TRUE(accepts("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - bm e4;"));
    EXPECT_EQ(board->halfmoveClock, 0);
    EXPECT_EQ(board->castleRights, 15);
}

TEST_F(FenTest, StartTextMatchesStartArray) {
    auto start = std::make_unique<Board>();
    start->setStartArray();
    ASSERT_TRUE(accepts(kStartFen));
    EXPECT_TRUE(sameBoard(*start, *board));
    EXPECT_EQ(board->hashKey, start->hashKey);
    EXPECT_EQ(written(), std::string(kStartFen) + " ");
    EXPECT_EQ(board->material[WHITE], 4075);
    EXPECT_EQ(board->phaseCount[BLACK], 12);
    EXPECT_EQ(board->stage, 0u);
}

TEST_F(FenTest, PlacementShapes) {
    // A short rank leaves the rest of it empty.
    ASSERT_TRUE(accepts("8/8/8/8/3k/8/8/K7 w - - "));
    EXPECT_EQ(board->mailbox[sq("d4")], KING);
    EXPECT_EQ(board->kingSquare[BLACK], static_cast<uint32_t>(sq("d4")));
    EXPECT_EQ(board->occupied, bit("d4") | bit("a1"));
    EXPECT_TRUE(board->isConsistent());
    // A blank ends an incomplete placement.
    ASSERT_TRUE(accepts("4k/ w - - "));
    EXPECT_EQ(board->occupied, bit("e8"));

    EXPECT_FALSE(accepts("8/8/8/8/8/8/8/K6k/ w - - "));    // '/' below rank 1
    EXPECT_FALSE(accepts("8/8/8/8/8/8/8/8/8 w - - "));
    EXPECT_FALSE(accepts("8/8/8/8/8/8/8/K7k w - - "));      // rank of 9 files
    EXPECT_FALSE(accepts("8/8/8/8/8/8/8/K6k1 w - - "));
    EXPECT_FALSE(accepts("8/8/8/8/8/8/8/K5k2 w - - "));
    EXPECT_FALSE(accepts("9/8/8/8/8/8/8/K6k w - - "));
    EXPECT_FALSE(accepts("08/8/8/8/8/8/8/K6k w - - "));
    EXPECT_FALSE(accepts("8/8/8/8/8/8/8/K6x w - - "));
    EXPECT_FALSE(accepts("8/8/8/8/8/8/8K6k w - - "));        // complete rank not followed by '/'
    EXPECT_FALSE(accepts("rnbqkbnr w KQkq - "));              // complete rank 8 needs '/'
}

TEST_F(FenTest, PieceCountLimits) {
    EXPECT_TRUE(accepts("k7/8/8/8/8/8/pppppppp/K7 w - - "));
    EXPECT_FALSE(accepts("k7/8/8/8/8/p7/pppppppp/K7 w - - "));
    EXPECT_FALSE(accepts("k7/8/8/8/8/P7/PPPPPPPP/K7 w - - "));
    EXPECT_FALSE(accepts("k6k/8/8/8/8/8/8/K7 w - - "));
    EXPECT_FALSE(accepts("k7/8/8/8/8/8/8/K6K w - - "));
    EXPECT_TRUE(accepts("k7/8/8/8/8/1Q6/QQQQQQQQ/K7 w - - "));
    EXPECT_EQ(board->pieceCount[WHITE][QUEEN], 9);
    EXPECT_EQ(board->phaseCount[WHITE], 36);
    EXPECT_EQ(board->stage, 0u);  // phase sums above 31 count as the full middle game
    EXPECT_FALSE(accepts("k7/8/8/8/8/QQ6/QQQQQQQQ/K7 w - - "));
    EXPECT_TRUE(accepts("8/8/8/8/8/8/8/8 w - - "));  // no kings at all
}

TEST_F(FenTest, SideCastlingAndEnPassantFields) {
    EXPECT_FALSE(accepts("8/8/8/8/8/8/8/K6k W - - "));
    EXPECT_FALSE(accepts("8/8/8/8/8/8/8/K6k  w - - "));
    EXPECT_FALSE(accepts("8/8/8/8/8/8/8/K6k wb - - "));
    EXPECT_FALSE(accepts("8/8/8/8/8/8/8/K6k w KX - "));
    EXPECT_TRUE(accepts("r3k2r/8/8/8/8/8/8/R3K2R w K-Qk-q - "));
    EXPECT_EQ(board->castleRights, 15);

    const char* afterE4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq ";
    for (const char* field : {"e3 ", "e ", "e3; ", ";e3 "}) {
        ASSERT_TRUE(accepts((std::string(afterE4) + field).c_str())) << field;
        EXPECT_EQ(board->epFile, 5) << field;
    }
    for (const char* field : {"ee ", "3 ", "e33 ", "-e ", "i3 ", "e33"}) EXPECT_FALSE(accepts((std::string(afterE4) + field).c_str())) << field;
    // An empty field means no en-passant file.
    ASSERT_TRUE(accepts((std::string(afterE4) + " 0 1").c_str()));
    EXPECT_EQ(board->epFile, 0);
}

TEST_F(FenTest, UnsupportedRightsAndEnPassantFilesAreDropped) {
    ASSERT_TRUE(accepts("4k3/8/8/8/8/8/8/4K3 w KQkq - 0 1"));
    EXPECT_EQ(board->castleRights, 0);
    ASSERT_TRUE(accepts("r3k3/8/8/8/8/8/8/4K2R w KQkq - 0 1"));
    EXPECT_EQ(board->castleRights, CASTLE_WK | CASTLE_BQ);
    ASSERT_TRUE(accepts("r3k2r/8/8/8/8/8/8/R2K3R w KQkq - 0 1"));  // White king off e1
    EXPECT_EQ(board->castleRights, CASTLE_BK | CASTLE_BQ);
    EXPECT_EQ(board->hashKey, board->computeKey());

    // No pawn that could just have double-pushed: the file is dropped.
    ASSERT_TRUE(accepts("rnbqkbnr/pppp1ppp/8/4p3/8/8/PPPPPPPP/RNBQKBNR w KQkq d6 0 2"));
    EXPECT_EQ(board->epFile, 0);
    ASSERT_TRUE(accepts("rnbqkbnr/pppp1ppp/8/4p3/8/8/PPPPPPPP/RNBQKBNR w KQkq e6 0 2"));
    EXPECT_EQ(board->epFile, 5);
    // The target square or the pawn's origin square is occupied.
    ASSERT_TRUE(accepts("rnbqkbnr/pppp1ppp/4n3/4p3/8/8/PPPPPPPP/RNBQKBNR w KQkq e6 0 2"));
    EXPECT_EQ(board->epFile, 0);
    ASSERT_TRUE(accepts("rnbqkbnr/ppppnppp/8/4p3/8/8/PPPPPPPP/RNBQKBNR w KQkq e6 0 2"));
    EXPECT_EQ(board->epFile, 0);
    // The en-passant square is read for the side to move only.
    ASSERT_TRUE(accepts("rnbqkbnr/pppp1ppp/8/4p3/8/8/PPPPPPPP/RNBQKBNR b KQkq e6 0 2"));
    EXPECT_EQ(board->epFile, 0);
}

TEST_F(FenTest, SideWithoutKing) {
    ASSERT_TRUE(accepts("8/8/8/8/8/8/8/7k w - - "));
    EXPECT_FALSE(board->hasKing(WHITE));
    EXPECT_EQ(board->kingSquare[WHITE], 4u);
    EXPECT_EQ(board->kingSquare[BLACK], static_cast<uint32_t>(sq("h1")));
    EXPECT_FALSE(isInCheck(*board, WHITE));
    // A Black rook on e-file "attacks" e1, but there is no king to be in check.
    ASSERT_TRUE(accepts("4r2k/8/8/8/8/8/8/8 w - - "));
    EXPECT_FALSE(isInCheck(*board, WHITE));
    EXPECT_TRUE(board->isConsistent());
    MoveList list;
    EXPECT_EQ(generateAll(*board, list, 0, false), 0);
}

TEST_F(FenTest, RejectionLeavesStacksAndPositionAlone) {
    playMoves(*board, "e2e4 e7e5 g1f3");
    auto before = std::make_unique<Board>(*board);
    for (const char* bad : {"8/8/8/8/8/8/8/K6k w -", "rnbqkbnr/ppppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
                            "k7/8/8/8/8/p7/pppppppp/K7 w - - ", "8/8/8/8/8/8/8/K6k x - - "}) {
        EXPECT_EQ(board->setFromFen(bad), 0) << bad;
        EXPECT_TRUE(sameBoard(*before, *board)) << bad;
    }
    ASSERT_EQ(board->setFromFen(kStartFen), 1);
    EXPECT_EQ(board->plyCount, 0u);
    EXPECT_EQ(board->keyHistoryCount, 0u);
}

TEST_F(FenTest, VeryLongTexts) {
    const std::string kings = "8/8/8/8/8/8/8/K6k w - - ";
    EXPECT_FALSE(accepts((kings + std::string(100000, '1')).c_str()));
    EXPECT_FALSE(accepts(std::string(100000, '/').c_str()));
    EXPECT_FALSE(accepts(std::string(100000, 'K').c_str()));
    EXPECT_FALSE(accepts(std::string(100000, '1').c_str()));
    EXPECT_FALSE(accepts(("8/8/8/8/8/8/8/K6k w " + std::string(100000, 'q')).c_str()));
    ASSERT_TRUE(accepts((std::string(kStartFen) + " " + std::string(100000, 'x')).c_str()));
    EXPECT_EQ(board->castleRights, 15);
    ASSERT_TRUE(accepts((kings + "5 " + std::string(100000, '7')).c_str()));
    EXPECT_EQ(board->halfmoveClock, 5);
}

TEST_F(FenTest, WriteFenRoundTripsEveryDataPosition) {
    auto reread = std::make_unique<Board>();
    const std::vector<std::string> fens = dataFens();
    ASSERT_GT(fens.size(), 150u);
    for (const std::string& fen : fens) {
        ASSERT_TRUE(accepts(fen.c_str())) << fen;
        const std::string text = written();
        ASSERT_LT(text.size(), static_cast<size_t>(kFenBufferSize));
        ASSERT_EQ(reread->setFromFen(text.c_str()), 1) << text;
        // The counters are always written as "0 1".
        EXPECT_EQ(reread->halfmoveClock, 0);
        reread->halfmoveClock = board->halfmoveClock;
        EXPECT_TRUE(sameBoard(*board, *reread)) << fen << " -> " << text;
        char again[kFenBufferSize];
        reread->writeFen(again);
        EXPECT_EQ(text, again);
    }
}

TEST_F(FenTest, WriteFenAfterDoublePushAndBounds) {
    playMoves(*board, "e2e4");
    EXPECT_EQ(written(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1 ");
    playMoves(*board, "d7d5");
    EXPECT_EQ(written(), "rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 1 ");
    // The longest texts: every rank written with eight letters, all rights and
    // an en-passant square. Nothing past the 90-byte buffer is touched.
    ASSERT_TRUE(accepts("rnbqkbnr/p1p1p1p1/nbrqbnrq/NBRQBNR1/1p1pPp1p/QRBN1RBN/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"));
    ASSERT_EQ(board->epFile, 5);
    char buffer[kFenBufferSize + 16];
    std::memset(buffer, 0x55, sizeof buffer);
    board->writeFen(buffer);
    EXPECT_LT(std::strlen(buffer), static_cast<size_t>(kFenBufferSize));
    for (size_t i = kFenBufferSize; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 0x55);
}

TEST_F(FenTest, MirrorFen) {
    char buffer[128];
    ASSERT_EQ(mirrorFen(kStartFen, buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b kqKQ - 0 1");

    // The mirrored position is the same game with colours exchanged: the
    // sums swap, and mirroring twice gives the text back.
    auto mirrored = std::make_unique<Board>();
    for (const PerftCase& perftCase : readPerftCases()) {
        const char* fen = perftCase.fen.c_str();
        ASSERT_EQ(mirrorFen(fen, buffer, sizeof buffer), 1) << fen;
        char twice[128];
        ASSERT_EQ(mirrorFen(buffer, twice, sizeof twice), 1);
        EXPECT_STREQ(twice, fen);
        ASSERT_TRUE(accepts(fen));
        ASSERT_EQ(mirrored->setFromFen(buffer), 1) << buffer;
        for (int colour = 0; colour < 2; ++colour) {
            EXPECT_EQ(mirrored->material[colour], board->material[colour ^ 1]) << fen;
            EXPECT_EQ(mirrored->middleGameSum[colour], board->middleGameSum[colour ^ 1]) << fen;
            EXPECT_EQ(mirrored->endgameSum[colour], board->endgameSum[colour ^ 1]) << fen;
        }
        EXPECT_EQ(mirrored->side, board->xside);
        if (board->epFile == 0) {
            EXPECT_EQ(perftCount(*mirrored, 2), perftCount(*board, 2)) << fen;
        }
    }
}

TEST_F(FenTest, MirrorFenBoundsAndMalformedInput) {
    char buffer[32];
    std::memset(buffer, 0x55, sizeof buffer);
    // Output is cut to the given size, terminator included.
    ASSERT_EQ(mirrorFen(kStartFen, buffer, 10), 1);
    EXPECT_STREQ(buffer, "rnbqkbnr/");
    for (size_t i = 10; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 0x55);
    ASSERT_EQ(mirrorFen(kStartFen, buffer, 1), 1);
    EXPECT_STREQ(buffer, "");
    buffer[0] = 'x';
    EXPECT_EQ(mirrorFen(kStartFen, buffer, 0), 0);
    EXPECT_EQ(buffer[0], 'x');

    for (const char* bad : {"", "8/8/8/8/8/8/8 w - -", "8/8/8/8/8/8/8/8/8 w - -", "8/8/8/8/8/8/8/8",
                            "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR"}) {
        std::memset(buffer, 0x55, sizeof buffer);
        EXPECT_EQ(mirrorFen(bad, buffer, sizeof buffer), 0) << bad;
        EXPECT_STREQ(buffer, "") << bad;
    }
    EXPECT_EQ(mirrorFen(nullptr, buffer, sizeof buffer), 0);
    // A long tail is cut, never written past the buffer.
    const std::string longTail = std::string(kStartFen) + std::string(1000, 'w');
    std::memset(buffer, 0x55, sizeof buffer);
    ASSERT_EQ(mirrorFen(longTail.c_str(), buffer, 20), 1);
    EXPECT_EQ(std::strlen(buffer), 19u);
    for (size_t i = 20; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 0x55);
}

// Random mutations of valid texts: a rejection changes nothing, an accepted
// board is consistent, re-reads from its own FEN and survives making and
// unmaking every generated move.
TEST_F(FenTest, FuzzedTextsKeepTheBoardSound) {
    static constexpr char kAlphabet[] = "pnbrqkPNBRQK012345678/ wb-KQkqabcdefgh;9x";
    std::vector<std::string> seeds;
    for (const PerftCase& perftCase : readPerftCases()) seeds.push_back(perftCase.fen);
    ASSERT_FALSE(seeds.empty());
    std::mt19937 random(7);
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    auto reference = std::make_unique<Board>();
    reference->setStartArray();
    playMoves(*reference, "e2e4 c7c5 g1f3");
    auto before = std::make_unique<Board>();
    auto reread = std::make_unique<Board>();
    MoveList list;
    int acceptedCount = 0;
    for (int trial = 0; trial < 4000; ++trial) {
        std::string text = seeds[pick(seeds.size())];
        const int mutations = 1 + static_cast<int>(pick(3));
        for (int m = 0; m < mutations && !text.empty(); ++m) {
            const size_t at = pick(text.size());
            const char letter = kAlphabet[pick(sizeof kAlphabet - 1)];
            switch (pick(6)) {
                case 0: text[at] = letter; break;
                case 1: text.insert(text.begin() + static_cast<long>(at), letter); break;
                case 2: text.erase(at, 1); break;
                case 3: text.resize(at); break;
                case 4: {
                    const std::string copied = text.substr(pick(text.size()), 1 + pick(12));
                    text = text.substr(0, at) + copied + text.substr(at);
                    break;
                }
                default: std::swap(text[at], text[pick(text.size())]); break;
            }
        }
        *board = *reference;
        *before = *reference;
        if (!board->setFromFen(text.c_str())) {
            ASSERT_TRUE(sameBoard(*before, *board)) << text;
            continue;
        }
        ++acceptedCount;
        ASSERT_TRUE(board->isConsistent()) << text;
        for (int colour = 0; colour < 2; ++colour) {
            ASSERT_LT(board->kingSquare[colour], 64u) << text;
            if (board->hasKing(colour)) {
                ASSERT_EQ(board->mailbox[board->kingSquare[colour]], KING) << text;
            }
        }
        ASSERT_EQ(reread->setFromFen(written().c_str()), 1) << text;
        ASSERT_EQ(reread->hashKey, board->hashKey) << text;
        *before = *board;
        const int count = generateAll(*board, list, 0, isInCheck(*board, static_cast<int>(board->side)));
        for (int i = 0; i < count; ++i) {
            const Move move = list.entries[i].move;
            board->makeMove(move);
            ASSERT_TRUE(board->isConsistent()) << text << " move " << move;
            board->unmakeMove(move);
            ASSERT_TRUE(sameBoard(*before, *board)) << text << " move " << move;
        }
    }
    // The mutations must leave a fair share of texts readable.
    EXPECT_GT(acceptedCount, 400);
}

}  // namespace
}  // namespace tarvok::test
