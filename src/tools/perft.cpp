// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/perft.h"

#include <cstdio>

#include "board/legal_count.h"
#include "board/move_text.h"
#include "board/movegen.h"
#include "frontend/frontend.h"
#include "search/search_engine.h"

namespace tarvok {

namespace {

int generateNode(const Board& board, MoveList& list) {
    return generateAll(board, list, 0, isInCheck(board, static_cast<int>(board.side)));
}

bool hasLegalMove(Board& board, MoveList& list) {
    const int count = generateEvasions(board, list, 0);
    for (int i = 0; i < count; ++i) {
        const Move move = list.entries[i].move;
        const int legal = board.makeMove(move);
        board.unmakeMove(move);
        if (legal) return true;
    }
    return false;
}

struct DivideEntry {
    uint64_t count;
    char text[kMoveTextSize];
};

// Per-depth results of the last perft command, and the divide listing.
PerftCounters perftRows[kMaxPerftDepth + 1];
DivideEntry divideTable[kMaxMoves];
int divideEntries = 0;

}  // namespace

uint64_t perftCount(Board& board, MoveList* lists, int depth) {
    // The last ply is counted without making its moves.
    if (depth < 2) return static_cast<uint64_t>(countLegalMovesFast(board));
    MoveList& list = lists[depth];
    const int count = generateNode(board, list);
    if (count == 0) return 0;
    uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
        const Move move = list.entries[i].move;
        if (board.makeMove(move)) total += perftCount(board, lists, depth - 1);
        board.unmakeMove(move);
    }
    return total;
}

void perftStatistics(Board& board, MoveList* lists, int depth, PerftCounters& counters) {
    MoveList& list = lists[depth];
    const int count = generateNode(board, list);
    for (int i = 0; i < count; ++i) {
        const Move move = list.entries[i].move;
        if (board.makeMove(move)) {
            if (depth != 1) {
                perftStatistics(board, lists, depth - 1, counters);
            } else {
                ++counters.nodes;
                if (moveCaptured(move) != NO_PIECE) ++counters.captures;
                if (isEnPassant(move)) ++counters.enPassants;
                if (movePromotion(move) != NO_PIECE) ++counters.promotions;
                if (isCastle(move)) ++counters.castles;
                if (isInCheck(board, static_cast<int>(board.side))) {
                    ++counters.checks;
                    if (!hasLegalMove(board, lists[0])) ++counters.mates;
                }
            }
        }
        board.unmakeMove(move);
    }
}

void printPerftTime(double elapsed, uint64_t nodes) {
    const auto milliseconds = static_cast<long long>(elapsed * 0.001);
    char timeText[32];
    std::snprintf(timeText, sizeof timeText, "%02lld:%02lld:%03lld", milliseconds / 60000,
                  (milliseconds % 60000) / 1000, milliseconds % 1000);
    // A run shorter than the clock's resolution counts as one microsecond.
    const double divisor = elapsed > 0.0 ? elapsed : 1.0;
    const auto speed = static_cast<float>(static_cast<double>(nodes) * 1000.0 / divisor);
    sendLine("Time = %s, speed = %.3f", timeText, static_cast<double>(speed));
}

void perftCommand(SearchEngine& engine, int depth) {
    for (int d = 0; d < 16; ++d) perftRows[d] = PerftCounters{};
    const ClockTime start = readClock();
    std::fputs(
        "depth |        nodes |     captures |          e.p |        check |         mate |    promotion |       "
        "castle \n",
        stdout);
    std::fflush(stdout);
    uint64_t lastNodes = 0;
    // Depths beyond the tables are refused: only the header and time line.
    for (int d = 1; d <= depth && depth <= kMaxPerftDepth; ++d) {
        PerftCounters counters{};
        perftStatistics(engine.board, engine.moveLists, d, counters);
        perftRows[d] = counters;
        lastNodes = counters.nodes;
        sendLine("% 2d. %12llu %12llu %12llu %12llu %12llu %12llu %12llu", d,
                 static_cast<unsigned long long>(counters.nodes), static_cast<unsigned long long>(counters.captures),
                 static_cast<unsigned long long>(counters.enPassants), static_cast<unsigned long long>(counters.checks),
                 static_cast<unsigned long long>(counters.mates), static_cast<unsigned long long>(counters.promotions),
                 static_cast<unsigned long long>(counters.castles));
    }
    const double elapsed = elapsedMicroseconds(start, readClock());
    printPerftTime(elapsed, depth >= 1 ? lastNodes : 0);
}

void divideCommand(SearchEngine& engine, int depth) {
    const ClockTime start = readClock();
    Board& board = engine.board;
    MoveList* lists = engine.moveLists;
    divideEntries = 0;
    if (depth <= kMaxPerftDepth) {
        MoveList& rootList = engine.scratchMoveList;
        const int count = generateNode(board, rootList);
        for (int i = 0; i < count; ++i) {
            const Move move = rootList.entries[i].move;
            if (board.makeMove(move)) {
                DivideEntry& entry = divideTable[divideEntries++];
                moveToText(move, entry.text);
                entry.count = depth < 2 ? 1 : perftCount(board, lists, depth - 1);
            }
            board.unmakeMove(move);
        }
    }
    const double elapsed = elapsedMicroseconds(start, readClock());
    uint64_t total = 0;
    for (int i = 0; i < divideEntries; ++i) {
        sendLine("%12s : %12llu", divideTable[i].text, static_cast<unsigned long long>(divideTable[i].count));
        total += divideTable[i].count;
    }
    sendLine("total = %12llu", static_cast<unsigned long long>(total));
    printPerftTime(elapsed, total);
}

}  // namespace tarvok
