// SPDX-License-Identifier: GPL-3.0-or-later
// Make and unmake: the incremental fields of special moves, legality
// reports, the halfmove clock, legal-move counting and the game record.
#include <gtest/gtest.h>

#include "board/board_test_helpers.h"
#include "board/game_record.h"
#include "board/movegen.h"
#include "board/zobrist.h"
#include "test_support/board_compare.h"

namespace tarvok::test {
namespace {

class MakeMove : public BoardTest {
   protected:
    // Makes the move, checks key and sums, unmakes it and checks that the
    // board is back; returns make's result.
    int makeAndUndo(Board& board, const char* text) {
        const Move move = findMove(board, text);
        EXPECT_NE(move, NO_MOVE) << text;
        if (move == NO_MOVE) return -1;
        auto before = std::make_unique<Board>(board);
        const int legal = board.makeMove(move);
        EXPECT_EQ(board.hashKey, board.computeKey()) << text;
        EXPECT_TRUE(board.isConsistent()) << text;
        board.unmakeMove(move);
        EXPECT_TRUE(sameBoard(*before, board)) << text;
        return legal;
    }
};

TEST_F(MakeMove, DoublePushSetsAndReplyClearsTheEnPassantFile) {
    auto board = std::make_unique<Board>();
    board->setStartArray();
    const HashKey start = board->hashKey;
    playMoves(*board, "e2e4");
    EXPECT_EQ(board->epFile, 5);
    EXPECT_EQ(board->hashKey, start ^ pieceKey(WHITE, PAWN, sq("e2")) ^ pieceKey(WHITE, PAWN, sq("e4")) ^
                                  kZobrist.enPassant[4] ^ kZobrist.side);
    EXPECT_EQ(board->halfmoveClock, 0);
    EXPECT_EQ(board->keyHistoryCount, 1u);
    EXPECT_EQ(board->keyHistory[0], start);
    EXPECT_EQ(board->plyRecords[0].key, start);
    playMoves(*board, "g8f6");
    EXPECT_EQ(board->epFile, 0);
    EXPECT_EQ(board->hashKey, board->computeKey());
}

TEST_F(MakeMove, PromotionUpdatesMaterialAndPhase) {
    auto board = boardFromFen("8/4P2k/8/8/8/8/8/4K3 w - - ");
    const int material = board->material[WHITE], phase = board->phaseCount[WHITE];
    const Move move = findMove(*board, "e7e8q");
    ASSERT_EQ(board->makeMove(move), 1);
    EXPECT_EQ(board->material[WHITE], material + 875);
    EXPECT_EQ(board->phaseCount[WHITE], phase + 4);
    EXPECT_EQ(board->pieceCount[WHITE][PAWN], 0);
    EXPECT_EQ(board->pieceCount[WHITE][QUEEN], 1);
    EXPECT_EQ(board->mailbox[sq("e8")], QUEEN);
    EXPECT_EQ(board->stage, 2u);
    EXPECT_TRUE(board->isConsistent());
    board->unmakeMove(move);
    EXPECT_EQ(board->material[WHITE], material);
    EXPECT_EQ(board->phaseCount[WHITE], phase);
    EXPECT_EQ(board->stage, 3u);
    EXPECT_EQ(makeAndUndo(*board, "e7e8n"), 1);
}

TEST_F(MakeMove, CastlingRightsAndTheirKeys) {
    auto board = boardFromFen("r3k2r/8/8/8/8/8/1B6/R3K2R w KQkq - ");
    // The bishop takes the h8 rook: only Black's king-side right goes, and
    // the key changes by that right's key alone besides the pieces.
    HashKey before = board->hashKey;
    Move move = findMove(*board, "b2h8");
    ASSERT_EQ(board->makeMove(move), 1);
    EXPECT_EQ(board->castleRights, CASTLE_WK | CASTLE_WQ | CASTLE_BQ);
    EXPECT_EQ(board->hashKey, before ^ pieceKey(WHITE, BISHOP, sq("b2")) ^ pieceKey(WHITE, BISHOP, sq("h8")) ^
                                  pieceKey(BLACK, ROOK, sq("h8")) ^ kZobrist.castleRight[2] ^ kZobrist.side);
    board->unmakeMove(move);
    EXPECT_EQ(board->castleRights, 15);
    EXPECT_EQ(board->hashKey, before);

    // A rook leaving its corner loses its own right only.
    move = findMove(*board, "h1h5");
    ASSERT_EQ(board->makeMove(move), 1);
    EXPECT_EQ(board->castleRights, CASTLE_WQ | CASTLE_BK | CASTLE_BQ);
    EXPECT_EQ(board->hashKey, before ^ pieceKey(WHITE, ROOK, sq("h1")) ^ pieceKey(WHITE, ROOK, sq("h5")) ^
                                  kZobrist.castleRight[0] ^ kZobrist.side);
    board->unmakeMove(move);

    // Castling moves the rook and clears both rights of the mover.
    move = findMove(*board, "e1g1");
    ASSERT_TRUE(isCastle(move));
    ASSERT_EQ(board->makeMove(move), 1);
    EXPECT_EQ(board->mailbox[sq("f1")], ROOK);
    EXPECT_EQ(board->mailbox[sq("h1")], NO_PIECE);
    EXPECT_EQ(board->mailbox[sq("g1")], KING);
    EXPECT_EQ(board->kingSquare[WHITE], static_cast<uint32_t>(sq("g1")));
    EXPECT_EQ(board->castleRights, CASTLE_BK | CASTLE_BQ);
    EXPECT_EQ(board->hashKey, board->computeKey());
    const Move reply = findMove(*board, "e8c8");
    ASSERT_EQ(board->makeMove(reply), 1);
    EXPECT_EQ(board->mailbox[sq("d8")], ROOK);
    EXPECT_EQ(board->mailbox[sq("a8")], NO_PIECE);
    EXPECT_EQ(board->castleRights, 0);
    EXPECT_TRUE(board->isConsistent());
    board->unmakeMove(reply);
    board->unmakeMove(move);
    EXPECT_EQ(board->hashKey, before);

    // A pawn capturing a corner rook while promoting also clears the right.
    board = boardFromFen("r3k2r/6P1/8/8/8/8/8/4K3 w kq - ");
    move = findMove(*board, "g7h8q");
    ASSERT_EQ(board->makeMove(move), 1);
    EXPECT_EQ(board->castleRights, CASTLE_BQ);
    board->unmakeMove(move);
    EXPECT_EQ(board->castleRights, CASTLE_BK | CASTLE_BQ);
}

TEST_F(MakeMove, EnPassantRemovesThePawnBehindTheTarget) {
    auto board = boardFromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    const Move move = findMove(*board, "e5d6");
    ASSERT_TRUE(isEnPassant(move));
    ASSERT_EQ(board->makeMove(move), 1);
    EXPECT_EQ(board->mailbox[sq("d5")], NO_PIECE);
    EXPECT_EQ(board->mailbox[sq("d6")], PAWN);
    EXPECT_EQ(board->pieces[BLACK][PAWN], 0u);
    EXPECT_EQ(board->occupied & bit("d5"), 0u);
    EXPECT_TRUE(board->isConsistent());
    board->unmakeMove(move);
    EXPECT_EQ(makeAndUndo(*board, "e5d6"), 1);
    // Black takes en passant on rank 3.
    board = boardFromFen("4k3/8/8/8/3Pp3/8/8/4K3 b - d3 0 1");
    EXPECT_EQ(makeAndUndo(*board, "e4d3"), 1);
}

TEST_F(MakeMove, PinnedPieceIsMadeAndReportedIllegal) {
    auto board = boardFromFen("4r1k1/8/8/8/8/8/4N3/4K3 w - - ");
    EXPECT_EQ(makeAndUndo(*board, "e2c3"), 0);
    // Capturing the pinning rook is fine; an en-passant capture that opens
    // the rank to the own king is not.
    board = boardFromFen("8/8/8/K2pP2r/8/8/8/7k w - d6 0 1");
    EXPECT_EQ(makeAndUndo(*board, "e5d6"), 0);
    EXPECT_EQ(makeAndUndo(*board, "e5e6"), 1);
}

TEST_F(MakeMove, HalfmoveClockCountsResetsAndWraps) {
    auto board = boardFromFen("4k3/8/8/8/8/8/4P3/4K1N1 w - - 253 1");
    playMoves(*board, "g1f3 e8d8");
    EXPECT_EQ(board->halfmoveClock, 255);
    playMoves(*board, "f3g1");
    EXPECT_EQ(board->halfmoveClock, 0);  // unsigned 8-bit
    playMoves(*board, "d8e8 e2e4");
    EXPECT_EQ(board->halfmoveClock, 0);  // pawn move
    playMoves(*board, "e8d7 g1f3 d7d6 f3e5 d6e5");
    EXPECT_EQ(board->halfmoveClock, 0);  // capture
    while (board->plyCount > 0) board->unmakeMove(board->plyRecords[board->plyCount - 1].move);
    EXPECT_EQ(board->halfmoveClock, 253);
}

TEST_F(MakeMove, CountLegalMovesAndCheckmate) {
    MoveList scratch;
    auto board = std::make_unique<Board>();
    board->setStartArray();
    EXPECT_EQ(countLegalMoves(*board, scratch), 20);
    EXPECT_FALSE(isCheckmate(*board, scratch));
    playMoves(*board, "f2f3 e7e5 g2g4 d8h4");
    EXPECT_EQ(countLegalMoves(*board, scratch), 0);
    EXPECT_TRUE(isCheckmate(*board, scratch));
    // Stalemate: no legal move but not mate.
    board = boardFromFen("7k/5Q2/6K1/8/8/8/8/8 b - - ");
    EXPECT_EQ(countLegalMoves(*board, scratch), 0);
    EXPECT_FALSE(isCheckmate(*board, scratch));
    // In check with an escape.
    board = boardFromFen("7k/8/8/8/8/8/8/K6R b - - ");
    EXPECT_EQ(countLegalMoves(*board, scratch), 2);
    EXPECT_FALSE(isCheckmate(*board, scratch));
}

TEST_F(MakeMove, GameRecordTakeBack) {
    auto board = std::make_unique<Board>();
    board->setStartArray();
    auto start = std::make_unique<Board>(*board);
    auto record = std::make_unique<GameRecord>();
    record->clear();
    EXPECT_EQ(takeBackGameMove(*board, *record), 0);
    EXPECT_TRUE(sameBoard(*start, *board));
    for (const char* text : {"e2e4", "e7e5", "g1f3"}) {
        const Move move = findMove(*board, text);
        ASSERT_EQ(board->makeMove(move), 1);
        ASSERT_TRUE(record->append(move));
    }
    EXPECT_EQ(record->gameLength, 3u);
    EXPECT_EQ(takeBackGameMove(*board, *record), 1);
    EXPECT_EQ(takeBackGameMove(*board, *record), 1);
    EXPECT_EQ(record->gameIndex, 1u);
    EXPECT_EQ(record->gameLength, 1u);
    EXPECT_EQ(record->lastRecorded(), findMove(*start, "e2e4"));
    EXPECT_EQ(board->plyCount, 1u);
    // A move after the take-back replaces the ones that followed.
    const Move other = findMove(*board, "c7c5");
    ASSERT_EQ(board->makeMove(other), 1);
    ASSERT_TRUE(record->append(other));
    EXPECT_EQ(record->gameLength, 2u);
    EXPECT_EQ(record->lastRecorded(), other);
    EXPECT_EQ(takeBackGameMove(*board, *record), 1);
    EXPECT_EQ(takeBackGameMove(*board, *record), 1);
    EXPECT_EQ(takeBackGameMove(*board, *record), 0);
    EXPECT_TRUE(sameBoard(*start, *board));
}

}  // namespace
}  // namespace tarvok::test
