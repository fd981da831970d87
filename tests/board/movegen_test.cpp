// SPDX-License-Identifier: GPL-3.0-or-later
// Move generation: the fixed emission order, castling conditions, check
// evasions and isValidMove.
#include "board/movegen.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/board_test_helpers.h"

namespace tarvok::test {
namespace {

class MoveGeneration : public BoardTest {};

std::string moveText(Move move) {
    static constexpr char kPromotionLetters[] = "  nbrq";
    std::string text;
    for (int square : {moveFrom(move), moveTo(move)}) {
        text += static_cast<char>('a' + fileOf(square));
        text += static_cast<char>('1' + rankOf(square));
    }
    if (movePromotion(move) != NO_PIECE) text += kPromotionLetters[movePromotion(move)];
    return text;
}

std::vector<std::string> texts(const MoveList& list, int count) {
    std::vector<std::string> result;
    for (int i = 0; i < count; ++i) result.push_back(moveText(list.entries[i].move));
    return result;
}

std::vector<std::string> evasions(const Board& board) {
    MoveList list;
    return texts(list, generateEvasions(board, list, 0));
}

bool contains(const std::vector<std::string>& moves, const std::string& move) {
    for (const std::string& m : moves)
        if (m == move) return true;
    return false;
}

TEST_F(MoveGeneration, StartingPositionOrder) {
    Board board;
    board.setStartArray();
    MoveList list;
    EXPECT_EQ(generateCaptures(board, list, 0), 0);
    const int count = generateQuiets(board, list, 0);
    const std::vector<std::string> expected = {"b1a3", "b1c3", "g1f3", "g1h3", "a2a3", "b2b3", "c2c3",
                                               "d2d3", "e2e3", "f2f3", "g2g3", "h2h3", "a2a4", "b2b4",
                                               "c2c4", "d2d4", "e2e4", "f2f4", "g2g4", "h2h4"};
    EXPECT_EQ(texts(list, count), expected);
    for (int i = 12; i < 20; ++i) EXPECT_TRUE(isDoublePush(list.entries[i].move));
    EXPECT_EQ(movePiece(list.entries[0].move), KNIGHT);
    // Black's replies after e2e4 come in the same order, seen from Black.
    playMoves(board, "e2e4");
    const std::vector<std::string> replies = texts(list, generateQuiets(board, list, 0));
    ASSERT_EQ(replies.size(), 20u);
    EXPECT_EQ(replies[0], "b8a6");
    EXPECT_EQ(replies[4], "a7a6");
    EXPECT_EQ(replies[19], "h7h5");
}

TEST_F(MoveGeneration, PromotionsComeFirstInQueenRookKnightBishopOrder) {
    auto board = boardFromFen("3r3k/4P3/8/8/8/8/8/4K3 w - - ");
    MoveList list;
    const int count = generateCaptures(*board, list, 0);
    const std::vector<std::string> expected = {"e7e8q", "e7e8r", "e7e8n", "e7e8b",
                                               "e7d8q", "e7d8r", "e7d8n", "e7d8b"};
    EXPECT_EQ(texts(list, count), expected);
    EXPECT_EQ(moveCaptured(list.entries[0].move), NO_PIECE);
    EXPECT_EQ(moveCaptured(list.entries[4].move), ROOK);
    EXPECT_EQ(movePiece(list.entries[4].move), PAWN);
    // A blocked pawn has no promotion; Black promotes towards rank 1.
    board = boardFromFen("4k3/8/8/8/8/8/p7/1R2K3 b - - ");
    const std::vector<std::string> black = texts(list, generateCaptures(*board, list, 0));
    const std::vector<std::string> expectedBlack = {"a2a1q", "a2a1r", "a2a1n", "a2a1b",
                                                    "a2b1q", "a2b1r", "a2b1n", "a2b1b"};
    EXPECT_EQ(black, expectedBlack);
    EXPECT_EQ(generateQuiets(*board, list, 0), 5);  // king moves only, no pawn step
}

TEST_F(MoveGeneration, CaptureOrderByPieceThenPawnsThenEnPassant) {
    auto board = boardFromFen("4k3/8/2r5/3Pp3/1N6/8/8/Q3K3 w - e6 0 1");
    ASSERT_EQ(board->epFile, 5);
    MoveList list;
    const int count = generateCaptures(*board, list, 0);
    EXPECT_EQ(texts(list, count), (std::vector<std::string>{"b4c6", "a1e5", "d5c6", "d5e6"}));
    ASSERT_EQ(count, 4);
    EXPECT_EQ(moveCaptured(list.entries[0].move), ROOK);
    EXPECT_EQ(moveCaptured(list.entries[1].move), PAWN);
    EXPECT_FALSE(isEnPassant(list.entries[2].move));
    EXPECT_TRUE(isEnPassant(list.entries[3].move));
    EXPECT_EQ(moveCaptured(list.entries[3].move), PAWN);
}

TEST_F(MoveGeneration, CastlingConditions) {
    MoveList list;
    auto castles = [&](const char* fen) {
        auto board = boardFromFen(fen);
        std::vector<std::string> result;
        const int count = generateQuiets(*board, list, 0);
        for (int i = 0; i < count; ++i)
            if (isCastle(list.entries[i].move)) result.push_back(moveText(list.entries[i].move));
        return result;
    };
    using Moves = std::vector<std::string>;
    EXPECT_EQ(castles("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - "), (Moves{"e1g1", "e1c1"}));
    EXPECT_EQ(castles("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - "), (Moves{"e8g8", "e8c8"}));
    // f1 attacked: no king side; b1 attacked does not matter on the queen side.
    EXPECT_EQ(castles("1r2kr2/8/8/8/8/8/8/R3K2R w KQ - "), (Moves{"e1c1"}));
    // c1 or d1 attacked, or the king in check: no queen side.
    EXPECT_EQ(castles("2r1k3/8/8/8/8/8/8/R3K2R w KQ - "), (Moves{"e1g1"}));
    EXPECT_EQ(castles("3rk3/8/8/8/8/8/8/R3K2R w KQ - "), (Moves{"e1g1"}));
    EXPECT_EQ(castles("4k3/8/8/8/8/8/8/R3K1nR w KQ - "), (Moves{"e1c1"}));  // g1 occupied
    EXPECT_EQ(castles("4k3/8/8/8/8/8/3n4/R3K2R w KQ - "), (Moves{"e1c1"}));  // knight hits f1 and b1
    EXPECT_EQ(castles("4r1k1/8/8/8/8/8/8/R3K2R w KQ - "), Moves{});          // in check
    // g1 attacked, or b1 occupied.
    EXPECT_EQ(castles("4k1r1/8/8/8/8/8/8/RN2K2R w KQ - "), Moves{});
    // Without the right nothing is generated.
    EXPECT_EQ(castles("r3k2r/8/8/8/8/8/8/R3K2R w Kq - "), (Moves{"e1g1"}));
}

TEST_F(MoveGeneration, DoubleCheckGivesOnlyKingMoves) {
    // Rook a1 and knight f3 both check e1; the rook on a2 could take a1.
    auto board = boardFromFen("4k3/8/8/8/8/5n2/R7/r3K3 w - - ");
    ASSERT_TRUE(isInCheck(*board, WHITE));
    MoveList list;
    const int count = generateEvasions(*board, list, 0);
    ASSERT_GT(count, 0);
    for (int i = 0; i < count; ++i) EXPECT_EQ(movePiece(list.entries[i].move), KING) << moveText(list.entries[i].move);
    EXPECT_FALSE(contains(texts(list, count), "a2a1"));
}

TEST_F(MoveGeneration, ContactAndLeaperChecksHaveNoInterpositions) {
    // Knight check: king moves off the knight's squares, then the capture.
    auto board = boardFromFen("4k3/8/8/8/8/3n4/8/RB2K3 w - - ");
    EXPECT_EQ(evasions(*board), (std::vector<std::string>{"e1d1", "e1f1", "e1d2", "e1e2", "b1d3"}));
    // Pawn check, captured by the king.
    board = boardFromFen("4k3/8/8/8/8/8/3p4/R3K3 w - - ");
    for (const std::string& move : evasions(*board)) EXPECT_EQ(move.substr(0, 2), "e1") << move;
    EXPECT_TRUE(contains(evasions(*board), "e1d2"));
    // A queen next to the king: only king moves and captures of the queen.
    board = boardFromFen("4k3/8/8/8/8/8/3q4/R3KB2 w - - ");
    for (const std::string& move : evasions(*board)) EXPECT_TRUE(move.substr(0, 2) == "e1" || move.substr(2, 2) == "d2") << move;
    // A distant rook: interpositions by pawn, knight and bishop are generated.
    board = boardFromFen("4r2k/8/8/8/8/2N5/3P4/4K1B1 w - - ");
    const std::vector<std::string> blocks = evasions(*board);
    EXPECT_TRUE(contains(blocks, "c3e4"));
    EXPECT_TRUE(contains(blocks, "c3e2"));
    EXPECT_TRUE(contains(blocks, "g1e3"));
    EXPECT_FALSE(contains(blocks, "d2d3"));
}

TEST_F(MoveGeneration, EnPassantEvasionAndKingMovesAlongTheCheckingLine) {
    // d2d4 checked the Black king on c5; exd3 e.p. removes the checker.
    auto board = boardFromFen("8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1");
    ASSERT_TRUE(isInCheck(*board, BLACK));
    ASSERT_EQ(board->epFile, 4);
    MoveList list;
    const int count = generateEvasions(*board, list, 0);
    bool found = false;
    for (int i = 0; i < count; ++i) {
        const Move move = list.entries[i].move;
        if (moveText(move) == "e4d3") {
            found = true;
            EXPECT_TRUE(isEnPassant(move));
            EXPECT_EQ(board->makeMove(move), 1);
            EXPECT_EQ(board->mailbox[sq("d4")], NO_PIECE);
            board->unmakeMove(move);
        }
    }
    EXPECT_TRUE(found);

    // e1f1 looks safe with the king still on e1, so it is emitted; make
    // rejects it.
    board = boardFromFen("7k/8/8/8/8/8/8/r3K3 w - - ");
    const Move away = findMove(*board, "e1f1");
    ASSERT_NE(away, NO_MOVE);
    EXPECT_EQ(board->makeMove(away), 0);
    board->unmakeMove(away);
    EXPECT_TRUE(board->isConsistent());
}

// A move word met through a key collision may belong to the other colour:
// a pawn going the wrong way, or a double push of the wrong length, would set
// an en-passant file with no pawn behind it.
TEST_F(MoveGeneration, IsValidMoveRejectsPawnMovesOfTheOtherColour) {
    auto board = boardFromFen("4k3/8/8/8/8/8/4p3/6K1 b - - 0 1");
    EXPECT_FALSE(isValidMove(*board, makeMoveWord(sq("e2"), sq("e4"), PAWN, 0, 0, MOVE_DOUBLE_PUSH)));
    EXPECT_FALSE(isValidMove(*board, makeMoveWord(sq("e2"), sq("e3"), PAWN)));
    EXPECT_TRUE(isValidMove(*board, makeMoveWord(sq("e2"), sq("e1"), PAWN, 0, QUEEN)));
    auto white = boardFromFen("4k3/8/8/8/8/8/4P3/6K1 w - - 0 1");
    EXPECT_TRUE(isValidMove(*white, makeMoveWord(sq("e2"), sq("e4"), PAWN, 0, 0, MOVE_DOUBLE_PUSH)));
    EXPECT_FALSE(isValidMove(*white, makeMoveWord(sq("e2"), sq("e3"), PAWN, 0, 0, MOVE_DOUBLE_PUSH)));
}

TEST_F(MoveGeneration, IsValidMove) {
    auto board = boardFromFen("r3k2r/8/8/8/8/8/8/R2QK2R w KQkq - ");
    EXPECT_TRUE(isValidMove(*board, makeMoveWord(sq("d1"), sq("a4"), QUEEN)));
    EXPECT_TRUE(isValidMove(*board, makeMoveWord(sq("d1"), sq("d8"), QUEEN)));
    EXPECT_FALSE(isValidMove(*board, makeMoveWord(sq("d1"), sq("e3"), QUEEN)));  // not a queen line
    EXPECT_FALSE(isValidMove(*board, makeMoveWord(sq("a1"), sq("a8"), ROOK, QUEEN)));  // a8 holds a rook
    EXPECT_TRUE(isValidMove(*board, makeMoveWord(sq("a1"), sq("a8"), ROOK, ROOK)));
    EXPECT_FALSE(isValidMove(*board, makeMoveWord(sq("a1"), sq("a8"), ROOK)));  // capture without type
    EXPECT_FALSE(isValidMove(*board, makeMoveWord(sq("a1"), sq("a8"), QUEEN, ROOK)));  // wrong piece
    EXPECT_FALSE(isValidMove(*board, NO_MOVE));
    EXPECT_TRUE(isValidMove(*board, makeMoveWord(sq("e1"), sq("g1"), KING, 0, 0, MOVE_CASTLE)));
    EXPECT_FALSE(isValidMove(*board, makeMoveWord(sq("e1"), sq("c1"), KING, 0, 0, MOVE_CASTLE)));  // d1 occupied
    EXPECT_FALSE(isValidMove(*board, makeMoveWord(sq("e1"), sq("h1"), KING, 0, 0, MOVE_CASTLE)));

    // Castling while in check is rejected.
    board = boardFromFen("4r1k1/8/8/8/8/8/8/R3K2R w KQ - ");
    EXPECT_FALSE(isValidMove(*board, makeMoveWord(sq("e1"), sq("g1"), KING, 0, 0, MOVE_CASTLE)));
    EXPECT_FALSE(isValidMove(*board, makeMoveWord(sq("e1"), sq("c1"), KING, 0, 0, MOVE_CASTLE)));

    // Double push through an occupied square; en passant needs the pawn.
    board = boardFromFen("4k3/8/8/3pP3/8/4n3/4P3/4K3 w - d6 0 1");
    EXPECT_FALSE(isValidMove(*board, makeMoveWord(sq("e2"), sq("e4"), PAWN, 0, 0, MOVE_DOUBLE_PUSH)));
    EXPECT_TRUE(isValidMove(*board, makeMoveWord(sq("e5"), sq("d6"), PAWN, PAWN, 0, MOVE_EN_PASSANT)));
    EXPECT_FALSE(isValidMove(*board, makeMoveWord(sq("e5"), sq("f6"), PAWN, PAWN, 0, MOVE_EN_PASSANT)));
    board = boardFromFen("4k3/8/8/3pP3/8/8/4P3/4K3 w - - 0 1");
    EXPECT_FALSE(isValidMove(*board, makeMoveWord(sq("e5"), sq("d6"), PAWN, PAWN, 0, MOVE_EN_PASSANT)));
    EXPECT_TRUE(isValidMove(*board, makeMoveWord(sq("e2"), sq("e4"), PAWN, 0, 0, MOVE_DOUBLE_PUSH)));

    // Every generated move is valid in its own position.
    for (const char* fen : {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
                            "8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1", "3r1k2/4P3/8/8/8/8/8/4K3 w - - "}) {
        board = boardFromFen(fen);
        MoveList list;
        const int count = generateAll(*board, list, 0, isInCheck(*board, static_cast<int>(board->side)));
        for (int i = 0; i < count; ++i) EXPECT_TRUE(isValidMove(*board, list.entries[i].move)) << fen << " " << moveText(list.entries[i].move);
    }
}

}  // namespace
}  // namespace tarvok::test
