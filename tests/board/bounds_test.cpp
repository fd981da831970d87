// SPDX-License-Identifier: GPL-3.0-or-later
// Fixed-size stores are never overrun: the PlyRecord stack and keyHistory,
// the game record and the MoveList.
#include <gtest/gtest.h>

#include <cstring>

#include "board/board_test_helpers.h"
#include "board/game_record.h"
#include "board/movegen.h"
#include "test_support/board_compare.h"

namespace tarvok::test {
namespace {

class StoreBounds : public BoardTest {};

// Nine queens and more: one of the positions with the most pseudo-legal
// moves that FEN admits here.
constexpr const char* kCrowdedFen = "3Q4/1Q4Q1/4Q3/2Q4R/Q4Q2/3Q4/1Q4R1/1K1BBNNk w - - ";

struct GuardedList {
    MoveList list;
    uint32_t guard[64];
};

TEST_F(StoreBounds, MoveListIsFilledToCapacityAndNoFurther) {
    auto board = boardFromFen(kCrowdedFen);
    auto reference = std::make_unique<GuardedList>();
    int captures = generateCaptures(*board, reference->list, 0);
    const int total = captures + generateQuiets(*board, reference->list, captures);
    ASSERT_GT(total, 200);
    ASSERT_LT(total, kMaxMoves);

    // Starting late in the list, the generators stop at entry 255.
    auto guarded = std::make_unique<GuardedList>();
    std::memset(guarded.get(), 0xA5, sizeof *guarded);
    const int first = 100;
    const int written = generateAll(*board, guarded->list, first, false);
    EXPECT_EQ(written, kMaxMoves - first);
    for (int i = 0; i < written; ++i) EXPECT_EQ(guarded->list.entries[first + i].move, reference->list.entries[i].move);
    for (uint32_t word : guarded->guard) EXPECT_EQ(word, 0xA5A5A5A5u);
    // Entries before the first one are left alone.
    for (int i = 0; i < first; ++i) EXPECT_EQ(guarded->list.entries[i].move, 0xA5A5A5A5u);
    // A full list takes nothing more, whatever entry the caller names.
    EXPECT_EQ(generateQuiets(*board, guarded->list, kMaxMoves), 0);
    EXPECT_EQ(generateCaptures(*board, guarded->list, kMaxMoves + 50), 0);
    for (uint32_t word : guarded->guard) EXPECT_EQ(word, 0xA5A5A5A5u);
    // Evasions too.
    auto checked = boardFromFen("3Q4/1Q4Q1/4Q3/2Q4R/Q4Q2/3Q4/1Q4R1/1K1BBNNk b - - ");
    ASSERT_TRUE(isInCheck(*checked, BLACK));
    EXPECT_LE(generateEvasions(*checked, guarded->list, kMaxMoves - 1), 1);
    for (uint32_t word : guarded->guard) EXPECT_EQ(word, 0xA5A5A5A5u);
}

TEST_F(StoreBounds, StacksFillToTheirCapacity) {
    auto board = std::make_unique<Board>();
    board->setStartArray();
    auto start = std::make_unique<Board>(*board);
    const char* cycle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    int made = 0;
    while (board->hasRoomForPly()) {
        const Move move = findMove(*board, cycle[made % 4]);
        ASSERT_EQ(board->makeMove(move), 1);
        ++made;
    }
    EXPECT_EQ(made, kMaxPlyRecords);
    EXPECT_EQ(board->plyCount, static_cast<uint32_t>(kMaxPlyRecords));
    EXPECT_EQ(board->keyHistoryCount, static_cast<uint32_t>(kMaxPlyRecords));
    EXPECT_EQ(board->halfmoveClock, kMaxPlyRecords % 256);
    EXPECT_TRUE(board->isConsistent());
    // The position repeats every four plies.
    EXPECT_EQ(board->keyHistory[kMaxPlyRecords - 4], board->hashKey);
    // Counting legal moves cannot make them now: it counts them on the
    // bitboards instead, still right, and leaves the board alone rather
    // than write past the stack.
    auto full = std::make_unique<Board>(*board);
    MoveList scratch;
    EXPECT_EQ(countLegalMoves(*board, scratch), 20);
    EXPECT_TRUE(sameBoard(*full, *board));
    while (board->plyCount > 0) board->unmakeMove(board->plyRecords[board->plyCount - 1].move);
    EXPECT_TRUE(sameBoard(*start, *board));
}

TEST_F(StoreBounds, GameRecordRefusesAMoveWhenFull) {
    auto record = std::make_unique<GameRecord>();
    record->clear();
    const Move move = makeMoveWord(sq("g1"), sq("f3"), KNIGHT);
    for (int i = 0; i < kMaxGameMoves; ++i) ASSERT_TRUE(record->append(move));
    EXPECT_TRUE(record->isFull());
    const Move last = record->gameMoves[kMaxGameMoves - 1].move;
    EXPECT_FALSE(record->append(makeMoveWord(sq("b1"), sq("c3"), KNIGHT)));
    EXPECT_EQ(record->gameLength, static_cast<uint32_t>(kMaxGameMoves));
    EXPECT_EQ(record->gameIndex, static_cast<uint32_t>(kMaxGameMoves));
    EXPECT_EQ(record->gameMoves[kMaxGameMoves - 1].move, last);
    EXPECT_EQ(record->lastRecorded(), last);
    // After stepping back there is room again, and the tail is discarded.
    record->gameIndex = kMaxGameMoves - 10;
    EXPECT_FALSE(record->isFull());
    EXPECT_TRUE(record->append(move));
    EXPECT_EQ(record->gameLength, static_cast<uint32_t>(kMaxGameMoves - 9));
    // The stacks hold a full game plus the search's plies.
    EXPECT_GE(kMaxPlyRecords, kMaxGameMoves + kMaxSearchPly);
}

}  // namespace
}  // namespace tarvok::test
