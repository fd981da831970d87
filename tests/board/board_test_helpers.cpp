// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/board_test_helpers.h"

#include <cstring>
#include <sstream>
#include <string>

#include "board/movegen.h"

namespace tarvok::test {

std::unique_ptr<Board> boardFromFen(const char* fen) {
    auto board = std::make_unique<Board>();
    board->clear();
    EXPECT_EQ(board->setFromFen(fen), 1) << fen;
    return board;
}

Move findMove(const Board& board, const char* text) {
    static constexpr char kPromotionLetters[] = "  nbrq";
    MoveList list;
    const int count = generateAll(board, list, 0, isInCheck(board, static_cast<int>(board.side)));
    const size_t length = std::strlen(text);
    if (length < 4) return NO_MOVE;
    const int from = sq(text), to = sq(text + 2);
    for (int i = 0; i < count; ++i) {
        const Move move = list.entries[i].move;
        if (moveFrom(move) != from || moveTo(move) != to) continue;
        const int promotion = movePromotion(move);
        if ((length == 4 && promotion == NO_PIECE) || (length == 5 && promotion != NO_PIECE && kPromotionLetters[promotion] == text[4]))
            return move;
    }
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
    MoveList& list = lists[0];
    const int count = generateAll(board, list, 0, isInCheck(board, static_cast<int>(board.side)));
    uint64_t leaves = 0;
    for (int i = 0; i < count; ++i) {
        const Move move = list.entries[i].move;
        if (board.makeMove(move)) leaves += depth == 1 ? 1 : perftFrom(board, depth - 1, lists + 1);
        board.unmakeMove(move);
    }
    return leaves;
}

}  // namespace

uint64_t perftCount(Board& board, int depth) {
    static MoveList lists[16];
    if (depth <= 0) return 1;
    if (depth > 16) return 0;
    return perftFrom(board, depth, lists);
}

}  // namespace tarvok::test
