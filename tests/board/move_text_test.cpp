// SPDX-License-Identifier: GPL-3.0-or-later
// Coordinate text in, long algebraic and coordinate text out over the table
// in movetext.txt, and the game record across take-backs and when full.
#include "board/move_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "board/board_test_helpers.h"
#include "board/game_record.h"
#include "board/movegen.h"
#include "test_support/board_compare.h"

namespace tarvok::test {
namespace {

// A board with its game record and scratch list, as the engine holds them.
struct Game {
    std::unique_ptr<Board> board;
    std::unique_ptr<GameRecord> record = std::make_unique<GameRecord>();
    MoveList scratch{};

    explicit Game(const char* fen) : board(boardFromFen(fen)) { record->clear(); }
    int play(const std::string& text) { return playMoveText(*board, *record, scratch, text.c_str()); }
};

std::string textOf(Move move) {
    char text[kMoveTextSize];
    std::memset(text, '#', sizeof text);
    moveToText(move, text);
    return text;
}

// A rejected text must leave board, stacks and record exactly as before.
void expectRejected(Game& game, const std::string& text) {
    const auto before = std::make_unique<Board>(*game.board);
    const auto recordBefore = std::make_unique<GameRecord>(*game.record);
    EXPECT_EQ(game.play(text), 0) << '"' << text << '"';
    EXPECT_TRUE(sameBoard(*before, *game.board)) << '"' << text << '"';
    EXPECT_EQ(game.record->gameLength, recordBefore->gameLength);
    EXPECT_EQ(game.record->gameIndex, recordBefore->gameIndex);
    for (uint32_t i = 0; i < recordBefore->gameLength; ++i)
        EXPECT_EQ(game.record->gameMoves[i].move, recordBefore->gameMoves[i].move);
}

class MoveText : public BoardTest {};

TEST_F(MoveText, Table) {
    for (const auto& row : readTable("movetext.txt")) {
        ASSERT_EQ(row.size(), 3u);
        Game game(row[0].c_str());
        if (row[2] == "reject") {
            expectRejected(game, row[1]);
            continue;
        }
        const auto before = std::make_unique<Board>(*game.board);
        ASSERT_EQ(game.play(row[1]), 1) << row[0] << " " << row[1];
        const Move move = game.record->lastRecorded();
        EXPECT_EQ(textOf(move), row[2]) << row[0] << " " << row[1];
        EXPECT_EQ(coordinateText(move), row[1].size() == 4 && movePromotion(move) == QUEEN ? row[1] + "q" : row[1]);
        EXPECT_EQ(game.record->gameLength, 1u);
        EXPECT_EQ(game.board->plyCount, 1u);
        before->makeMove(move);
        EXPECT_TRUE(sameBoard(*before, *game.board)) << row[0] << " " << row[1];
    }
    Game game("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    expectRejected(game, "e2e4\r");
    EXPECT_EQ(findMoveText(*game.board, game.scratch, nullptr), NO_MOVE);
    EXPECT_EQ(textOf(NO_MOVE), "");
}

TEST_F(MoveText, RecordAcrossTakeBacksAndWhenFull) {
    Game game("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    const auto start = std::make_unique<Board>(*game.board);
    EXPECT_EQ(takeBackGameMove(*game.board, *game.record), 0);
    for (const char* text : {"e2e4", "e7e5", "g1f3"}) ASSERT_EQ(game.play(text), 1) << text;
    EXPECT_EQ(game.record->gameLength, 3u);
    EXPECT_EQ(takeBackGameMove(*game.board, *game.record), 1);
    EXPECT_EQ(takeBackGameMove(*game.board, *game.record), 1);
    EXPECT_EQ(game.record->gameIndex, 1u);
    EXPECT_EQ(game.record->gameLength, 1u);
    EXPECT_EQ(textOf(game.record->lastRecorded()), "e2-e4");
    // A move after the take-back replaces the ones that followed.
    ASSERT_EQ(game.play("d7d5"), 1);
    EXPECT_EQ(game.record->gameLength, 2u);
    EXPECT_EQ(textOf(game.record->gameMoves[1].move), "d7-d5");
    EXPECT_EQ(game.board->hashKey,
              boardFromFen("rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 2")->hashKey);
    EXPECT_EQ(takeBackGameMove(*game.board, *game.record), 1);
    EXPECT_EQ(takeBackGameMove(*game.board, *game.record), 1);
    EXPECT_EQ(takeBackGameMove(*game.board, *game.record), 0);
    EXPECT_TRUE(sameBoard(*start, *game.board));
    // A full record refuses further moves, and takes one again after a step back.
    for (int i = 0; i < kMaxGameMoves; ++i) ASSERT_TRUE(game.record->append(game.record->gameMoves[0].move));
    EXPECT_TRUE(game.record->isFull());
    expectRejected(game, "e2e4");
    EXPECT_FALSE(game.record->append(NO_MOVE));
    EXPECT_EQ(game.record->gameLength, static_cast<uint32_t>(kMaxGameMoves));
    EXPECT_EQ(game.record->lastRecorded(), game.record->gameMoves[0].move);
    game.record->gameIndex = kMaxGameMoves - 10;
    EXPECT_FALSE(game.record->isFull());
    EXPECT_TRUE(game.record->append(NO_MOVE));
    EXPECT_EQ(game.record->gameLength, static_cast<uint32_t>(kMaxGameMoves - 9));
    EXPECT_EQ(game.record->lastRecorded(), NO_MOVE);
}

}  // namespace
}  // namespace tarvok::test
