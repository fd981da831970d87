// SPDX-License-Identifier: GPL-3.0-or-later
// UCI protocol handler: one command line at a time, from the command loop or
// from the search's input poll.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/move_text.h"
#include "frontend/config_file.h"
#include "frontend/frontend.h"
#include "frontend/input_reader.h"
#include "frontend/number_text.h"
#include "frontend/protocol_engine.h"
#include "tools/perft.h"

namespace tarvok {

namespace {

constexpr const char* kStartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

bool startsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

// Base-10 value of the text up to the next blank (0 without digits), held
// at the int range.
int readValue(const char* text) { return readSaturatedInt(text); }

// The word after the current one, or the end of the text.
const char* nextWord(const char* text) {
    const char* blank = std::strchr(text, ' ');
    return blank ? blank + 1 : text + std::strlen(text);
}

void identifyAndCreateEngine() {
    sendLine("id name %s %s %s", kEngineName, kVersion, frontEnd.platformName);
    sendLine("id author %s", kAuthor);
    sendLine("%s", "option name Hash type spin default 32 min 4 max 4096");
    sendLine("%s", "option name Ponder type check default false");
    sendLine("%s", "option name OwnBook type check default false");
    sendLine("%s", "option name Book File type string default tarvokopenbook.bin");
    sendLine("%s", "option name Clear Hash type button");
    // A second "uci" starts afresh: the previous engine is released first.
    ProtocolEngine& engine = replaceEngine();
    engine.setHashSize(32);
    engine.setStartPosition();
    enableConfiguredBook(engine);
    sendLine("%s", "uciok");
}

// The word at text (up to the next blank) as a legal move of the position,
// or NO_MOVE.
Move legalMoveWord(ProtocolEngine& engine, const char* text) {
    const size_t length = std::strcspn(text, " ");
    if (length < 4 || length > 5 || !engine.board.hasRoomForPly()) return NO_MOVE;
    char word[8];
    std::memcpy(word, text, length);
    word[length] = '\0';
    const Move move = findMoveText(engine.board, engine.scratchMoveList, word);
    if (move == NO_MOVE) return NO_MOVE;
    const int legal = engine.board.makeMove(move);
    engine.board.unmakeMove(move);
    return legal ? move : NO_MOVE;
}

bool isGoKeyword(const char* word) {
    static constexpr const char* kKeywords[] = {"infinite", "ponder", "depth ", "nodes ", "movetime ", "movestogo ",
                                                "wtime ", "btime ", "winc ", "binc ", "mate ", "searchmoves"};
    for (const char* keyword : kKeywords)
        if (startsWith(word, keyword)) return true;
    return false;
}

// The words after "searchmoves" up to the next keyword: the legal moves
// among them restrict the root. Returns where the walk goes on.
const char* readSearchMoves(ProtocolEngine& engine, const char* word) {
    MoveList& allowed = engine.searchMoves;
    allowed.count = 0;
    for (word = nextWord(word); *word != '\0' && !isGoKeyword(word); word = nextWord(word)) {
        const Move move = legalMoveWord(engine, word);
        if (move != NO_MOVE && allowed.count < kMaxMoves) allowed.entries[allowed.count++].move = move;
    }
    return word;
}

void parseGo(ProtocolEngine& engine, const char* text) {
    frontEnd.ponderRequested = 0;
    engine.movesToGo = 0;
    engine.searchMoves.count = 0;
    engine.mateLimit = 0;
    engine.untilStop = 0;
    bool limitGiven = false;
    const auto setLimit = [&](int mode, int64_t limit) {
        engine.setLimit(mode, limit);
        limitGiven = true;
    };
    const char* word = text;
    while (*word != '\0') {
        const char* value = nullptr;
        if (startsWith(word, "searchmoves")) {
            word = readSearchMoves(engine, word);
            continue;
        }
        if (startsWith(word, "infinite")) {
            engine.untilStop = 1;
            setLimit(LIMIT_INFINITE, 0);
        } else if (startsWith(word, "ponder")) {
            frontEnd.ponderRequested = 1;
        } else if (startsWith(word, "depth ")) {
            value = word + 6;
            setLimit(LIMIT_DEPTH, readValue(value));
        } else if (startsWith(word, "nodes ")) {
            value = word + 6;
            setLimit(LIMIT_NODES, readValue(value));
        } else if (startsWith(word, "movetime ")) {
            value = word + 9;
            long long microseconds = readValue(value) * 1000LL;
            if (microseconds < 0) microseconds = 0;
            if (microseconds > UINT32_MAX) microseconds = UINT32_MAX;
            setLimit(LIMIT_MOVETIME, microseconds);
        } else if (startsWith(word, "movestogo ")) {
            value = word + 10;
            engine.movesToGo = readValue(value);
            setLimit(LIMIT_CLOCK, 0);
        } else if (startsWith(word, "wtime ")) {
            value = word + 6;
            engine.clockTime[WHITE] = static_cast<float>(readValue(value));
            setLimit(LIMIT_CLOCK, 0);
        } else if (startsWith(word, "btime ")) {
            value = word + 6;
            engine.clockTime[BLACK] = static_cast<float>(readValue(value));
            setLimit(LIMIT_CLOCK, 0);
        } else if (startsWith(word, "winc ")) {
            value = word + 5;
            engine.clockIncrement[WHITE] = readValue(value);
        } else if (startsWith(word, "binc ")) {
            value = word + 5;
            engine.clockIncrement[BLACK] = readValue(value);
        } else if (startsWith(word, "mate ")) {
            value = word + 5;
            engine.mateLimit = readValue(value) > 0 ? readValue(value) : 0;
        }
        word = nextWord(value != nullptr ? value : word);
    }
    // "mate" alone searches until it finds a mate that short or is stopped;
    // with a limit word (before or after it) that limit holds as well.
    if (engine.mateLimit > 0 && !limitGiven) engine.setLimit(LIMIT_INFINITE, 0);
}

// Plays the blank-separated coordinate moves; words that are not legal moves
// are skipped.
void playMoveWords(ProtocolEngine& engine, const char* words) {
    while (*words != '\0') {
        const char* end = std::strchr(words, ' ');
        const size_t length = end ? static_cast<size_t>(end - words) : std::strlen(words);
        if (length > 0 && length <= 5) {
            char move[8];
            std::memcpy(move, words, length);
            move[length] = '\0';
            // A GUI that lost track of the game says so here: the move is
            // skipped, and the user can see why the answer looks odd.
            if (!engine.playMoveText(move)) sendLine("info string illegal move skipped: %s", move);
        } else if (length > 0) {
            sendLine("info string illegal move skipped: %.*s", static_cast<int>(length), words);
        }
        words = end ? end + 1 : words + length;
    }
}

void setPosition(ProtocolEngine& engine, const char* text) {
    if (startsWith(text, "fen ")) {
        const char* fen = text + 4;
        const char* moves = std::strstr(fen, "moves ");
        char fenText[kInputLineSize];
        const size_t length = moves ? static_cast<size_t>(moves - fen) : std::strlen(fen);
        std::memcpy(fenText, fen, length);
        fenText[length] = '\0';
        if (!engine.setFromFen(fenText)) return;
        if (moves) playMoveWords(engine, moves + 6);
    } else if (startsWith(text, "startpos")) {
        engine.setFromFen(kStartFen);
        const char* rest = text + 8;
        if (startsWith(rest, " moves ")) playMoveWords(engine, rest + 7);
    }
}

void reportBookLoad(ProtocolEngine& engine) {
    if (!engine.enableBook(frontEnd.bookFileName)) sendLine("info string book file not found");
}

void setOption(ProtocolEngine& engine, const char* text) {
    if (!startsWith(text, "name ")) return;
    text += 5;
    if (startsWith(text, "Hash ")) {
        if (startsWith(text + 5, "value ")) {
            const int requested = readValue(text + 11);
            engine.setHashSize(requested < 0 ? 0 : requested);
        }
    } else if (startsWith(text, "Ponder ")) {
        if (!startsWith(text + 7, "value ")) return;
        if (std::strcmp(text + 13, "true") == 0) {
            engine.ponderEnabled = 1;
            frontEnd.ponderOption = 1;
        } else {
            engine.ponderEnabled = 0;
            engine.pondering = 0;
            frontEnd.ponderOption = 0;
            engine.ponderMove = NO_MOVE;
        }
    } else if (startsWith(text, "OwnBook ")) {
        if (!startsWith(text + 8, "value ")) return;
        if (std::strcmp(text + 14, "true") == 0) {
            frontEnd.ownBook = 1;
            reportBookLoad(engine);
        } else {
            frontEnd.ownBook = 0;
            engine.disableBook();
        }
    } else if (startsWith(text, "Book File ")) {
        if (!startsWith(text + 10, "value ")) return;
        std::snprintf(frontEnd.bookFileName, sizeof frontEnd.bookFileName, "%s", text + 16);
        if (frontEnd.ownBook) reportBookLoad(engine);
    } else if (startsWith(text, "Clear ")) {
        if (startsWith(text + 6, "Hash")) engine.clearHash();
    }
}

// Options that replace the hash table while a search runs it are held back.
bool optionTouchesSearch(const char* line) {
    return startsWith(line, "setoption name Hash ") || startsWith(line, "setoption name Clear ");
}

}  // namespace

int uciHandleLine(char* line) {
    ProtocolEngine* engine = frontEnd.engine;
    // Commands that would change the board, the tables or the engine under a
    // running search stop it first and run after it.
    if (startsWith(line, "go ") || std::strcmp(line, "uci") == 0 || startsWith(line, "position ") ||
        startsWith(line, "perft") || startsWith(line, "divide") || optionTouchesSearch(line)) {
        if (deferWhileSearching(line)) return 1;
    }

    if (startsWith(line, "go ")) {
        if (engine == nullptr) return 1;
        parseGo(*engine, line + 3);
        // The position stays what "position" set: the engine's own move is
        // taken back once announced, so that a second "go" searches it again.
        const uint32_t positionIndex = engine->game.gameIndex;
        engine->startSearch(frontEnd.ponderRequested != 0);
        while (engine->game.gameIndex > positionIndex && engine->gameTakeBack()) {
        }
    } else if (std::strcmp(line, "ponderhit") == 0) {
        if (engine == nullptr) return 1;
        engine->pondering = 0;
        engine->checkCounter = engine->checkInterval;
        engine->checkNow();
    } else if (std::strcmp(line, "quit") == 0) {
        if (engine != nullptr) {
            frontEnd.ponderOption = 0;
            frontEnd.hintMove = NO_MOVE;
            if (engine->searching) engine->stopState = STOP_ABORT;
        }
        return 0;
    } else if (std::strcmp(line, "uci") == 0) {
        identifyAndCreateEngine();
    } else if (std::strcmp(line, "isready") == 0) {
        sendLine("%s", "readyok");
    } else if (std::strcmp(line, "ucinewgame") == 0) {
        if (engine == nullptr) return 1;
        frontEnd.hintMove = NO_MOVE;
        if (engine->searching) {
            engine->stopState = STOP_ABORT;
            frontEnd.newGamePending = 1;
        } else {
            engine->setStartPosition();
        }
    } else if (std::strcmp(line, "stop") == 0) {
        if (engine != nullptr && engine->searching) stopUciSearch(*engine);
    } else if (startsWith(line, "perft") || startsWith(line, "divide")) {
        const char* blank = std::strchr(line, ' ');
        if (blank == nullptr || engine == nullptr) return 1;
        const int depth = readValue(blank + 1);
        if (startsWith(line, "perft")) perftCommand(*engine, depth);
        else divideCommand(*engine, depth);
    } else if (startsWith(line, "debug ")) {
        // Accepted without effect.
    } else if (startsWith(line, "position ")) {
        if (engine != nullptr) setPosition(*engine, line + 9);
    } else if (startsWith(line, "setoption ")) {
        if (engine != nullptr) setOption(*engine, line + 10);
    }
    return 1;
}

}  // namespace tarvok
