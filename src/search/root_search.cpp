// SPDX-License-Identifier: GPL-3.0-or-later
// Iterative deepening with an aspiration window, the root search with its
// quiescence pre-scores, and the write-back of the previous line.
#include "board/movegen.h"
#include "book/opening_book.h"
#include "search/hash_table.h"
#include "search/search_engine.h"
#include "search/search_internal.h"

namespace tarvok {

namespace {

constexpr int kAspirationWindow = 40;

void emptyRow(PvRow& row) {
    row.length = 0;
    row.entries[0].move = NO_MOVE;
}

Move secondMove(const PvRow& row) { return row.length >= 2 ? row.entries[1].move : NO_MOVE; }

}  // namespace

int SearchEngine::restrictRootMoves(MoveList& list, int count) const {
    if (searchMoves.count == 0) return count;
    const MoveEntry* const allowed = searchMoves.entries;
    const MoveEntry* const allowedEnd = allowed + searchMoves.count;
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        const Move move = list.entries[i].move;
        for (const MoveEntry* entry = allowed; entry != allowedEnd; ++entry) {
            if (entry->move == move) {
                list.entries[kept++] = list.entries[i];
                break;
            }
        }
    }
    return kept;
}

Move SearchEngine::firstLegalMove() {
    MoveList& list = scratchMoveList;
    int count = generateAll(board, list, 0, isInCheck(board, static_cast<int>(board.side)));
    count = restrictRootMoves(list, count);
    if (!board.hasRoomForPly()) return NO_MOVE;
    for (int i = 0; i < count; ++i) {
        const Move move = list.entries[i].move;
        const int legal = board.makeMove(move);
        board.unmakeMove(move);
        if (legal) return move;
    }
    return NO_MOVE;
}

void SearchEngine::writeBackPv(int depth) {
    const int length = static_cast<int>(savedPv.length) < depth ? static_cast<int>(savedPv.length) : depth;
    int made = 0;
    for (int i = 0; i < length && board.hasRoomForPly(); ++i) {
        const Move move = savedPv.entries[i].move;
        if (!isValidMove(board, move)) break;
        const HashKey key = board.hashKey;
        // A move that leaves its own king attacked never reaches the table.
        if (!board.makeMove(move)) {
            board.unmakeMove(move);
            break;
        }
        hashTable.store(key, move, 4 * (depth - 1 - i), BOUND_EXACT, savedPv.entries[i].score);
        ++made;
    }
    for (int i = made - 1; i >= 0; --i) board.unmakeMove(savedPv.entries[i].move);
}

int SearchEngine::searchRoot(int depth, int alpha, int beta) {
    rootResult = 0;
    const bool inCheck = isInCheck(board, static_cast<int>(board.side));
    PlyRecord& record = board.plyRecords[board.plyCount];
    record.inCheck = inCheck ? 1 : 0;
    record.nodeType = NODE_PV;

    MoveList& list = moveLists[0];
    int count = restrictRootMoves(list, generateAll(board, list, 0, inCheck));
    const Move previousBest = savedPv.entries[0].move;
    int legalMoves = 0;
    for (int i = 0; i < count; ++i) {
        MoveEntry& entry = list.entries[i];
        if (board.makeMove(entry.move)) {
            ++legalMoves;
            int score = 0;
            if (stopState == STOP_NONE && periodicCheck()) score = -quiesce(1, -kMateScore, kMateScore, 1);
            entry.score = entry.move == previousBest ? 100000 : score;
        } else {
            entry.score = -kMateScore;
        }
        board.unmakeMove(entry.move);
    }
    sortMoves(list, count);
    count = legalMoves;
    list.count = static_cast<uint32_t>(count);

    PvRow& pv = pvTable[0];
    if (legalMoves == 0) {
        rootResult = 2;
        emptyRow(pv);
        // The empty row still carries the score, which the hooks report.
        pv.entries[0].score = inCheck ? -kMateScore : drawScore;
        return pv.entries[0].score;
    }
    if (stopState != STOP_NONE) return 0;

    const HashKey key = board.hashKey;
    int movesSearched = 0;
    uint32_t bound = BOUND_UPPER;
    for (int i = 0; i < count && stopState == STOP_NONE; ++i) {
        const Move move = list.entries[i].move;
        if (!board.makeMove(move)) {
            board.unmakeMove(move);
            continue;
        }
        if (rootMoveReporting) onRootMove(move, movesSearched + 1);
        const bool givesCheck = isInCheck(board, static_cast<int>(board.side));
        PlyRecord& child = board.plyRecords[board.plyCount];
        child.inCheck = givesCheck ? 1 : 0;
        int extension = (givesCheck ? 4 : 0) + moveExtension(move);
        if (extension > 4) extension = 4;
        const int newDepth = depth + extension - 4;

        int score;
        if (movesSearched == 0) {
            child.nodeType = NODE_PV;
            score = searchChild(newDepth, alpha, beta, 0, true);
        } else {
            child.nodeType = NODE_CUT;
            score = searchChild(newDepth, alpha, alpha + 1, 0, givesCheck);
            if (score > alpha && score < beta) {
                child.nodeType = NODE_PV;
                score = searchChild(newDepth, alpha, beta, 0, true);
            }
        }
        board.unmakeMove(move);
        ++movesSearched;
        if (stopState != STOP_NONE) return 0;

        if (score > alpha) {
            if (score >= beta) {
                hashTable.store(key, move, depth, BOUND_LOWER, beta);
                if (moveCaptured(move) == NO_PIECE && movePromotion(move) == NO_PIECE)
                    updateKillersAndHistory(move, depth, 0);
                return beta;
            }
            setPvRow(pv, move, score, pvTable[1]);
            alpha = score;
            bound = BOUND_EXACT;
        }
    }
    if (stopState != STOP_NONE) return 0;
    if (movesSearched == 1) rootResult = 1;
    hashTable.store(key, pv.entries[0].move, depth, bound, alpha);
    return alpha;
}

