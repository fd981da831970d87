// SPDX-License-Identifier: GPL-3.0-or-later
// XBoard (CECP) protocol handler: one command line at a time, from the
// command loop or from the search's input poll.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/move_text.h"
#include "frontend/config_file.h"
#include "frontend/frontend.h"
#include "frontend/number_text.h"
#include "frontend/input_reader.h"
#include "frontend/xboard_edit.h"
#include "frontend/protocol_engine.h"
#include "tools/perft.h"

namespace tarvok {

namespace {

bool startsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }
bool equals(const char* text, const char* word) { return std::strcmp(text, word) == 0; }

// N: the base-10 integer after the first blank (0 without digits), held at
// the int range.
int argumentAfterBlank(const char* line) {
    const char* blank = std::strchr(line, ' ');
    return blank ? readSaturatedInt(blank + 1) : 0;
}

bool looksLikeMove(const char* line) {
    return line[0] >= 'a' && line[0] <= 'h' && line[1] >= '1' && line[1] <= '8' && line[2] >= 'a' &&
           line[2] <= 'h' && line[3] >= '1' && line[3] <= '8';
}

void resetGameCounters(ProtocolEngine& engine) {
    frontEnd.movesLeft = 40;
    frontEnd.movesPerSession = 40;
    engine.movesToGo = 40;
    frontEnd.userMoveCount = 0;
    frontEnd.firstGoDone = 0;
}

void switchPonderingOff(ProtocolEngine& engine) {
    frontEnd.ponderOption = 0;
    engine.ponderEnabled = 0;
    engine.pondering = 0;
    engine.ponderMove = NO_MOVE;
    frontEnd.hintMove = NO_MOVE;
}

// Ends a running search without a move: a ponder search takes its guessed
// move back, the engine's own search and an analysis are abandoned.
void endSearchWithoutMove(ProtocolEngine& engine) {
    frontEnd.ponderRequested = 0;
    if (!engine.searching) return;
    frontEnd.pendingMove[0] = '\0';
    engine.stopState = engine.pondering ? STOP_PONDER : STOP_ABORT;
}

void startUp() {
    int hashMegabytes = 128;
    iniGetInt(kConfigFileName, "Engine", "Hash", hashMegabytes);
    ProtocolEngine& engine = replaceEngine();
    engine.setHashSize(hashMegabytes);
    engine.setStartPosition();
    resetGameCounters(engine);
    enableConfiguredBook(engine);
    frontEnd.forceMode = 0;
    frontEnd.engineClock = frontEnd.opponentClock = frontEnd.controlBaseClock = -1.0f;
    frontEnd.timeControlGiven = 0;
    // The new engine ponders as the GUI last asked.
    engine.ponderEnabled = frontEnd.ponderOption;
    frontEnd.ponderRequested = 0;
    frontEnd.hintMove = NO_MOVE;
    sendLine(
        "feature setboard=1 myname=\"%s %s %s\" analyze=1 ping=1 draw=0 sigint=0 variants=\"normal\" done=1 "
        "colors=0",
        kEngineName, kVersion, frontEnd.platformName);
}

void saveLimits(const ProtocolEngine& engine) {
    frontEnd.savedLimitMode = engine.limitMode;
    frontEnd.savedDepthLimit = engine.depthLimit;
    frontEnd.savedMoveTime = engine.moveTime;
    frontEnd.savedNodeLimit = engine.nodeLimit;
}

void restoreLimits(ProtocolEngine& engine) {
    engine.limitMode = frontEnd.savedLimitMode;
    engine.depthLimit = frontEnd.savedDepthLimit;
    engine.moveTime = frontEnd.savedMoveTime;
    engine.nodeLimit = frontEnd.savedNodeLimit;
}

void analyse(ProtocolEngine& engine) {
    engine.setLimit(LIMIT_INFINITE, 0);
    engine.analysing = 1;
    engine.startSearch(false);
}

void leaveAnalysis(ProtocolEngine& engine) {
    if (!engine.analysing) return;
    engine.analysing = 0;
    restoreLimits(engine);
}

void newGame(ProtocolEngine& engine) {
    switchPonderingOff(engine);
    if (engine.searching) {
        engine.stopState = STOP_ABORT;
        frontEnd.newGamePending = 1;
    } else {
        resetXboardGame(engine);
    }
    frontEnd.forceMode = 0;
}

void level(ProtocolEngine& engine, const char* line) {
    const char* blank = std::strchr(line, ' ');
    if (blank == nullptr) return;
    char moves[16] = "", timeWord[256] = "", increment[16] = "";
    std::sscanf(blank + 1, "%15s %255s %15s", moves, timeWord, increment);
    const int movesPerControl = readSaturatedInt(moves);
    frontEnd.movesPerSession = movesPerControl;
    engine.movesToGo = movesPerControl;
    frontEnd.movesLeft = movesPerControl;
    // Minutes, or minutes:seconds; a word that is no number counts as 0.
    long long minutes = readSaturatedInt(timeWord), seconds = 0;
    if (const char* colon = std::strchr(timeWord, ':')) seconds = readSaturatedInt(colon + 1);
    const auto base = static_cast<float>((minutes * 60 + seconds) * 1000);
    engine.clockTime[engine.board.side] = base;
    frontEnd.engineClock = frontEnd.opponentClock = frontEnd.controlBaseClock = base;
    // Increments may be fractions of a second (level 0 0:05 0.05).
    const double incrementMs = std::strtod(increment, nullptr) * 1000.0;
    engine.clockIncrement[0] = engine.clockIncrement[1] =
        incrementMs >= INT_MAX ? INT_MAX : incrementMs <= INT_MIN ? INT_MIN : static_cast<int>(incrementMs);
    engine.setLimit(LIMIT_CLOCK, 0);
    frontEnd.timeControlGiven = 1;
}

// True when line names the move hint, promotion piece included.
bool isPonderHit(const char* line, Move hint) {
    char hintText[kMoveTextSize];
    moveToCoordinates(hint, hintText);
    const char promotion = line[4] >= 'a' && line[4] <= 'z' ? line[4] : '\0';
    return std::strncmp(line, hintText, 4) == 0 && promotion == hintText[4];
}

void handleMove(ProtocolEngine& engine, const char* line) {
    const bool ponderReply =
        frontEnd.ponderOption && frontEnd.ponderRequested && frontEnd.hintMove != NO_MOVE && engine.searching;
    // Any other move during a search would change the board under it: the
    // search ends first and the move is played after it.
    if (!ponderReply && deferWhileSearching(line)) return;
    ++frontEnd.userMoveCount;
    if (ponderReply) {
        if (isPonderHit(line, frontEnd.hintMove)) {
            frontEnd.ponderRequested = 0;
            engine.pondering = 0;
            engine.checkCounter = engine.checkInterval;
            engine.checkNow();
        } else {
            // The pending move is bounded; a longer text is cut and then
            // rejected as a move.
            std::snprintf(frontEnd.pendingMove, sizeof frontEnd.pendingMove, "%s", line);
            engine.stopState = engine.pondering ? STOP_PONDER : STOP_PLAY;
        }
        return;
    }
    if (!engine.playMoveText(line)) {
        sendLine("Illegal move: %s", line);
        return;
    }
    // In force mode and in analysis the move is only recorded; a move that
    // ends the game is answered with the result.
    if (engine.analysing || frontEnd.forceMode) return;
    startXboardSearch(engine, false);
}

// Commands that change the board: during an analysis they stop it, run, and
// the analysis starts again on the new position.
bool changesAnalysedPosition(const char* line) {
    return equals(line, "undo") || equals(line, "remove") || equals(line, "new") || startsWith(line, "setboard ") ||
           equals(line, "edit") || looksLikeMove(line);
}

// Commands that must not run under a search that is using the board.
bool changesBoardOrTables(const char* line) {
    return equals(line, "xboard") || equals(line, "undo") || equals(line, "remove") || equals(line, "analyze") ||
           equals(line, "go") || equals(line, "edit") ||
           startsWith(line, "perft ") || startsWith(line, "divide ") || startsWith(line, "setboard ");
}

// Commands a GUI may send that need no action here.
bool isIgnoredCommand(const char* line) {
    static constexpr const char* kIgnored[] = {"white", "black", "random", "computer", ".", "#", "draw", "hint",
                                               "bk", "rating"};
    static constexpr const char* kIgnoredPrefixes[] = {"accepted ", "rejected ", "analyze", "protover ", "name ",
                                                       "rating ", "ics ", "variant ", "memory ", "cores ",
                                                       "egtpath ", "option "};
    for (const char* word : kIgnored)
        if (equals(line, word)) return true;
    for (const char* prefix : kIgnoredPrefixes)
        if (startsWith(line, prefix)) return true;
    return false;
}

// A command that takes an argument, sent without one.
bool needsArgument(const char* line) {
    static constexpr const char* kWithArgument[] = {"level",    "ping",     "time", "otim",   "sd",
                                                    "st",       "protover", "perft", "divide", "accepted",
                                                    "rejected", "name",     "ics",  "variant", "memory",
                                                    "cores",    "egtpath",  "option"};
    for (const char* word : kWithArgument)
        if (equals(line, word)) return true;
    return false;
}

// The position being set up by "edit".
BoardEdit boardEdit;

}  // namespace

