// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/move_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "board/board_test_helpers.h"
#include "board/game_record.h"
#include "board/movegen.h"
#include "test_support/board_compare.h"

namespace tarvok {
namespace {

using test::sameBoard;
using test::sq;

// A board with its game record and scratch list, as the engine holds them.
struct Game {
    std::unique_ptr<Board> board;
    std::unique_ptr<GameRecord> record = std::make_unique<GameRecord>();
    MoveList scratch{};

    explicit Game(const char* fen) : board(test::boardFromFen(fen)) { record->clear(); }
    int play(const char* text) { return playMoveText(*board, *record, scratch, text); }
};

constexpr const char* kStart = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

std::string textOf(Move move) {
    char text[kMoveTextSize];
    std::memset(text, '#', sizeof text);
    moveToText(move, text);
    return text;
}

// Every rejected text must leave board, stacks and record exactly as before.
void expectRejected(Game& game, const char* text) {
    const auto before = std::make_unique<Board>(*game.board);
    const auto recordBefore = std::make_unique<GameRecord>(*game.record);
    EXPECT_EQ(game.play(text), 0) << '"' << text << '"';
    EXPECT_TRUE(sameBoard(*before, *game.board)) << '"' << text << '"';
    EXPECT_EQ(game.board->keyHistoryCount, before->keyHistoryCount);
    EXPECT_EQ(game.record->gameLength, recordBefore->gameLength);
    EXPECT_EQ(game.record->gameIndex, recordBefore->gameIndex);
    for (uint32_t i = 0; i < recordBefore->gameLength; ++i)
        EXPECT_EQ(game.record->gameMoves[i].move, recordBefore->gameMoves[i].move);
}

class PlayMoveTextTest : public test::BoardTest {};

TEST_F(PlayMoveTextTest, DoubleStepIsPlayedAndRecorded) {
    Game game(kStart);
    ASSERT_EQ(game.play("e2e4"), 1);
    const Move move = game.record->gameMoves[0].move;
    EXPECT_EQ(moveFrom(move), sq("e2"));
    EXPECT_EQ(moveTo(move), sq("e4"));
    EXPECT_TRUE(isDoublePush(move));
    EXPECT_EQ(game.record->gameIndex, 1u);
    EXPECT_EQ(game.record->gameLength, 1u);
    EXPECT_EQ(game.board->side, static_cast<uint32_t>(BLACK));
    EXPECT_EQ(game.board->epFile, 5);
    EXPECT_EQ(game.board->plyCount, 1u);
    EXPECT_EQ(game.board->keyHistoryCount, 1u);
    ASSERT_EQ(game.play("e7e5"), 1);
    EXPECT_EQ(game.record->gameIndex, 2u);
    EXPECT_EQ(game.record->lastRecorded(), game.record->gameMoves[1].move);
}

TEST_F(PlayMoveTextTest, PromotionLetterChoosesThePieceAndQueenIsTheDefault) {
    const char* fen = "k7/4P3/8/8/8/8/8/4K3 w - - 0 1";
    struct Case {
        const char* text;
        int promotion;
    } cases[] = {{"e7e8", QUEEN}, {"e7e8q", QUEEN}, {"e7e8r", ROOK}, {"e7e8b", BISHOP}, {"e7e8n", KNIGHT}};
    for (const Case& c : cases) {
        Game game(fen);
        ASSERT_EQ(game.play(c.text), 1) << c.text;
        EXPECT_EQ(movePromotion(game.record->lastRecorded()), c.promotion) << c.text;
        EXPECT_EQ(game.board->mailbox[sq("e8")], c.promotion) << c.text;
    }
    // A Black capture-promotion without a letter also becomes a queen.
    Game black("4k3/8/8/8/8/8/3p4/2N1K3 b - - 0 1");
    ASSERT_EQ(black.play("d2c1"), 1);
    EXPECT_EQ(movePromotion(black.record->lastRecorded()), QUEEN);
    EXPECT_EQ(moveCaptured(black.record->lastRecorded()), KNIGHT);
}

TEST_F(PlayMoveTextTest, MalformedTextsAreRejectedWithoutChange) {
    Game promotion("k7/4P3/8/8/8/8/8/4K3 w - - 0 1");
    for (const char* text : {"e7e8Q", "e7e8k", "e7e8p", "e7e8 ", "e7e8qq"}) expectRejected(promotion, text);

    Game game(kStart);
    for (const char* text : {"e2e4q", "O-O", "0000", "e9e4", "e2e45", "", "e2", "e2e", "E2E4", "e2E4", "i2i4",
                             "e0e4", "e2e4\r", "e2e4 ", " e2e4", "e3e4", "e2e5", "e7e5", "a1a1"})
        expectRejected(game, text);
    EXPECT_EQ(findMoveText(*game.board, game.scratch, nullptr), NO_MOVE);
}

TEST_F(PlayMoveTextTest, CastlingIsTheKingsTwoSquareMove) {
    Game game("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    ASSERT_EQ(game.play("e1g1"), 1);
    EXPECT_TRUE(isCastle(game.record->lastRecorded()));
    EXPECT_EQ(game.board->mailbox[sq("g1")], KING);
    EXPECT_EQ(game.board->mailbox[sq("f1")], ROOK);
    ASSERT_EQ(game.play("e8c8"), 1);
    EXPECT_TRUE(isCastle(game.record->lastRecorded()));
    EXPECT_EQ(game.board->mailbox[sq("c8")], KING);
    EXPECT_EQ(game.board->mailbox[sq("d8")], ROOK);

    // Without the rights the same texts name no generated move.
    Game noRights("r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1");
    expectRejected(noRights, "e1g1");
    expectRejected(noRights, "e1c1");
    // Castling out of check is not generated either.
    Game inCheck("r3k2r/8/8/8/8/8/4r3/R3K2R w KQkq - 0 1");
    expectRejected(inCheck, "e1g1");
}

TEST_F(PlayMoveTextTest, IllegalMovesAreRejectedWithoutChange) {
    Game pinned("4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1");
    expectRejected(pinned, "e2c3");
    expectRejected(pinned, "e2g1");
    // The king may not step into an attacked square.
    Game king("3rk3/8/8/8/8/8/8/4K3 w - - 0 1");
    expectRejected(king, "e1d2");
    EXPECT_EQ(king.play("e1e2"), 1);
    // In check only evasions are generated: an unrelated move is refused.
    Game check("4k3/8/8/8/8/8/4r3/R3K3 w - - 0 1");
    expectRejected(check, "a1a2");
    EXPECT_EQ(check.play("e1e2"), 1);
}

TEST_F(PlayMoveTextTest, NewMoveAfterTakeBackReplacesTheTakenBackEntry) {
    Game game(kStart);
    ASSERT_EQ(game.play("e2e4"), 1);
    ASSERT_EQ(game.play("e7e5"), 1);
    ASSERT_EQ(game.play("g1f3"), 1);
    ASSERT_EQ(takeBackGameMove(*game.board, *game.record), 1);
    ASSERT_EQ(takeBackGameMove(*game.board, *game.record), 1);
    ASSERT_EQ(game.play("d7d5"), 1);
    EXPECT_EQ(game.record->gameIndex, 2u);
    EXPECT_EQ(game.record->gameLength, 2u);
    EXPECT_EQ(moveFrom(game.record->gameMoves[1].move), sq("d7"));
    EXPECT_EQ(game.record->lastRecorded(), game.record->gameMoves[1].move);
    EXPECT_EQ(game.board->plyCount, 2u);
    const auto expected = test::boardFromFen("rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 2");
    EXPECT_EQ(game.board->hashKey, expected->hashKey);
}

TEST_F(PlayMoveTextTest, FullRecordRefusesFurtherMoves) {
    Game game(kStart);
    game.record->gameIndex = game.record->gameLength = kMaxGameMoves;
    expectRejected(game, "e2e4");
}

class MoveToTextTest : public test::BoardTest {};

TEST_F(MoveToTextTest, GeneratedMovesInLongAlgebraicForm) {
    struct Case {
        const char* fen;
        const char* coordinates;
        const char* text;
    } cases[] = {
        {"4k3/8/5p2/8/6N1/8/8/4K3 w - - 0 1", "g4f6", "Ng4xf6"},
        {kStart, "a2a3", "a2-a3"},
        {kStart, "g1f3", "Ng1-f3"},
        {kStart, "e2e4", "e2-e4"},
        {"4k3/8/7p/8/8/8/8/2B1K3 w - - 0 1", "c1h6", "Bc1xh6"},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", "e5xd6e.p"},
        {"k7/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8", "e7-e8=Q"},
        {"k1n5/3P4/8/8/8/8/8/4K3 w - - 0 1", "d7c8n", "d7xc8=N"},
        {"k1n5/3P4/8/8/8/8/8/4K3 w - - 0 1", "d7d8r", "d7-d8=R"},
        {"k7/3P4/8/8/8/8/8/4K3 w - - 0 1", "d7d8b", "d7-d8=B"},
        {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", "e1e2", "Ke1-e2"},
        {"4k3/8/8/8/8/8/8/3QK3 w - - 0 1", "d1d8", "Qd1-d8"},
        {"4k3/8/8/8/8/8/8/R3K3 w Q - 0 1", "a1a8", "Ra1-a8"},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1", "O-O"},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1c1", "O-O-O"},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8g8", "O-O"},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8c8", "O-O-O"},
        {"4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 1", "d4e3", "d4xe3e.p"},
    };
    for (const Case& c : cases) {
        const auto board = test::boardFromFen(c.fen);
        MoveList scratch{};
        const Move move = findMoveText(*board, scratch, c.coordinates);
        ASSERT_NE(move, NO_MOVE) << c.fen << " " << c.coordinates;
        EXPECT_EQ(textOf(move), c.text) << c.fen << " " << c.coordinates;
    }
}

TEST_F(MoveToTextTest, NoMoveGivesTheEmptyText) { EXPECT_EQ(textOf(NO_MOVE), ""); }

TEST_F(MoveToTextTest, CoordinateTextRoundTripsThroughTheParser) {
    const auto board = test::boardFromFen("r3k2r/1P6/8/3pP3/8/8/8/R3K2R w KQkq d6 0 1");
    MoveList list{};
    MoveList scratch{};
    char text[kMoveTextSize];
    const int count = generateAll(*board, list, 0, false);
    ASSERT_GT(count, 0);
    for (int i = 0; i < count; ++i) {
        const Move move = list.entries[i].move;
        moveToCoordinates(move, text);
        ASSERT_LE(std::strlen(text), 5u);
        EXPECT_EQ(findMoveText(*board, scratch, text), move) << text;
    }
}

}  // namespace
}  // namespace tarvok
