// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/san_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "board/movegen.h"
#include "board/board_test_helpers.h"

namespace tarvok {
namespace {

using test::boardFromFen;
using test::findMove;

class SanWriterTest : public test::BoardTest {
   protected:
    // SAN of the move with coordinate text moveText in the position, written
    // against the generated moves of that position.
    static std::string san(const char* fen, const char* moveText) {
        auto board = boardFromFen(fen);
        if (!board) return "<bad fen>";
        const Move move = findMove(*board, moveText);
        EXPECT_NE(move, NO_MOVE) << moveText;
        MoveList list;
        const int count = generateAll(*board, list, 0, isInCheck(*board, static_cast<int>(board->side)));
        char text[kSanSize];
        writeSan(move, text, list, count);
        return text;
    }
};

TEST_F(SanWriterTest, KnightsOnOneRankNameTheirFile) {
    const char* fen = "4k3/8/8/8/8/8/8/1N2KN2 w - - 0 1";
    EXPECT_EQ(san(fen, "b1d2"), "Nbd2");
    EXPECT_EQ(san(fen, "f1d2"), "Nfd2");
    EXPECT_EQ(san(fen, "b1c3"), "Nc3");  // only one knight reaches c3
}

TEST_F(SanWriterTest, KnightsOnOneFileNameTheirRank) {
    const char* fen = "4k3/8/8/8/8/1N6/8/1N2K3 w - - 0 1";
    EXPECT_EQ(san(fen, "b1d2"), "N1d2");
    EXPECT_EQ(san(fen, "b3d2"), "N3d2");
    EXPECT_EQ(san(fen, "b3d4"), "Nd4");
}

TEST_F(SanWriterTest, KnightsOnNeitherLineNameTheirFile) {
    const char* fen = "1n2k3/8/5n2/8/8/8/8/4K3 b - - 0 1";
    EXPECT_EQ(san(fen, "b8d7"), "Nbd7");
    EXPECT_EQ(san(fen, "f6d7"), "Nfd7");
}

TEST_F(SanWriterTest, RooksDisambiguateByFileOrRankAndCapture) {
    const char* fen = "4k3/8/8/R7/8/8/4K3/R6R w - - 0 1";
    EXPECT_EQ(san(fen, "a1d1"), "Rad1");
    EXPECT_EQ(san(fen, "h1d1"), "Rhd1");
    EXPECT_EQ(san(fen, "a1a3"), "R1a3");
    EXPECT_EQ(san(fen, "a5a3"), "R5a3");
    EXPECT_EQ(san(fen, "a5e5"), "Re5");
    EXPECT_EQ(san("4k3/8/8/8/8/8/4K3/R2n3R w - - 0 1", "a1d1"), "Raxd1");
}

TEST_F(SanWriterTest, ThirdPieceOnBothLinesNeedsFileAndRank) {
    const char* fen = "4k2K/8/8/8/8/Q7/8/Q1Q5 w - - 0 1";
    EXPECT_EQ(san(fen, "a1c3"), "Qa1c3");
}

TEST_F(SanWriterTest, PawnMovesAndCaptures) {
    const char* fen = "4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1";
    EXPECT_EQ(san(fen, "e4d5"), "exd5");
    EXPECT_EQ(san(fen, "e4e5"), "e5");
    EXPECT_EQ(san("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", "e2e4"), "e4");
}

TEST_F(SanWriterTest, EnPassantFillsTheWholeField) {
    EXPECT_EQ(san("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6"), "exd6e.p");
    EXPECT_EQ(san("4k3/8/8/8/3Pp3/8/8/4K3 b - d3 0 1", "e4d3"), "exd3e.p");
}

TEST_F(SanWriterTest, PromotionsWithAndWithoutCapture) {
    const char* fen = "1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1";
    EXPECT_EQ(san(fen, "a7a8q"), "a8=Q");
    EXPECT_EQ(san(fen, "a7a8n"), "a8=N");
    EXPECT_EQ(san(fen, "a7b8r"), "axb8=R");
    EXPECT_EQ(san(fen, "a7b8b"), "axb8=B");
    EXPECT_EQ(san("4k3/8/8/8/8/8/p7/1N2K3 b - - 0 1", "a2b1q"), "axb1=Q");
}

TEST_F(SanWriterTest, CastlingBothWaysForBothColours) {
    EXPECT_EQ(san("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1"), "O-O");
    EXPECT_EQ(san("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1c1"), "O-O-O");
    EXPECT_EQ(san("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8g8"), "O-O");
    EXPECT_EQ(san("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8c8"), "O-O-O");
}

TEST_F(SanWriterTest, EmptyListOrNoMoveNeedsNoBoard) {
    MoveList list{};
    char text[kSanSize] = "junk";
    writeSan(NO_MOVE, text, list, 0);
    EXPECT_STREQ(text, "");
    // Without the list there is nothing to disambiguate against.
    writeSan(makeMoveWord(test::sq("b1"), test::sq("d2"), KNIGHT), text, list, 0);
    EXPECT_STREQ(text, "Nd2");
    // A count beyond the list's capacity reads no further than its entries.
    list.entries[3].move = makeMoveWord(test::sq("f1"), test::sq("d2"), KNIGHT);
    writeSan(makeMoveWord(test::sq("b1"), test::sq("d2"), KNIGHT), text, list, 100000);
    EXPECT_STREQ(text, "Nbd2");
}

}  // namespace
}  // namespace tarvok