bool claimXboardResult(ProtocolEngine& engine) {
    if (engine.countLegalMoves() != 0) return false;
    if (!engine.isCheckmate()) sendLine("1/2-1/2 {Stalemate}");
    else if (engine.board.side == WHITE) sendLine("0-1 {Black mates}");
    else sendLine("1-0 {White mates}");
    return true;
}

void startXboardSearch(ProtocolEngine& engine, bool ponder) {
    if (!ponder && claimXboardResult(engine)) return;
    applyXboardClocks();
    // Moves left to the control, wrapped into the current one: after a long
    // stretch of force mode the count may have run past several controls.
    if (frontEnd.movesPerSession > 0) {
        int left = frontEnd.movesLeft % frontEnd.movesPerSession;
        if (left <= 0) left += frontEnd.movesPerSession;
        frontEnd.movesLeft = left;
    }
    engine.movesToGo = frontEnd.movesPerSession > 0 ? frontEnd.movesLeft : 0;
    engine.startSearch(ponder);
}

void resetXboardGame(ProtocolEngine& engine) {
    const int limitMode = engine.limitMode;
    const uint32_t moveTime = engine.moveTime;
    const int32_t increments[2] = {engine.clockIncrement[0], engine.clockIncrement[1]};
    engine.setStartPosition();
    // "new" removes a depth limit: a depth-only search returns to the
    // default time per move.
    if (limitMode != LIMIT_DEPTH) engine.limitMode = limitMode;
    engine.moveTime = moveTime;
    engine.clockIncrement[0] = increments[0];
    engine.clockIncrement[1] = increments[1];
    frontEnd.movesLeft = frontEnd.movesPerSession;
    engine.movesToGo = frontEnd.movesPerSession;
    frontEnd.userMoveCount = 0;
    frontEnd.firstGoDone = 0;
    frontEnd.engineClock = frontEnd.opponentClock = frontEnd.controlBaseClock;
    if (frontEnd.controlBaseClock >= 0.0f) engine.clockTime[0] = engine.clockTime[1] = frontEnd.controlBaseClock;
}

