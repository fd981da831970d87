// SPDX-License-Identifier: GPL-3.0-or-later
// Move generation over the table in movegen.txt (emission order, castling
// conditions, check evasions, legal counts, isValidMove), and the fixed-size
// stores it writes: the MoveList and the PlyRecord and key stacks.
#include "board/movegen.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/board_test_helpers.h"
#include "board/game_record.h"
#include "board/legal_count.h"
#include "test_support/board_compare.h"

namespace tarvok::test {
namespace {

class MoveGeneration : public BoardTest {};

constexpr const char* kLetters = " pnbrqk";

// Coordinates, then the captured piece and the special-move flags.
std::string describe(Move move) {
    std::string text = coordinateText(move);
    if (moveCaptured(move) != NO_PIECE) text += std::string("x") + kLetters[moveCaptured(move)];
    if (isDoublePush(move)) text += "+dp";
    if (isEnPassant(move)) text += "+ep";
    if (isCastle(move)) text += "+oo";
    return text;
}

std::string listed(const MoveList& list, int count, bool castlesOnly = false) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (castlesOnly && !isCastle(list.entries[i].move)) continue;
        text += (text.empty() ? "" : " ") + describe(list.entries[i].move);
    }
    return text;
}

int letterCode(char letter) { return static_cast<int>(std::string(kLetters).find(static_cast<char>(tolower(letter)))); }

// "e5d6:Pxp+ep" -> the move word.
Move parseWord(const std::string& word) {
    const size_t colon = word.find(':');
    const std::string rest = word.substr(colon + 1);
    const size_t x = rest.find('x'), eq = rest.find('=');
    const int captured = x == std::string::npos ? 0 : letterCode(rest[x + 1]);
    const int promotion = eq == std::string::npos ? 0 : letterCode(rest[eq + 1]);
    Move flags = 0;
    if (rest.find("+dp") != std::string::npos) flags = MOVE_DOUBLE_PUSH;
    if (rest.find("+ep") != std::string::npos) flags = MOVE_EN_PASSANT;
    if (rest.find("+oo") != std::string::npos) flags = MOVE_CASTLE;
    return makeMoveWord(sq(word.c_str()), sq(word.c_str() + 2), letterCode(rest[0]), captured, promotion, flags);
}

TEST_F(MoveGeneration, Table) {
    MoveList list, scratch;
    for (const auto& row : readTable("movegen.txt")) {
        ASSERT_GE(row.size(), 3u);
        const std::string& kind = row[1];
        SCOPED_TRACE(row[0] + " | " + kind + " | " + row[2]);
        auto board = boardFromFen(row[0].c_str());
        const bool inCheck = isInCheck(*board, static_cast<int>(board->side));
        std::string got = row[2];
        if (kind == "captures") got = listed(list, generateCaptures(*board, list, 0));
        if (kind == "quiets") got = listed(list, generateQuiets(*board, list, 0));
        if (kind == "castles") got = listed(list, generateQuiets(*board, list, 0), true);
        if (kind == "evasions") got = listed(list, generateEvasions(*board, list, 0));
        if (kind == "all") got = listed(list, generateAll(*board, list, 0, inCheck));
        EXPECT_EQ(got, row[2]);
        if (kind == "legal") {
            const int count = std::stoi(row[2]);
            const bool mate = row[2].find("mate") != std::string::npos;
            EXPECT_EQ(countLegalMoves(*board, scratch), count);
            EXPECT_EQ(countLegalMovesFast(*board), count);
            EXPECT_EQ(isCheckmate(*board, scratch), mate);
            EXPECT_EQ(inCheck, mate || row[2].find("check") != std::string::npos);
        }
        if (kind == "valid") {
            ASSERT_EQ(row.size(), 4u);
            EXPECT_EQ(isValidMove(*board, parseWord(row[2])), row[3] == "yes");
        }
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
    auto reference = std::make_unique<GuardedList>();
    const int captures = generateCaptures(*board, reference->list, 0);
    const int total = captures + generateQuiets(*board, reference->list, captures);
    ASSERT_GT(total, 200);
    ASSERT_LT(total, kMaxMoves);
    // Starting late in the list, the generators stop at its last entry and
    // leave the entries before the first one alone.
    auto guarded = std::make_unique<GuardedList>();
    std::memset(guarded.get(), 0xA5, sizeof *guarded);
    const int first = 100;
    const int written = generateAll(*board, guarded->list, first, false);
    EXPECT_EQ(written, kMaxMoves - first);
    for (int i = 0; i < written; ++i) EXPECT_EQ(guarded->list.entries[first + i].move, reference->list.entries[i].move);
    for (int i = 0; i < first; ++i) EXPECT_EQ(guarded->list.entries[i].move, 0xA5A5A5A5u);
    // A full list takes nothing more, whatever entry the caller names; evasions neither.
    EXPECT_EQ(generateQuiets(*board, guarded->list, kMaxMoves), 0);
    EXPECT_EQ(generateCaptures(*board, guarded->list, kMaxMoves + 50), 0);
    auto checked = boardFromFen("3Q4/1Q4Q1/4Q3/2Q4R/Q4Q2/3Q4/1Q4R1/1K1BBNNk b - - ");
    ASSERT_TRUE(isInCheck(*checked, BLACK));
    EXPECT_LE(generateEvasions(*checked, guarded->list, kMaxMoves - 1), 1);
    for (uint32_t word : guarded->guard) EXPECT_EQ(word, 0xA5A5A5A5u);
}

TEST_F(MoveGeneration, StacksFillToTheirCapacity) {
    auto board = boardFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    auto start = std::make_unique<Board>(*board);
    const char* cycle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    int made = 0;
    while (board->hasRoomForPly()) playMoves(*board, cycle[made++ % 4]);
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
    // The stacks hold a full game plus the search's plies.
    EXPECT_GE(kMaxPlyRecords, kMaxGameMoves + kMaxSearchPly);
}

}  // namespace
}  // namespace tarvok::test
