// SPDX-License-Identifier: GPL-3.0-or-later
// Below the root: fail-hard principal-variation search with a transposition
// table, null move, internal iterative deepening, futility pruning, late-move
// reductions and extensions, ending in a captures-only quiescence search.
#include <utility>

#include "board/movegen.h"
#include "eval/evaluate.h"
#include "search/hash_table.h"
#include "search/search_engine.h"
#include "search/search_internal.h"

namespace tarvok {

namespace {

constexpr int kNoHashScore = 123456;
constexpr int kFutilityMargin[4] = {0, 200, 500, 975};

}  // namespace

int SearchEngine::quiesce(int ply, int alpha, int beta, int exactEval) {
    ++nodeCount;
    PvRow& pv = pvTable[ply];
    pv.length = 0;
    const int standPat = evaluate(board, alpha, beta, exactEval ? 0 : 1);
    if (ply > kMaxChildPly) return standPat;
    int best;
    if (standPat <= alpha) best = alpha;
    else if (standPat >= beta) return beta;
    else best = standPat;

    MoveList& list = moveLists[ply];
    const int count = generateCaptures(board, list, 0);
    list.count = static_cast<uint32_t>(count);
    if (count == 0) return best;
    scoreCaptures(list, count);
    const int first = selectFirst(list, count);

    for (int i = 0; i < count; ++i) {
        if (i == 1) sortMoves(list, count);
        const MoveEntry& entry = list.entries[i == 0 ? first : i];
        const Move move = entry.move;
        if (entry.score <= 2000 && exchangeLoses(move)) continue;
        if (move == NO_MOVE) continue;
        if (!board.makeMove(move)) {
            board.unmakeMove(move);
            continue;
        }
        int score = 0;
        if (stopState == STOP_NONE && periodicCheck()) score = -quiesce(ply + 1, -beta, -best, exactEval);
        board.unmakeMove(move);
        if (stopState != STOP_NONE) return 0;
        if (score > best) {
            if (score >= beta) return beta;
            setPvRow(pv, move, score, pvTable[ply + 1]);
            best = score;
        }
    }
    return best;
}

int SearchEngine::searchChild(int newDepth, int alpha, int beta, int ply, bool givesCheck) {
    if (stopState != STOP_NONE || !periodicCheck()) return 0;
    const PlyRecord& child = board.plyRecords[board.plyCount];
    if (newDepth < 4) return -quiesce(ply + 1, -beta, -alpha, (givesCheck || child.nodeType == NODE_PV) ? 1 : 0);
    if (ply + 1 <= kMaxChildPly) return -alphaBeta(newDepth, -beta, -alpha, 1, ply + 1);
    pvTable[ply + 1].length = 0;
    return -evaluate(board, -beta, -alpha, child.nodeType != NODE_PV ? 1 : 0);
}

int SearchEngine::alphaBeta(int depth, int alpha, int beta, int allowNull, int ply) {
    ++nodeCount;
    // Every return, the early ones included, leaves this node's line behind
    // for the parent: it starts empty, never as a sibling's old line.
    pvTable[ply].length = 0;

    // Mate-distance pruning.
    if (alpha < ply - 31999) alpha = ply - 31999;
    if (beta <= alpha) return alpha;

    // Fifty-move rule and repetitions of earlier positions with the same
    // side to move; a single repetition counts.
    if (board.halfmoveClock > 99) return -drawScore;
    {
        const int lookBack = (board.halfmoveClock + 1) / 2;
        int index = static_cast<int>(board.keyHistoryCount) - 2;
        for (int i = 0; i < lookBack && index >= 0; ++i, index -= 2)
            if (board.keyHistory[index] == board.hashKey) return -drawScore;
    }

    PlyRecord& record = board.plyRecords[board.plyCount];
    const int nodeType = record.nodeType;
    const HashKey key = board.hashKey;

    Move hashMove = NO_MOVE;
    int hashScore = kNoHashScore;
    if (const HashEntry* entry = hashTable.probe(key)) {
        hashMove = entry->move;
        if (entryDepth(*entry) >= depth) {
            const int stored = entryScore(*entry);
            switch (entryBound(*entry)) {
                case BOUND_EXACT: hashScore = stored; break;
                case BOUND_UPPER: if (stored <= alpha) hashScore = stored; break;
                case BOUND_LOWER: if (stored >= beta) hashScore = stored; break;
                default: break;
            }
        }
    }
    if (nodeType != NODE_PV && hashScore != kNoHashScore) return hashScore;

    const bool inCheck = record.inCheck != 0;
    bool mateThreat = false;

    // Null move: pass, and see whether the opponent still cannot reach beta.
    if (allowNull && !inCheck && board.stage <= 2 && nodeType != NODE_PV && board.hasRoomForPly()) {
        const int reduction = depth > 23 ? 12 : 8;
        record.key = board.hashKey;
        record.move = NO_MOVE;
        record.epFile = board.epFile;
        record.halfmoveClock = board.halfmoveClock;
        ++board.plyCount;
        board.halfmoveClock = 0;
        if (board.epFile != 0) {
            board.hashKey ^= enPassantKey(board.epFile);
            board.epFile = 0;
        }
        board.hashKey ^= sideToMoveKey();
        std::swap(board.side, board.xside);
        PlyRecord& passed = board.plyRecords[board.plyCount];
        passed.inCheck = 0;
        passed.nodeType = successorNodeType(nodeType);

        int score = 0;
        if (stopState == STOP_NONE && periodicCheck()) {
            if (depth - reduction < 8) score = -quiesce(ply + 1, -beta, -beta + 1, 0);
            else if (ply + 1 <= kMaxChildPly) score = -alphaBeta(depth - 4 - reduction, -beta, -beta + 1, 0, ply + 1);
            else score = -evaluate(board, -beta, -beta + 1, passed.nodeType != NODE_PV ? 1 : 0);
        }

        std::swap(board.side, board.xside);
        --board.plyCount;
        board.hashKey = record.key;
        board.epFile = record.epFile;
        board.halfmoveClock = record.halfmoveClock;
        if (stopState != STOP_NONE) return 0;

        if (score >= beta) {
            hashTable.store(key, NO_MOVE, depth, BOUND_LOWER, score);
            return score;
        }
        mateThreat = score == ply - 31998;
    }

    // Internal iterative deepening finds a move to try first.
    if (hashMove == NO_MOVE && depth > 12 && allowNull && nodeType == NODE_PV) {
        pvTable[ply].length = 0;
        const PlyRecord saved = record;
        if (stopState == STOP_NONE && periodicCheck()) {
            if (ply > kMaxChildPly) evaluate(board, alpha, beta, 0);
            else alphaBeta(depth - 8, alpha, beta, 1, ply);
        }
        record = saved;
        if (stopState != STOP_NONE) return 0;
        const HashEntry* entry = hashTable.probe(key);
        hashMove = entry ? entry->move : NO_MOVE;
    }

    PvRow& pv = pvTable[ply];
    pv.length = 0;
    pv.entries[0].move = NO_MOVE;

    MoveList& list = moveLists[ply];
    int count;
    bool futility = false;
    int futilityValue = 0;
    if (inCheck) {
        count = generateEvasions(board, list, 0);
    } else {
        if (depth <= 15 && nodeType != NODE_PV && board.stage <= 1) {
            futilityValue = evaluate(board, alpha, beta, 1) + kFutilityMargin[depth / 4];
            futility = futilityValue <= alpha;
        }
        count = generateCaptures(board, list, 0);
        count += generateQuiets(board, list, count);
    }

    int movesSearched = 0;
    if (count > 0) {
        scoreMoves(list, count, hashMove, ply);
        const int first = selectFirst(list, count), scored = count;
        uint32_t bound = BOUND_UPPER;
        for (int i = 0; i < count && stopState == STOP_NONE; ++i) {
            if (i == 1) sortMoves(list, scored);
            const MoveEntry& entry = list.entries[i == 0 ? first : i];
            const int orderingScore = entry.score;
            const Move move = entry.move;
            // Captures that lose material are postponed behind all other
            // moves; with a full list they are searched in place.
            if (orderingScore >= 45011 && orderingScore <= 49999 && count < kMaxMoves &&
                exchangeLoses(move)) {
                list.entries[count].move = move;
                list.entries[count].score = orderingScore - 48000;
                ++count;
                continue;
            }
            if (move == NO_MOVE) continue;
            if (!board.makeMove(move)) {
                board.unmakeMove(move);
                continue;
            }
            // Children at depth 4 or more probe the table; quiescence does not.
            if (depth >= 8) hashTable.prefetch(board.hashKey);
            const bool givesCheck = isInCheck(board, static_cast<int>(board.side));
            PlyRecord& child = board.plyRecords[board.plyCount];
            child.inCheck = givesCheck ? 1 : 0;

            int extension = givesCheck ? 4 : 0;
            if (mateThreat) extension = givesCheck ? 6 : 2;
            extension += moveExtension(move);
            if (extension > 4) extension = 4;

            const bool quiet = moveCaptured(move) == NO_PIECE && movePromotion(move) == NO_PIECE;
            if (futility && !givesCheck && movesSearched > 0 && extension == 0 && quiet && futilityValue <= alpha) {
                ++movesSearched;
                board.unmakeMove(move);
                continue;
            }

            const int newDepth = depth + extension - 4;
            int score;
            if (movesSearched == 0) {
                child.nodeType = successorNodeType(nodeType);
                score = searchChild(newDepth, alpha, beta, ply, givesCheck);
            } else {
                if (movesSearched >= 4 && depth >= 12 && extension == 0 && !givesCheck && nodeType != NODE_PV &&
                    quiet && orderingScore != 45010 && orderingScore != 45000) {
                    child.nodeType = successorNodeType(nodeType);
                    score = searchChild(depth - 8, alpha, alpha + 1, ply, givesCheck);
                } else {
                    score = alpha + 1;
                }
                if (score > alpha) {
                    child.nodeType = NODE_CUT;
                    score = searchChild(newDepth, alpha, alpha + 1, ply, givesCheck);
                }
                if (score > alpha && score < beta) {
                    child.nodeType = NODE_PV;
                    score = searchChild(newDepth, alpha, beta, ply, givesCheck);
                }
            }
            board.unmakeMove(move);
            ++movesSearched;
            // A stopped child's score means nothing: store and keep nothing.
            if (stopState != STOP_NONE) return 0;

            if (score > alpha) {
                if (score >= beta) {
                    hashTable.store(key, move, depth, BOUND_LOWER, beta);
                    if (quiet) updateKillersAndHistory(move, depth, ply);
                    return beta;
                }
                setPvRow(pv, move, score, pvTable[ply + 1]);
                alpha = score;
                bound = BOUND_EXACT;
            }
        }
        if (stopState != STOP_NONE) return 0;
        if (movesSearched > 0) {
            hashTable.store(key, pv.entries[0].move, depth, bound, alpha);
            return alpha;
        }
    }
    pv.length = 0;
    return inCheck ? ply - kMateScore : drawScore;
}

}  // namespace tarvok
