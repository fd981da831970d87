// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/san.h"

#include <gtest/gtest.h>

#include "board/bitboard.h"
#include "board/movegen.h"

namespace tarvok {
namespace {

constexpr int sq(const char* name) { return makeSquare(name[0] - 'a', name[1] - '1'); }

class SanTest : public ::testing::Test {
   protected:
    static void SetUpTestSuite() { initAttackTables(); }

    void setPosition(const char* fen) {
        ASSERT_EQ(board.setFromFen(fen), 1) << fen;
        const int count = generateAll(board, scratch, 0, isInCheck(board, static_cast<int>(board.side)));
        scratch.count = static_cast<uint32_t>(count);
    }

    // Parses text and checks that the board is left as it was.
    bool parse(const char* text, Move& move) {
        char before[kFenBufferSize];
        char after[kFenBufferSize];
        board.writeFen(before);
        const HashKey key = board.hashKey;
        const uint32_t plies = board.plyCount;
        const int result = parseSan(board, scratch, text, move);
        board.writeFen(after);
        EXPECT_STREQ(before, after) << text;
        EXPECT_EQ(board.hashKey, key) << text;
        EXPECT_EQ(board.plyCount, plies) << text;
        return result == 1;
    }

    void expectMove(const char* text, const char* from, const char* to, int promotion = NO_PIECE) {
        Move move = NO_MOVE;
        ASSERT_TRUE(parse(text, move)) << text;
        EXPECT_EQ(moveFrom(move), sq(from)) << text;
        EXPECT_EQ(moveTo(move), sq(to)) << text;
        EXPECT_EQ(movePromotion(move), promotion) << text;
    }

    void expectRejected(const char* text) {
        Move move = 12345;
        EXPECT_FALSE(parse(text, move)) << text;
        EXPECT_EQ(move, 12345u) << "output touched by " << text;
    }

