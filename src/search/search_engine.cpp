// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/search_engine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "board/bitboard.h"
#include "board/move_text.h"
#include "book/opening_book.h"
#include "search/hash_table.h"

namespace tarvok {

uint64_t nodeCount = 0;
int32_t drawScore = 0;

SearchEngine::SearchEngine() {
    std::memset(pvTable, 0, sizeof pvTable);
    std::memset(moveLists, 0, sizeof moveLists);
    std::memset(&scratchMoveList, 0, sizeof scratchMoveList);
    std::memset(&game, 0, sizeof game);
    std::memset(&savedPv, 0, sizeof savedPv);
    std::memset(killers, 0, sizeof killers);
    std::memset(history, 0, sizeof history);
    initAttackTables();
    board.clear();
}

SearchEngine::~SearchEngine() = default;

void SearchEngine::clearSearchTables() {
    std::memset(killers, 0, sizeof killers);
    std::memset(history, 0, sizeof history);
}

int SearchEngine::setStartPosition() {
    board.setStartArray();
    ponderMove = NO_MOVE;
    drawScore = 0;
    lastMove = NO_MOVE;
    searching = 0;
    pondering = 0;
    limitMode = LIMIT_MOVETIME;
    depthLimit = 8;
    maxDepth = kMaxIterations;
    checkInterval = 30000;
    checkCounter = 0;
    movesToGo = 40;
    clockIncrement[0] = clockIncrement[1] = 0;
    timeBudget = 7500;
    nodeLimit = 2000000;
    moveTime = 5000000;
    startTime = {0, 0};
    game.clear();
    defaultClock = 300000;
    hashTable.clear();
    clearSearchTables();
    board.keyHistoryCount = 0;
    int result = onBoardChanged();
    clockTime[0] = clockTime[1] = static_cast<float>(defaultClock);
    return result;
}

int SearchEngine::setFromFen(const char* text) {
    if (!board.setFromFen(text)) return 0;
    game.clear();
    lastMove = NO_MOVE;
    clearSearchTables();
    onBoardChanged();
    return 1;
}

void SearchEngine::setLimit(int mode, int64_t value) {
    switch (mode) {
        case LIMIT_DEPTH:
            limitMode = mode;
            depthLimit = static_cast<int32_t>(value);
            break;
        case LIMIT_NODES:
            limitMode = mode;
            nodeLimit = static_cast<uint64_t>(value);
            break;
        case LIMIT_MOVETIME:
            limitMode = mode;
            moveTime = static_cast<uint32_t>(value);
            break;
        case LIMIT_CLOCK:
        case LIMIT_INFINITE:
            limitMode = mode;
            break;
        default:
            break;
    }
}

int SearchEngine::setHashSize(int megabytes) {
    // The ply records live inside the Board and need no allocation; a fresh
    // size still starts them from zero.
    std::memset(board.plyRecords, 0, sizeof board.plyRecords);
    return hashTable.resize(megabytes);
}

int SearchEngine::enableBook(const char* path) {
    bookEnabled = 1;
    bookMaxPly = 20;
    seedBookRandom(static_cast<uint64_t>(std::time(nullptr)));
    return openingBook.loadBook(path);
}

void SearchEngine::disableBook() {
    bookEnabled = 0;
    openingBook.clearBook();
}

void SearchEngine::clearHash() { hashTable.clear(); }

int SearchEngine::mateDistance(int score) {
    if (score < -kMateThreshold) return (score + kMateScore + 1) / 2;
    if (score > kMateThreshold) return (kMateScore - score + 1) / 2;
    return score;
}

void SearchEngine::release() {
    pondering = 0;
    ponderEnabled = 0;
    ponderMove = NO_MOVE;
    if (searching) stopState = STOP_ABORT;
    board.clear();
    game.clear();
    hashTable.free();
}

int SearchEngine::startSearch(bool ponder) {
    pondering = (ponder && ponderEnabled) ? 1 : 0;
    searching = 1;
    iterate();
    searchMoves.count = 0;
    mateLimit = 0;
    return 1;
}

int SearchEngine::checkNow() {
    if (stopState != STOP_NONE) return 0;
    return periodicCheck();
}

bool SearchEngine::recordGameMove(Move move) {
    if (!game.append(move)) return false;
    lastMove = move;
    return true;
}

int SearchEngine::playMoveText(const char* text) {
    if (!tarvok::playMoveText(board, game, scratchMoveList, text)) return 0;
    lastMove = game.lastRecorded();
    return 1;
}

int SearchEngine::gameTakeBack() {
    if (!takeBackGameMove(board, game)) return 0;
    lastMove = game.lastRecorded();
    onBoardChanged();
    onGameMoveDone();
    return 1;
}

int SearchEngine::countLegalMoves() { return tarvok::countLegalMoves(board, scratchMoveList); }

bool SearchEngine::isCheckmate() { return tarvok::isCheckmate(board, scratchMoveList); }

}  // namespace tarvok
