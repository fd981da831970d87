// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/board_test_helpers.h"

#include <algorithm>
#include <sstream>

#include "board/move_text.h"
#include "board/movegen.h"
#include "test_support/table_text.h"

namespace tarvok::test {

std::unique_ptr<Board> boardFromFen(const char* fen) {
    auto board = std::make_unique<Board>();
    board->clear();
    EXPECT_EQ(board->setFromFen(fen), 1) << fen;
    return board;
}

std::string coordinateText(Move move) {
    char text[kMoveTextSize];
    moveToCoordinates(move, text);
    return text;
}

Move findMove(const Board& board, const char* text) {
    MoveList list;
    const int count = generateAll(board, list, 0, isInCheck(board, static_cast<int>(board.side)));
    for (int i = 0; i < count; ++i)
        if (coordinateText(list.entries[i].move) == text) return list.entries[i].move;
    return NO_MOVE;
}

void playMoves(Board& board, const char* moves) {
    std::istringstream words(moves);
    std::string word;
    while (words >> word) {
        const Move move = findMove(board, word.c_str());
        ASSERT_NE(move, NO_MOVE) << word;
        ASSERT_EQ(board.makeMove(move), 1) << word;
    }
}

namespace {

uint64_t perftFrom(Board& board, int depth, MoveList* lists) {
    const int count = generateAll(board, lists[0], 0, isInCheck(board, static_cast<int>(board.side)));
    uint64_t leaves = 0;
    for (int i = 0; i < count; ++i) {
        const Move move = lists[0].entries[i].move;
        if (board.makeMove(move)) leaves += depth == 1 ? 1 : perftFrom(board, depth - 1, lists + 1);
        board.unmakeMove(move);
    }
    return leaves;
}

}  // namespace

uint64_t perftCount(Board& board, int depth) {
    static MoveList lists[8];
    return depth <= 0 ? 1 : perftFrom(board, std::min(depth, 8), lists);
}

std::vector<std::vector<std::string>> boardTable(const std::string& name) {
    std::vector<std::vector<std::string>> rows = readTable("board/" + name);
    for (auto& row : rows)
        for (std::string& field : row) field = decodeText(field);
    EXPECT_FALSE(rows.empty()) << name;
    return rows;
}

void expectValues(const std::string& list, const std::function<int(const std::string&)>& valueOf,
                  const std::string& context) {
    std::istringstream checks(list);
    for (std::string check; checks >> check;) {
        const size_t equals = check.find('=');
        EXPECT_EQ(valueOf(check.substr(0, equals)), std::stoi(check.substr(equals + 1))) << context << ": " << check;
    }
}

}  // namespace tarvok::test