    Board board;
    MoveList scratch;
};

TEST_F(SanTest, PawnMovesAndPieceMovesFromTheStart) {
    setPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    Move move = NO_MOVE;
    ASSERT_TRUE(parse("e4", move));
    EXPECT_EQ(move, makeMoveWord(sq("e2"), sq("e4"), PAWN, 0, 0, MOVE_DOUBLE_PUSH));
    expectMove("e3", "e2", "e3");
    expectMove("Nf3", "g1", "f3");
    expectMove("Nc3", "b1", "c3");
    // Check, mate and annotation marks after the destination are ignored.
    expectMove("Nf3+", "g1", "f3");
    expectMove("e4!?", "e2", "e4");
    expectMove("Na3#", "b1", "a3");
}

TEST_F(SanTest, CapturesCarryTheCapturedPiece) {
    setPosition("k7/8/8/3p4/2P1P3/8/8/K7 w - - 0 1");
    Move move = NO_MOVE;
    ASSERT_TRUE(parse("exd5", move));
    EXPECT_EQ(move, makeMoveWord(sq("e4"), sq("d5"), PAWN, PAWN));
    expectMove("cxd5", "c4", "d5");
    expectMove("e5", "e4", "e5");
    expectRejected("fxd5");
    // Without its file, a pawn token takes the pawn move to that square,
    // a capture included.
    setPosition("k7/8/8/3p4/4P3/8/8/K7 w - - 0 1");
    ASSERT_TRUE(parse("d5", move));
    EXPECT_EQ(move, makeMoveWord(sq("e4"), sq("d5"), PAWN, PAWN));

    // Scholar's mate.
    setPosition("r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4");
    ASSERT_TRUE(parse("Qxf7#", move));
    EXPECT_EQ(move, makeMoveWord(sq("h5"), sq("f7"), QUEEN, PAWN));
    EXPECT_EQ(board.makeMove(move), 1);
    board.unmakeMove(move);
}

TEST_F(SanTest, EnPassantCarriesItsFlagAndACapturedPawn) {
    setPosition("k7/8/8/3pP3/8/8/8/K7 w - d6 0 1");
    Move move = NO_MOVE;
    ASSERT_TRUE(parse("exd6", move));
    EXPECT_EQ(move, makeMoveWord(sq("e5"), sq("d6"), PAWN, PAWN, 0, MOVE_EN_PASSANT));
    setPosition("k7/8/8/8/3pP3/8/8/K7 b - e3 0 1");
    ASSERT_TRUE(parse("dxe3", move));
    EXPECT_EQ(move, makeMoveWord(sq("d4"), sq("e3"), PAWN, PAWN, 0, MOVE_EN_PASSANT));
}

TEST_F(SanTest, CastlingTokensAreWholeStrings) {
    setPosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    Move move = NO_MOVE;
    ASSERT_TRUE(parse("O-O", move));
    EXPECT_EQ(move, makeMoveWord(sq("e1"), sq("g1"), KING, 0, 0, MOVE_CASTLE));
    ASSERT_TRUE(parse("O-O-O", move));
    EXPECT_EQ(move, makeMoveWord(sq("e1"), sq("c1"), KING, 0, 0, MOVE_CASTLE));
    expectRejected("O-O+");
    expectRejected("O-O-O#");
    expectRejected("o-o");
    expectRejected("0-0");
    expectRejected("O-O-O-O");
    // A plain king move to the castling square is not castling.
    expectRejected("Kg1");

    setPosition("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1");
    ASSERT_TRUE(parse("O-O", move));
    EXPECT_EQ(move, makeMoveWord(sq("e8"), sq("g8"), KING, 0, 0, MOVE_CASTLE));
    ASSERT_TRUE(parse("O-O-O", move));
    EXPECT_EQ(move, makeMoveWord(sq("e8"), sq("c8"), KING, 0, 0, MOVE_CASTLE));
}

TEST_F(SanTest, CastlingNeedsAGeneratedCastlingMove) {
    // No rights, a blocked path, or a king that is not at home: castling
    // tokens fail instead of yielding a move that would break the board.
    setPosition("r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1");
    expectRejected("O-O");
    expectRejected("O-O-O");
    setPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    expectRejected("O-O");
    setPosition("4k3/8/8/8/8/8/8/R2K3R w - - 0 1");
    expectRejected("O-O");
    // Castling through or out of check.
    setPosition("4k3/8/8/8/8/8/5r2/R3K2R w KQ - 0 1");
    expectRejected("O-O");
    expectMove("O-O-O", "e1", "c1");
    setPosition("4r1k1/8/8/8/8/8/8/R3K2R w KQ - 0 1");
    expectRejected("O-O");
    expectRejected("O-O-O");
}

TEST_F(SanTest, DisambiguationByFileRankAndSquare) {
    setPosition("1n2k3/8/5n2/8/8/8/8/4K3 b - - 0 1");
    expectMove("Nbd7", "b8", "d7");
    expectMove("Nfd7", "f6", "d7");
    expectMove("Nbxd7", "b8", "d7");
    expectMove("N8d7", "b8", "d7");
    expectMove("N6d7", "f6", "d7");
    // Without disambiguation the first match in list order wins.
    Move move = NO_MOVE;
    ASSERT_TRUE(parse("Nd7", move));
    Move firstMatch = NO_MOVE;
    for (uint32_t i = 0; i < scratch.count && firstMatch == NO_MOVE; ++i)
        if (movePiece(scratch.entries[i].move) == KNIGHT && moveTo(scratch.entries[i].move) == sq("d7"))
            firstMatch = scratch.entries[i].move;
    EXPECT_EQ(move, firstMatch);
    expectRejected("Ncd7");
    expectRejected("N7d7");

    setPosition("k7/8/8/8/8/4R3/8/K3R3 w - - 0 1");
    expectMove("R1e2", "e1", "e2");
    expectMove("R3e2", "e3", "e2");

    // A whole origin square names the piece that moves.
    setPosition("8/8/k7/8/7Q/8/8/K6Q w - - 0 1");
    expectMove("Qh4e1", "h4", "e1");
    expectMove("Qh1e1", "h1", "e1");
    expectMove("Q4e1", "h4", "e1");
    expectMove("Qh1xe1", "h1", "e1");
    expectRejected("Qg4e1");
}

TEST_F(SanTest, PromotionsNameTheirPiece) {
    setPosition("k2r4/4P3/8/8/8/8/4P3/K7 w - - 0 1");
    expectMove("e8=Q", "e7", "e8", QUEEN);
    expectMove("e8=Q+", "e7", "e8", QUEEN);
    expectMove("e8=N", "e7", "e8", KNIGHT);
    expectMove("e8=B", "e7", "e8", BISHOP);
    expectMove("e8=R#", "e7", "e8", ROOK);
    expectMove("e8Q", "e7", "e8", QUEEN);
    Move move = NO_MOVE;
    ASSERT_TRUE(parse("exd8=R", move));
    EXPECT_EQ(move, makeMoveWord(sq("e7"), sq("d8"), PAWN, ROOK, ROOK));
    expectRejected("e8=K");
    expectRejected("e8=P");
    expectRejected("e8=");
    expectRejected("e8=q");
    // A pawn reaching the last rank must promote; no other move may.
    expectRejected("e8");
    expectRejected("e8+");
    expectRejected("e3=Q");
    expectRejected("Kb2=Q");

    setPosition("k7/8/8/8/8/8/3p4/K7 b - - 0 1");
    expectMove("d1=N", "d2", "d1", KNIGHT);
}

TEST_F(SanTest, PinnedPiecesAreNeverChosen) {
    // The knight on e2 is pinned against its king by the rook on e8.
    setPosition("k3r3/8/8/7N/8/8/4N3/4K3 w - - 0 1");
    expectMove("Nf4", "h5", "f4");
    expectMove("Ng3", "h5", "g3");
    expectRejected("Nef4");
    expectRejected("Nc3");
    expectRejected("Ng1");
    // A king in check may not stay on the checking line.
    setPosition("4k3/8/8/8/8/8/8/4K2r w - - 0 1");
    expectRejected("Kf1");
    expectMove("Kd2", "e1", "d2");
}

TEST_F(SanTest, GarbageIsRejected) {
    setPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    const char* garbage[] = {"",    "x",  "Pe4", "P",   "Z",   "e9",  "e0",   "i4",      "N",   "Nx",
                             "e",   "nf3", "Qj4", "Nf",  "xe4", "Nxx3", "--",  "1-0",    "*",   "e4e5",
                             "e5",  "Ke2", "Bb5", "O-O", "Nf3f", "Ng1g1f3", "abc", "K-e2", "=Q", "Ne4"};
    for (const char* text : garbage) expectRejected(text);
}

}  // namespace
}  // namespace tarvok
