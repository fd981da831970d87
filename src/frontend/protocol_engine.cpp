// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/protocol_engine.h"

#include <cstdio>
#include <cstring>

#include "board/move_text.h"
#include "frontend/frontend.h"
#include "frontend/thinking_output.h"

namespace tarvok {

void ProtocolEngine::onSearchEnd(int stop) {
    const int mode = frontEnd.protocolMode;
    char text[kMoveTextSize];

    // An aborted search has no result: it announces nothing (a GUI would take
    // the last game move for the engine's answer).
    if (stop == STOP_ABORT && !frontEnd.newGamePending) return;
    if (stop == STOP_ABORT && mode == PROTOCOL_XBOARD) {
        frontEnd.newGamePending = 0;
        resetXboardGame(*this);
        return;
    }
    if (stop == STOP_ABORT) {
        frontEnd.newGamePending = 0;
        setStartPosition();
        frontEnd.movesLeft = 40;
        frontEnd.movesPerSession = 40;
        frontEnd.userMoveCount = 0;
        frontEnd.firstGoDone = 0;
        movesToGo = 40;
        return;
    }

    if (stop == STOP_PONDER) {
        if (!frontEnd.ponderOption) return;
        if (mode == PROTOCOL_UCI) {
            moveToCoordinates(lastMove, text);
            sendLine("bestmove %s", text);
        } else if (mode == PROTOCOL_XBOARD) {
            // The opponent played another move than the one pondered on.
            // A command held back during the ponder search runs first. The
            // text is used once: a ponder search stopped for another reason
            // must not replay an old move.
            char move[kPendingMoveSize];
            std::memcpy(move, frontEnd.pendingMove, sizeof move);
            frontEnd.pendingMove[0] = '\0';
            if (!playMoveText(move)) {
                if (move[0] != '\0') sendLine("Illegal move: %s", move);
            } else if (!frontEnd.hasDeferredLine) {
                frontEnd.ponderRequested = 0;
                startXboardSearch(*this, false);
            }
        }
        return;
    }

    // Without a move (mated or stalemated) UCI still owes a bestmove, and
    // XBoard gets the result instead of a move line.
    if (playedMove == NO_MOVE && mode == PROTOCOL_XBOARD) {
        if (!consoleOutput) claimXboardResult(*this);
        return;
    }
    char line[64];
    if (playedMove == NO_MOVE) std::snprintf(text, sizeof text, "0000");
    else moveToCoordinates(playedMove, text);
    std::snprintf(line, sizeof line, "%s %s", mode == PROTOCOL_UCI ? "bestmove" : "move", text);
    if (frontEnd.ponderOption) {
        frontEnd.hintMove = ponderMove;
        if (mode == PROTOCOL_UCI && frontEnd.hintMove != NO_MOVE) {
            moveToCoordinates(frontEnd.hintMove, text);
            std::strncat(line, " ponder ", sizeof line - std::strlen(line) - 1);
            std::strncat(line, text, sizeof line - std::strlen(line) - 1);
        }
    } else {
        frontEnd.hintMove = NO_MOVE;
    }
    // Every move played counts towards the time control, book moves and
    // moves after a ponder hit included.
    if (mode == PROTOCOL_XBOARD && frontEnd.movesPerSession != 0) {
        if (--frontEnd.movesLeft == 0) frontEnd.movesLeft = frontEnd.movesPerSession;
    }
    if (consoleOutput || mode == PROTOCOL_NONE) return;
    sendLine("%s", line);

    // No pondering while a command held back during the search waits to run,
    // nor in force mode.
    if (mode == PROTOCOL_XBOARD && frontEnd.ponderOption && ponderEnabled && !frontEnd.hasDeferredLine &&
        !frontEnd.forceMode) {
        frontEnd.ponderRequested = 0;
        if (frontEnd.hintMove != NO_MOVE) {
            moveToCoordinates(frontEnd.hintMove, text);
            sendLine("Hint: %s", text);
            if (playMoveText(text)) {
                // An expected reply that ends the game leaves nothing to ponder.
                if (countLegalMoves() == 0) {
                    gameTakeBack();
                } else {
                    frontEnd.ponderRequested = 1;
                    startXboardSearch(*this, true);
                }
            }
        }
    }
}

void ProtocolEngine::onIterationDone(int depth, const PvRow& pv, uint64_t nodes, double searchMicroseconds) {
    if (!frontEnd.postThinking) return;
    switch (frontEnd.protocolMode) {
        case PROTOCOL_UCI: printUciThinking(depth, pv, nodes, searchMicroseconds); break;
        case PROTOCOL_XBOARD: printXboardThinking(depth, pv, nodes, searchMicroseconds); break;
        default:
            if (consoleOutput) printConsoleThinking(depth, pv, nodes, searchMicroseconds);
            break;
    }
}

void ProtocolEngine::onRootMove(Move move, int number) {
    if (!frontEnd.postThinking || frontEnd.protocolMode != PROTOCOL_UCI) return;
    char text[kMoveTextSize];
    moveToCoordinates(move, text);
    sendLine("info currmove %s currmovenumber %d", text, number);
}

// Executes one command line that arrived during the search; the end of input
// stops the search as "quit" would.
void ProtocolEngine::pollInput() {
    if (!readAndDispatch()) frontEnd.quitRequested = 1;
    if (frontEnd.quitRequested && searching) stopState = STOP_ABORT;
}

}  // namespace tarvok
