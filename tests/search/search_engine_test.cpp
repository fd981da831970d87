// SPDX-License-Identifier: GPL-3.0-or-later
// The engine outside a search, driven by tests/data/search/engine.txt: new
// game, limits, time budgets, the periodic check, mate distances, the game
// record, book switches and release.
#include "search/search_engine.h"

#include <gtest/gtest.h>

#include "search/hash_table.h"
#include "search/recording_engine.h"

namespace tarvok::test {
namespace {

std::string moveText(Move move) { return move == NO_MOVE ? "-" : coordinates(move); }

TEST(SearchEngine, OperationsInOrder) {
    auto engine = makeRecordingEngine(nullptr);
    for (const DataRow& row : dataRows("engine.txt", 2)) {
        RecordingEngine& e = *engine;
        std::istringstream in(row.field[0]);
        std::string op, rest;
        in >> op;
        std::getline(in >> std::ws, rest);
        std::istringstream args(rest);
        std::ostringstream out;
        int64_t mode = 0, value = 0;
        if (op == "new") engine = makeRecordingEngine(rest.empty() ? nullptr : rest.c_str());
        else if (op == "newgame") e.setStartPosition();
        else if (op == "set") applySetup(e, rest);
        else if (op == "mode" && args >> mode >> value) e.setLimit(static_cast<int>(mode), value);
        else if (op == "limits") {
            out << e.limitMode << ' ' << e.depthLimit << ' ' << e.nodeLimit << ' ' << e.moveTime << ' ' << e.timeBudget
                << ' ' << e.maxDepth << ' ' << e.movesToGo << ' ' << e.checkInterval << ' ' << e.checkCounter << ' '
                << e.clockIncrement[WHITE] << ' ' << e.clockIncrement[BLACK] << ' ' << e.defaultClock << ' '
                << e.clockTime[WHITE] << ' ' << e.clockTime[BLACK] << ' ' << moveText(e.ponderMove) << ' '
                << e.searching << ' ' << e.pondering;
        } else if (op == "budget") {
            e.timeBudget = 12345;
            e.stopState = STOP_PLAY;
            e.checkCounter = 7;
            e.startTime = {0, 0};
            e.setupTimeBudget();
            out << e.timeBudget << ' ' << e.stopState << ' ' << e.checkCounter << ' ' << (e.startTime.seconds != 0);
        } else if (op == "check") {
            out << e.periodicCheck() << ' ' << e.stopState << ' ' << e.checkCounter;
        } else if (op == "play") out << e.playMoveText(rest.c_str());
        else if (op == "takeback") out << e.gameTakeBack();
        else if (op == "fen") out << e.setFromFen(rest.c_str());
        else if (op == "position") out << fenOf(e.board);
        else if (op == "record") {
            out << moveText(e.lastMove) << ' ' << e.game.gameLength << ' ' << e.game.gameIndex
                << (e.trace.empty() ? "" : " ") << e.trace;
            e.trace.clear();
        } else if (op == "mate") out << SearchEngine::mateDistance(std::stoi(rest));
        else if (op == "book") out << e.enableBook(rest.c_str()) << ' ' << e.bookEnabled;
        else if (op == "nobook") {
            e.disableBook();
            out << e.bookEnabled;
        } else if (op == "release") {
            e.release();
            out << e.ponderEnabled << ' ' << e.pondering << ' ' << moveText(e.ponderMove) << ' ' << e.stopState << ' '
                << hashTable.hasStorage() << ' ' << e.board.occupied;
        } else ADD_FAILURE() << "unknown operation: " << row.line;
        EXPECT_EQ(out.str(), row.field[1]) << row.line;
    }
}

}  // namespace
}  // namespace tarvok::test
