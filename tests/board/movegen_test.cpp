// SPDX-License-Identifier: GPL-3.0-or-later
// Move generation over the table in movegen.txt: emission order, castling
// conditions, check evasions, legal counts and isValidMove.
#include "board/movegen.h"

#include <gtest/gtest.h>

#include <string>

#include "board/board_test_helpers.h"
#include "board/game_record.h"
#include "board/legal_count.h"

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
    for (int i = 0; i < count; ++i)
        if (!castlesOnly || isCastle(list.entries[i].move)) text += (text.empty() ? "" : " ") + describe(list.entries[i].move);
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
        for (int i = 0; i < count; ++i) EXPECT_TRUE(isValidMove(*board, list.entries[i].move)) << describe(list.entries[i].move);
        EXPECT_FALSE(isValidMove(*board, NO_MOVE));
    }
}

}  // namespace
}  // namespace tarvok::test