void applyXboardClocks() {
    ProtocolEngine* engine = frontEnd.engine;
    if (engine == nullptr) return;
    if (frontEnd.engineClock >= 0.0f) engine->clockTime[engine->board.side] = frontEnd.engineClock;
    if (frontEnd.opponentClock >= 0.0f) engine->clockTime[engine->board.xside] = frontEnd.opponentClock;
}

int xboardHandleLine(char* line) {
    ProtocolEngine* engine = frontEnd.engine;
    // In edit mode the piece lines change only the edited copy; "." sets the
    // board to it as "setboard" would.
    if (boardEdit.active && engine != nullptr) {
        if (equals(line, ".")) {
            char command[kInputLineSize] = "setboard ";
            boardEdit.finish(command + 9, static_cast<int>(sizeof command) - 9);
            return xboardHandleLine(command);
        }
        if (boardEdit.apply(line)) return 1;
    }
    if (engine != nullptr && engine->searching) {
        if (engine->analysing && changesAnalysedPosition(line)) {
            deferWhileSearching(line, STOP_ABORT);
            return 1;
        }
        const bool ponderReply =
            frontEnd.ponderOption && frontEnd.ponderRequested && frontEnd.hintMove != NO_MOVE && looksLikeMove(line);
        if ((changesBoardOrTables(line) || (looksLikeMove(line) && !ponderReply)) && deferWhileSearching(line))
            return 1;
    }
    const bool restartAnalysis = engine != nullptr && engine->analysing && changesAnalysedPosition(line);

    if (equals(line, "xboard")) {
        startUp();
    } else if (engine == nullptr) {
        return 1;  // nothing else means anything before the engine exists
    } else if (equals(line, "undo") || equals(line, "remove")) {
        // "remove" retracts the user's last move and the engine's answer.
        engine->gameTakeBack();
        if (equals(line, "remove")) {
            engine->gameTakeBack();
            // The engine's retracted move no longer counts towards the
            // control (the count is wrapped into the control at the next search).
            if (frontEnd.movesPerSession > 0) ++frontEnd.movesLeft;
        }
        frontEnd.ponderRequested = 0;
        frontEnd.hintMove = NO_MOVE;
    } else if (equals(line, "force")) {
        // No thinking, pondering or moving in force mode: a search running
        // now ends without a move.
        frontEnd.forceMode = 1;
        if (!engine->analysing) endSearchWithoutMove(*engine);
    } else if (equals(line, "result") || startsWith(line, "result ")) {
        // The game is over: pondering, an analysis and any search end.
        endSearchWithoutMove(*engine);
        leaveAnalysis(*engine);
        frontEnd.hintMove = NO_MOVE;
    } else if (equals(line, "analyze")) {
        // A second "analyze" keeps the limits saved by the first.
        if (!engine->analysing) saveLimits(*engine);
        analyse(*engine);
    } else if (equals(line, "exit")) {
        leaveAnalysis(*engine);
        endSearchWithoutMove(*engine);
    } else if (equals(line, "setboard")) {
    } else if (equals(line, "go")) {
        if (!frontEnd.firstGoDone) {
            frontEnd.firstGoDone = 1;
            if (frontEnd.movesLeft != 0) frontEnd.movesLeft -= static_cast<int>(frontEnd.userMoveCount / 2);
        }
        frontEnd.forceMode = 0;
        leaveAnalysis(*engine);
        startXboardSearch(*engine, false);
    } else if (equals(line, "?")) {
        // An analysis has no move to play now.
        if (engine->searching && !engine->analysing)
            engine->stopState = engine->pondering ? STOP_PONDER : STOP_PLAY;
    } else if (equals(line, "new")) {
        newGame(*engine);
    } else if (equals(line, "edit")) {
        char fen[kFenBufferSize];
        engine->board.writeFen(fen);
        boardEdit.begin(fen);
    } else if (equals(line, "easy")) {
        // A ponder search is abandoned (its guessed move taken back), not
        // played: its move would answer a move the opponent has not made.
        const int wasPondering = engine->pondering;
        switchPonderingOff(*engine);
        if (engine->searching && !engine->analysing) {
            engine->pondering = wasPondering;
            engine->stopState = wasPondering ? STOP_PONDER : STOP_PLAY;
        }
    } else if (equals(line, "hard")) {
        frontEnd.ponderOption = 1;
        engine->ponderEnabled = 1;
    } else if (equals(line, "post")) {
        frontEnd.postThinking = 1;
    } else if (equals(line, "nopost")) {
        frontEnd.postThinking = 0;
    } else if (isIgnoredCommand(line)) {
    } else if (startsWith(line, "perft ")) {
        perftCommand(*engine, argumentAfterBlank(line));
    } else if (startsWith(line, "divide ")) {
        divideCommand(*engine, argumentAfterBlank(line));
    } else if (startsWith(line, "time ")) {
        frontEnd.engineClock = static_cast<float>(argumentAfterBlank(line) * 10LL);
        engine->clockTime[engine->board.xside] = frontEnd.engineClock;
    } else if (startsWith(line, "otim ")) {
        frontEnd.opponentClock = static_cast<float>(argumentAfterBlank(line) * 10LL);
        engine->clockTime[engine->board.side] = frontEnd.opponentClock;
    } else if (startsWith(line, "ping ")) {
        sendLine("pong %d", argumentAfterBlank(line));
    } else if (startsWith(line, "st ")) {
        // At most N seconds: a margin is kept for the move's way to the GUI,
        // and the cap stays below the no-limit value.
        constexpr long long kReplyMarginUs = 50000;
        long long microseconds = argumentAfterBlank(line) * 1000000LL - kReplyMarginUs;
        if (microseconds < 0) microseconds = 0;
        if (microseconds >= kNoTimeLimit) microseconds = kNoTimeLimit - 1;
        engine->setLimit(LIMIT_MOVETIME, microseconds);
        frontEnd.timeControlGiven = 1;
    } else if (startsWith(line, "sd ")) {
        // A depth cap on top of the GUI's time control; without one (only the
        // fresh engine's 5 s per move) the depth alone limits the search.
        long long depth = argumentAfterBlank(line);
        engine->maxDepth = static_cast<int32_t>(depth < 1 ? 1 : depth > kMaxIterations ? kMaxIterations : depth);
        if (!frontEnd.timeControlGiven) engine->setLimit(LIMIT_DEPTH, engine->maxDepth);
    } else if (startsWith(line, "level ")) {
        level(*engine, line);
    } else if (startsWith(line, "setboard ")) {
        engine->setFromFen(std::strchr(line, ' ') + 1);
    } else if (looksLikeMove(line)) {
        handleMove(*engine, line);
    } else if (needsArgument(line)) {
        sendLine("Error (missing argument): %s", line);
    } else if (line[std::strspn(line, " \t")] == '\0') {
        // A line of blanks or tabs is as empty as an empty one.
    } else {
        sendLine("Error (unknown command): %s", line);
    }

    if (restartAnalysis && engine->analysing && !engine->searching && !frontEnd.quitRequested) analyse(*engine);
    return 1;
}

}  // namespace tarvok
