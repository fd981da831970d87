// SPDX-License-Identifier: GPL-3.0-or-later
// Moves: generation over the table in movegen.txt (emission order, castling
// conditions, check evasions, legal counts, isValidMove), the fixed-size
// stores it writes (the MoveList, the ply and key stacks, the game record),
// and move text in and out over the table in movetext.txt.
#include "board/movegen.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "board/board_test_helpers.h"
#include "board/game_record.h"
#include "board/legal_count.h"
#include "board/move_text.h"
#include "test_support/board_compare.h"

namespace tarvok::test {
namespace {

class MoveGeneration : public BoardTest {};

const std::string kLetters = " pnbrqk";

// Coordinates, then the captured piece and the special-move flags.
std::string describe(Move move) {
    std::string text = coordinateText(move);
    if (moveCaptured(move) != NO_PIECE) text += std::string("x") + kLetters[moveCaptured(move)];
    return text + (isDoublePush(move) ? "+dp" : "") + (isEnPassant(move) ? "+ep" : "") + (isCastle(move) ? "+oo" : "");
}

std::string listed(const MoveList& list, int count, bool castlesOnly = false) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (castlesOnly && !isCastle(list.entries[i].move)) continue;
        text += (text.empty() ? "" : " ") + describe(list.entries[i].move);
    }
    return text.empty() ? "none" : text;
}

// "e5d6:Pxp+ep" -> the move word.
Move parseWord(const std::string& word) {
    const auto letter = [&](char mark) {
        const size_t at = word.find(mark);
        if (at == std::string::npos) return 0;
        const char piece = static_cast<char>(tolower(word[at + 1]));
        return static_cast<int>(kLetters.find(piece));
    };
    const Move flags = word.find("+dp") != std::string::npos   ? MOVE_DOUBLE_PUSH
                       : word.find("+ep") != std::string::npos ? MOVE_EN_PASSANT
                       : word.find("+oo") != std::string::npos ? MOVE_CASTLE
                                                               : 0;
    return makeMoveWord(sq(word.c_str()), sq(word.c_str() + 2), letter(':'), letter('x'), letter('='), flags);
}

TEST_F(MoveGeneration, Table) {
    MoveList list, scratch;
    for (const auto& row : boardTable("movegen.txt")) {
        const std::string& kind = row.at(1);
        SCOPED_TRACE(row[0] + " | " + kind + " | " + row.at(2));
        auto board = boardFromFen(row[0].c_str());
        const bool inCheck = isInCheck(*board, static_cast<int>(board->side));
        std::string got = "unknown kind " + kind;
        if (kind == "captures") got = listed(list, generateCaptures(*board, list, 0));
        if (kind == "quiets") got = listed(list, generateQuiets(*board, list, 0));
        if (kind == "castles") got = listed(list, generateQuiets(*board, list, 0), true);
        if (kind == "evasions") got = listed(list, generateEvasions(*board, list, 0));
        if (kind == "all") got = listed(list, generateAll(*board, list, 0, inCheck));
        if (kind == "legal") {
            got = std::to_string(countLegalMoves(*board, scratch)) +
                  (isCheckmate(*board, scratch) ? " mate" : inCheck ? " check" : "");
        }
        if (kind == "valid") got = isValidMove(*board, parseWord(row[2])) == (row.at(3) == "yes") ? row[2] : "wrong";
        EXPECT_EQ(got, row[2]);
        // The fast counter agrees with making the moves everywhere.
        EXPECT_EQ(countLegalMovesFast(*board), countLegalMoves(*board, scratch));
        // Every generated move is valid in its own position.
        const int count = generateAll(*board, list, 0, inCheck);
        for (int i = 0; i < count; ++i) EXPECT_TRUE(isValidMove(*board, list.entries[i].move)) << i;
        EXPECT_FALSE(isValidMove(*board, NO_MOVE));
    }
}

struct GuardedList {
    MoveList list;
    uint32_t guard[64];
};

TEST_F(MoveGeneration, MoveListIsFilledToCapacityAndNoFurther) {
    // Nine queens and more: about as many pseudo-legal moves as FEN admits.
    auto board = boardFromFen("3Q4/1Q4Q1/4Q3/2Q4R/Q4Q2/3Q4/1Q4R1/1K1BBNNk w - - ");
    auto guarded = std::make_unique<GuardedList>();
    const int total = generateAll(*board, guarded->list, 0, false);
    ASSERT_TRUE(total > 200 && total < kMaxMoves) << total;
    const std::vector<MoveEntry> full(guarded->list.entries, guarded->list.entries + kMaxMoves - 100);
    // Starting late in the list, the generators stop at its last entry and
    // leave the entries before the first one alone.
    std::memset(guarded.get(), 0xA5, sizeof *guarded);
    EXPECT_EQ(generateAll(*board, guarded->list, 100, false), kMaxMoves - 100);
    for (int i = 100; i < kMaxMoves; ++i) EXPECT_EQ(guarded->list.entries[i].move, full[i - 100].move) << i;
    for (int i = 0; i < 100; ++i) EXPECT_EQ(guarded->list.entries[i].move, 0xA5A5A5A5u);
    // A full list takes nothing more, whatever entry the caller names; evasions neither.
    EXPECT_EQ(generateQuiets(*board, guarded->list, kMaxMoves), 0);
    EXPECT_EQ(generateCaptures(*board, guarded->list, kMaxMoves + 50), 0);
    board = boardFromFen("3Q4/1Q4Q1/4Q3/2Q4R/Q4Q2/3Q4/1Q4R1/1K1BBNNk b - - ");
    ASSERT_TRUE(isInCheck(*board, BLACK));
    EXPECT_LE(generateEvasions(*board, guarded->list, kMaxMoves - 1), 1);
    for (uint32_t word : guarded->guard) EXPECT_EQ(word, 0xA5A5A5A5u);
}

