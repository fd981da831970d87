// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/game_record.h"

#include "board/legal_count.h"
#include "board/movegen.h"

namespace tarvok {

int countLegalMoves(Board& board, MoveList& scratch) {
    const bool inCheck = isInCheck(board, static_cast<int>(board.side));
    const int count = generateAll(board, scratch, 0, inCheck);
    scratch.count = static_cast<uint32_t>(count);
    // With the stacks full the moves cannot be made: count them on bitboards.
    if (!board.hasRoomForPly()) return countLegalMovesFast(board);
    int legal = 0;
    for (int i = 0; i < count; ++i) {
        Move move = scratch.entries[i].move;
        legal += board.makeMove(move);
        board.unmakeMove(move);
    }
    return legal;
}

bool isCheckmate(Board& board, MoveList& scratch) {
    if (!isInCheck(board, static_cast<int>(board.side))) return false;
    return countLegalMoves(board, scratch) == 0;
}

int takeBackGameMove(Board& board, GameRecord& record) {
    if (record.gameLength == 0 || record.gameIndex == 0 || board.plyCount == 0) return 0;
    --record.gameIndex;
    record.gameLength = record.gameIndex;
    board.unmakeMove(record.gameMoves[record.gameIndex].move);
    return 1;
}

}  // namespace tarvok
