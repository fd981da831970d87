// XBoard (CECP) protocol handler: one command line at a time, from the
// command loop or from the search's input poll.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frontend/config_file.h"
#include "frontend/frontend.h"
#include "frontend/number_text.h"
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

void startUp() {
    int hashMegabytes = 128;
    iniGetInt(kConfigFileName, "Engine", "Hash", hashMegabytes);
    ProtocolEngine& engine = replaceEngine();
    engine.setHashSize(hashMegabytes);
    engine.setStartPosition();
    resetGameCounters(engine);
    enableConfiguredBook(engine);
    frontEnd.forceMode = 0;
    frontEnd.engineClock = frontEnd.opponentClock = -1.0f;
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
    engine.startSearch(false);
}

void newGame(ProtocolEngine& engine) {
    switchPonderingOff(engine);
    if (engine.searching) {
        engine.stopState = STOP_ABORT;
        frontEnd.newGamePending = 1;
    } else {
        engine.setStartPosition();
        resetGameCounters(engine);
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
    frontEnd.engineClock = frontEnd.opponentClock = base;
    // Increments may be fractions of a second (level 0 0:05 0.05).
    const double incrementMs = std::strtod(increment, nullptr) * 1000.0;
    engine.clockIncrement[0] = engine.clockIncrement[1] =
        incrementMs >= INT_MAX ? INT_MAX : incrementMs <= INT_MIN ? INT_MIN : static_cast<int>(incrementMs);
    engine.setLimit(LIMIT_CLOCK, 0);
}

// Returns 0 when the engine, now to move, has no legal move.
int handleMove(ProtocolEngine& engine, const char* line) {
    const bool ponderReply =
        frontEnd.ponderOption && frontEnd.ponderRequested && frontEnd.hintMove != NO_MOVE && engine.searching;
    // Any other move during a search would change the board under it: the
    // search ends first and the move is played after it.
    if (!ponderReply && deferWhileSearching(line)) return 1;
    ++frontEnd.userMoveCount;
    if (ponderReply) {
        const Move hint = frontEnd.hintMove;
        const int from = (line[0] - 'a') + 8 * (line[1] - '1');
        const int to = (line[2] - 'a') + 8 * (line[3] - '1');
        if (from == moveFrom(hint) && to == moveTo(hint)) {
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
        return 1;
    }
    if (!engine.playMoveText(line)) return 1;
    if (frontEnd.analyzing) return 1;
    if (engine.countLegalMoves() == 0) return 0;
    if (frontEnd.forceMode) return 1;
    engine.movesToGo = frontEnd.movesLeft;
    applyXboardClocks();
    engine.startSearch(false);
    return 1;
}

// Commands that change the board: during an analysis they stop it, run, and
// the analysis starts again on the new position.
bool changesAnalysedPosition(const char* line) {
    return equals(line, "undo") || equals(line, "new") || startsWith(line, "setboard ") || looksLikeMove(line);
}

// Commands that must not run under a search that is using the board.
bool changesBoardOrTables(const char* line) {
    return equals(line, "xboard") || equals(line, "undo") || equals(line, "analyze") || equals(line, "go") ||
           startsWith(line, "perft ") || startsWith(line, "divide ") || startsWith(line, "setboard ");
}

}  // namespace

void applyXboardClocks() {
    ProtocolEngine* engine = frontEnd.engine;
    if (engine == nullptr) return;
    if (frontEnd.engineClock >= 0.0f) engine->clockTime[engine->board.side] = frontEnd.engineClock;
    if (frontEnd.opponentClock >= 0.0f) engine->clockTime[engine->board.xside] = frontEnd.opponentClock;
}

int xboardHandleLine(char* line) {
    ProtocolEngine* engine = frontEnd.engine;
    if (engine != nullptr && engine->searching) {
        if (frontEnd.analyzing && changesAnalysedPosition(line)) {
            deferWhileSearching(line, STOP_ABORT);
            return 1;
        }
        const bool ponderReply =
            frontEnd.ponderOption && frontEnd.ponderRequested && frontEnd.hintMove != NO_MOVE && looksLikeMove(line);
        if ((changesBoardOrTables(line) || (looksLikeMove(line) && !ponderReply)) && deferWhileSearching(line))
            return 1;
    }
    const bool restartAnalysis = frontEnd.analyzing && engine != nullptr && changesAnalysedPosition(line);

    int result = 1;
    if (equals(line, "xboard")) {
        startUp();
    } else if (engine == nullptr) {
        return 1;  // nothing else means anything before the engine exists
    } else if (equals(line, "undo")) {
        engine->gameTakeBack();
    } else if (equals(line, "white") || equals(line, "black")) {
    } else if (equals(line, "force")) {
        frontEnd.forceMode = 1;
    } else if (equals(line, "random") || equals(line, "result")) {
    } else if (equals(line, "analyze")) {
        saveLimits(*engine);
        frontEnd.analyzing = 1;
        analyse(*engine);
    } else if (equals(line, "exit")) {
        if (frontEnd.analyzing) {
            frontEnd.analyzing = 0;
            restoreLimits(*engine);
        }
        if (engine->searching) engine->stopState = STOP_ABORT;
    } else if (equals(line, "setboard")) {
    } else if (equals(line, "go")) {
        if (!frontEnd.firstGoDone) {
            frontEnd.firstGoDone = 1;
            if (frontEnd.movesLeft != 0) {
                frontEnd.movesLeft -= static_cast<int>(frontEnd.userMoveCount / 2);
                engine->movesToGo = frontEnd.movesLeft;
            }
        }
        frontEnd.forceMode = 0;
        applyXboardClocks();
        engine->startSearch(false);
    } else if (equals(line, "?")) {
        if (engine->searching) engine->stopState = engine->pondering ? STOP_PONDER : STOP_PLAY;
    } else if (equals(line, ".") || equals(line, "#")) {
    } else if (equals(line, "new")) {
        newGame(*engine);
        if (frontEnd.analyzing) saveLimits(*engine);
    } else if (equals(line, "computer")) {
    } else if (equals(line, "easy")) {
        // A ponder search is abandoned (its guessed move taken back), not
        // played: its move would answer a move the opponent has not made.
        const int wasPondering = engine->pondering;
        switchPonderingOff(*engine);
        if (engine->searching) {
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
    } else if (startsWith(line, "accepted ") || startsWith(line, "analyze") || startsWith(line, "protover ")) {
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
        long long microseconds = argumentAfterBlank(line) * 1000000LL;
        if (microseconds < 0) microseconds = 0;
        if (microseconds > 4294967295LL) microseconds = 4294967295LL;
        engine->setLimit(LIMIT_MOVETIME, microseconds);
    } else if (startsWith(line, "sd ")) {
        engine->setLimit(LIMIT_DEPTH, argumentAfterBlank(line));
    } else if (startsWith(line, "level ")) {
        level(*engine, line);
    } else if (startsWith(line, "setboard ")) {
        engine->setFromFen(std::strchr(line, ' ') + 1);
    } else if (looksLikeMove(line)) {
        result = handleMove(*engine, line);
    }

    if (restartAnalysis && frontEnd.analyzing && !engine->searching && !frontEnd.quitRequested) analyse(*engine);
    return result;
}

}  // namespace tarvok