TEST_F(MoveGeneration, StacksFillToTheirCapacity) {
    auto board = boardFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    auto start = std::make_unique<Board>(*board);
    const char* cycle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    int made = 0;
    while (board->hasRoomForPly() && !HasFatalFailure()) playMoves(*board, cycle[made++ % 4]);
    EXPECT_EQ(made, kMaxPlyRecords);
    EXPECT_EQ(board->keyHistoryCount, static_cast<uint32_t>(kMaxPlyRecords));
    EXPECT_EQ(board->halfmoveClock, kMaxPlyRecords % 256);
    EXPECT_TRUE(board->isConsistent());
    // The position repeats every four plies.
    EXPECT_EQ(board->keyHistory[kMaxPlyRecords - 4], board->hashKey);
    // With the stack full, counting legal moves cannot make them: it counts
    // on the bitboards instead, still right, and leaves the board alone.
    auto full = std::make_unique<Board>(*board);
    MoveList scratch;
    EXPECT_EQ(countLegalMoves(*board, scratch), 20);
    EXPECT_TRUE(sameBoard(*full, *board));
    while (board->plyCount > 0) board->unmakeMove(board->plyRecords[board->plyCount - 1].move);
    EXPECT_TRUE(sameBoard(*start, *board));
}

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

// Each row on a fresh game; a rejected text must leave board, stacks and
// record exactly as before.
TEST_F(MoveGeneration, MoveTextTable) {
    for (const auto& row : boardTable("movetext.txt")) {
        const std::string& text = row.at(1);
        const std::string name = row[0] + " | " + row[1];
        Game game(row[0].c_str());
        const auto expected = std::make_unique<Board>(*game.board);
        const bool rejected = row.at(2) == "reject";
        EXPECT_EQ(game.play(text), rejected ? 0 : 1) << name;
        const Move move = game.record->lastRecorded();
        EXPECT_EQ(game.record->gameLength + game.record->gameIndex, rejected ? 0u : 2u) << name;
        if (!rejected) {
            EXPECT_EQ(textOf(move), row[2]) << name;
            EXPECT_EQ(coordinateText(move), text.size() == 4 && movePromotion(move) == QUEEN ? text + "q" : text);
            expected->makeMove(move);
        }
        EXPECT_TRUE(sameBoard(*expected, *game.board)) << name;
    }
    MoveList scratch;
    EXPECT_EQ(findMoveText(*boardFromFen("8/8/8/8/8/8/8/K6k w - -"), scratch, nullptr), NO_MOVE);
    EXPECT_EQ(textOf(NO_MOVE), "");
}

TEST_F(MoveGeneration, GameRecordAcrossTakeBacksAndWhenFull) {
    Game game("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    const auto start = std::make_unique<Board>(*game.board);
    EXPECT_EQ(takeBackGameMove(*game.board, *game.record), 0);
    for (const char* text : {"e2e4", "e7e5", "g1f3"}) ASSERT_EQ(game.play(text), 1) << text;
    EXPECT_EQ(game.record->gameLength, 3u);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(takeBackGameMove(*game.board, *game.record), 1);
    EXPECT_TRUE(game.record->gameIndex == 1 && game.record->gameLength == 1);
    EXPECT_EQ(textOf(game.record->lastRecorded()), "e2-e4");
    // A move after the take-back replaces the ones that followed.
    ASSERT_EQ(game.play("d7d5"), 1);
    EXPECT_EQ(game.record->gameLength, 2u);
    EXPECT_EQ(textOf(game.record->gameMoves[1].move), "d7-d5");
    EXPECT_EQ(game.board->hashKey,
              boardFromFen("rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 2")->hashKey);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(takeBackGameMove(*game.board, *game.record), i < 2 ? 1 : 0);
    EXPECT_TRUE(sameBoard(*start, *game.board));
    // A full record refuses further moves, and takes one again after a step back.
    for (int i = 0; i < kMaxGameMoves; ++i) ASSERT_TRUE(game.record->append(game.record->gameMoves[0].move));
    EXPECT_TRUE(game.record->isFull());
    *start = *game.board;
    EXPECT_EQ(game.play("e2e4"), 0);
    EXPECT_TRUE(sameBoard(*start, *game.board));
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
