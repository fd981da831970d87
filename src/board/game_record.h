// SPDX-License-Identifier: GPL-3.0-or-later
// The game record (the moves actually played) and the legal-move helpers
// built on make and unmake.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "board/move.h"

namespace tarvok {

struct GameMoveEntry {
    Move move;
    uint32_t extra[2];  // reserved for the front end; the board core ignores them
};

struct GameRecord {
    uint32_t gameLength;
    GameMoveEntry gameMoves[kMaxGameMoves];
    uint32_t gameIndex;  // number of recorded moves that are on the board

    void clear() { gameLength = gameIndex = 0; }
    bool isFull() const { return gameIndex >= static_cast<uint32_t>(kMaxGameMoves); }
    // Records a move played at the current position, discarding any moves
    // that had followed it; returns false (recording nothing) when full.
    bool append(Move move) {
        if (isFull()) return false;
        gameMoves[gameIndex].move = move;
        gameLength = (gameIndex < gameLength ? gameIndex : gameLength) + 1;
        ++gameIndex;
        return true;
    }
    Move lastRecorded() const { return gameIndex == 0 ? NO_MOVE : gameMoves[gameIndex - 1].move; }
};

// Number of legal moves of the side to move (fills scratch).
int countLegalMoves(Board& board, MoveList& scratch);
// In check with no legal move.
bool isCheckmate(Board& board, MoveList& scratch);
// Takes the move before the current position back from board and record;
// returns 0 when there is none.
int takeBackGameMove(Board& board, GameRecord& record);

}  // namespace tarvok