void SearchEngine::iterate() {
    onSearchBegin();
    Move bookMove = NO_MOVE;
    // The book answers only a plain search: not an analysis, a root
    // restriction or a mate search.
    const bool plainSearch = !analysing && searchMoves.count == 0 && mateLimit == 0;
    if (bookEnabled && plainSearch && game.gameLength < bookMaxPly)
        bookMove = openingBook.chooseBookMove(board, scratchMoveList);
    nodeCount = 0;
    onSearchPrepared();

    Move bestMove = NO_MOVE;
    int depth = 1;
    if (bookMove != NO_MOVE) {
        // A book move is played as a normal result, whatever the previous
        // search left in stopState; no reply is predicted.
        bestMove = bookMove;
        stopState = STOP_NONE;
        ponderMove = NO_MOVE;
        // While pondering the move is held until the opponent has moved.
        waitWhilePondering();
        if (stopState == STOP_ABORT) {
            searching = 0;
            onSearchEnd(STOP_ABORT);
            return;
        }
    } else {
        clearSearchTables();
        setupTimeBudget();
        rootMoveReporting = 0;
        double searchTime = 0.0;
        emptyRow(savedPv);
        ponderMove = NO_MOVE;
        int lastScore = 0, mateIterations = 0;
        int alpha = -kInfiniteWindow, beta = kInfiniteWindow;
        // activeLimitMode is this search's limit: a command arriving during
        // it ("sd", "level") applies to the next one.
        // An analysis runs as deep as the search goes, whatever depth cap a
        // game left behind.
        int maxIterations = maxDepth;
        if (analysing) maxIterations = kMaxIterations;
        else if (activeLimitMode == LIMIT_DEPTH && depthLimit < maxDepth) maxIterations = depthLimit;
        bool rootListMade = false;

        while (stopState == STOP_NONE) {
            PvRow& pv = pvTable[0];
            emptyRow(pv);
            const ClockTime iterationStart = readClock();
            const int score = searchRoot(4 * depth, alpha, beta);
            rootListMade = true;
            const double iterationTime = elapsedMicroseconds(iterationStart, readClock());
            searchTime += iterationTime;
            if (searchTime > 1000000.0) rootMoveReporting = 1;
            if (stopState != STOP_NONE) break;

            const bool inWindow = alpha < score && score < beta;
            if (inWindow) {
                alpha = score - kAspirationWindow;
                beta = score + kAspirationWindow;
                onIterationDone(depth, pv, nodeCount, searchTime);
                ++depth;
                lastScore = score;
                if (maxIterations < depth || mateFound(score)) {
                    // A ponder search never answers before the opponent moves.
                    waitWhilePondering();
                    if (stopState == STOP_NONE) stopState = STOP_PLAY;
                }
            } else {
                alpha = -kInfiniteWindow;
                beta = kInfiniteWindow;
            }
            if (activeLimitMode == LIMIT_CLOCK && !pondering) {
                if (rootResult == 1) {
                    bestMove = pv.entries[0].move;
                    ponderMove = secondMove(pv);
                    stopState = STOP_PLAY;
                } else if (rootResult == 2) {
                    stopState = STOP_PLAY;
                }
                if (lastScore > kMateThreshold || lastScore < -kMateThreshold) {
                    ++mateIterations;
                    if (depth > 6 && mateIterations > 1) stopState = STOP_PLAY;
                }
                if (0.6 * iterationTime + searchTime > 0.8 * static_cast<double>(timeBudget)) stopState = STOP_PLAY;
            }
            if (inWindow) {
                bestMove = pv.entries[0].move;
                ponderMove = secondMove(pv);
            }
            savedPv = pv;
            if (depth > 1) writeBackPv(depth);
        }

        // An analysis ends without a move, however it was stopped.
        if (stopState == STOP_ABORT || analysing) {
            searching = 0;
            onSearchEnd(STOP_ABORT);
            return;
        }
        // With (almost) nothing left on the clock the first iteration can be
        // cut off by the time limit, and the first legal move would be a
        // random one: the iteration is finished without the limit (it takes
        // milliseconds). Input is still read, so "stop" or "quit" ends it.
        if (depth == 1 && stopState == STOP_PLAY && !pondering &&
            (activeLimitMode == LIMIT_CLOCK || activeLimitMode == LIMIT_MOVETIME) &&
            elapsedMicroseconds(startTime, readClock()) >= static_cast<double>(timeBudget)) {
            stopState = STOP_NONE;
            timeBudget = kNoTimeLimit;
            const ClockTime repeatStart = readClock();
            emptyRow(pvTable[0]);
            searchRoot(4, -kInfiniteWindow, kInfiniteWindow);
            if (stopState == STOP_ABORT) {
                searching = 0;
                onSearchEnd(STOP_ABORT);
                return;
            }
            if (stopState == STOP_NONE) {
                onIterationDone(1, pvTable[0], nodeCount, searchTime + elapsedMicroseconds(repeatStart, readClock()));
                bestMove = pvTable[0].entries[0].move;
                ponderMove = secondMove(pvTable[0]);
                stopState = STOP_PLAY;
            }
        }
        // A stopped iteration that finished no root move keeps the best move
        // of the last completed one.
        if (activeLimitMode == LIMIT_DEPTH && pvTable[0].entries[0].move != NO_MOVE) {
            bestMove = pvTable[0].entries[0].move;
            ponderMove = secondMove(pvTable[0]);
        }
        if (depth == 2 && bestMove == NO_MOVE) {
            const ClockTime repeatStart = readClock();
            searchRoot(4, -kInfiniteWindow, kInfiniteWindow);
            onIterationDone(1, pvTable[0], nodeCount, searchTime + elapsedMicroseconds(repeatStart, readClock()));
        }
        // Stopped before any iteration completed (a node limit, "stop"): the
        // root list, sorted by its quiescence pre-scores, holds the best
        // move known so far, legal moves first.
        if (bestMove == NO_MOVE && rootListMade && moveLists[0].count > 0) bestMove = moveLists[0].entries[0].move;
    }

    if (pondering) {
        pondering = 0;
        if (stopState == STOP_PONDER) {
            bestMove = NO_MOVE;
            if (game.gameLength != 0) gameTakeBack();
        }
    }
    // A search stopped before its first iteration still answers with a
    // legal move when there is one, rather than with none.
    if (bestMove == NO_MOVE && stopState != STOP_PONDER) bestMove = firstLegalMove();
    playedMove = NO_MOVE;
    if (bestMove != NO_MOVE && !game.isFull() && board.hasRoomForPly()) {
        if (board.makeMove(bestMove)) {
            recordGameMove(bestMove);
            playedMove = bestMove;
        } else {
            board.unmakeMove(bestMove);
        }
    }
    onSearchEnd(stopState);
    if (stopState != STOP_PONDER) onGameMoveDone();
    searching = 0;
}

}  // namespace tarvok
