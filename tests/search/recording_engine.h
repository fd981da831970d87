// SPDX-License-Identifier: GPL-3.0-or-later
// A SearchEngine for tests: its hooks append to a trace, one letter per call
// followed by the call's number where it has one, and its protected search
// routines are public. Also helpers for the search tests' data files.
//   B search begins   P search prepared   I<depth> iteration done   E<stop> search ends
//   G game move done  C board changed     R<number> root move       Q input polled   S spare hook
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "board/board_test_helpers.h"
#include "board/game_record.h"
#include "board/move_text.h"
#include "search/search_engine.h"
#include "test_support/data_files.h"
#include "test_support/engine_session.h"

namespace tarvok::test {

struct Iteration {
    std::vector<Move> pv;
    int score = 0;
};

class RecordingEngine : public SearchEngine {
   public:
    std::string trace;
    std::vector<Iteration> iterations;
    // Called after every traced hook but a poll, with its letter and number.
    std::function<void(RecordingEngine&, char hook, int value)> afterHook;
    std::function<void(RecordingEngine&)> onPoll;

    void spareHook1() override { note('S'); }
    void onSearchBegin() override { note('B'); }
    void onSearchEnd(int stop) override { note('E', stop); }
    void onGameMoveDone() override { note('G'); }
    void onIterationDone(int depth, const PvRow& pv, uint64_t, double) override {
        iterations.push_back({{}, pv.entries[0].score});
        for (uint32_t i = 0; i < pv.length && i < static_cast<uint32_t>(kPvLength); ++i)
            iterations.back().pv.push_back(pv.entries[i].move);
        note('I', depth);
    }
    void spareHook2() override { note('S'); }
    void onSearchPrepared() override { note('P'); }
    int onBoardChanged() override {
        note('C');
        return 1;
    }
    void spareHook3() override { note('S'); }
    void pollInput() override {
        trace += 'Q';
        if (onPoll) onPoll(*this);
    }
    void onRootMove(Move, int number) override { note('R', number); }

    using SearchEngine::alphaBeta;
    using SearchEngine::firstLegalMove;
    using SearchEngine::periodicCheck;
    using SearchEngine::scoreCaptures;
    using SearchEngine::scoreMoves;
    using SearchEngine::selectFirst;
    using SearchEngine::setupTimeBudget;
    using SearchEngine::updateKillersAndHistory;

   private:
    void note(char hook, int value = -1) {
        trace += hook;
        if (value >= 0) trace += std::to_string(value);
        if (afterHook) afterHook(*this, hook, value);
    }
};

// A fresh engine with a small hash table, after the new-game reset, set to
// the FEN (the start position when fen is null), with an empty trace.
inline std::unique_ptr<RecordingEngine> makeRecordingEngine(const char* fen = nullptr) {
    auto engine = std::make_unique<RecordingEngine>();
    engine->setHashSize(4);
    engine->setStartPosition();
    EXPECT_TRUE(fen == nullptr || engine->setFromFen(fen) == 1) << fen;
    engine->trace.clear();
    return engine;
}

inline std::string fenOf(const Board& board) {
    char fen[kFenBufferSize];
    board.writeFen(fen);
    std::string text = fen;
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

// True when the moves, matched by their coordinate text against the moves
// generated on a separate board, are legal in turn from fen.
inline bool lineIsLegal(const std::string& fen, const std::vector<Move>& line) {
    std::vector<std::string> texts;
    for (Move move : line) texts.push_back(coordinateText(move));
    return movesAreLegal(fen, texts);
}

// The rows of a data file under tests/data/search: each line that is not a
// '#' comment, split into its '|'-separated fields with blanks trimmed.
struct DataRow {
    std::string line;
    std::vector<std::string> field;
};

inline std::vector<DataRow> dataRows(const std::string& name, size_t fields) {
    std::vector<DataRow> rows;
    for (const std::string& line : readDataLines("search/" + name)) {
        if (line[0] == '#') continue;
        rows.push_back({line, {}});
        std::istringstream in(line);
        for (std::string f; std::getline(in, f, '|');) {
            const size_t begin = std::min(f.find_first_not_of(' '), f.size());
            rows.back().field.push_back(f.substr(begin, f.find_last_not_of(' ') + 1 - begin));
        }
        EXPECT_LE(rows.back().field.size(), fields) << line;
        rows.back().field.resize(fields);
    }
    EXPECT_GT(rows.size(), 10u) << name;
    return rows;
}

// Applies the setup words of a data line (see searches.txt); returns whether
// a search is to be a ponder search.
inline bool applySetup(RecordingEngine& engine, const std::string& text) {
    std::istringstream in(text);
    bool ponder = false;
    for (std::string word; in >> word;) {
        int64_t n = 0, m = 0;
        if (word == "depth" && in >> n) engine.setLimit(LIMIT_DEPTH, n);
        else if (word == "nodes" && in >> n) engine.setLimit(LIMIT_NODES, n);
        else if (word == "movetime" && in >> n) engine.setLimit(LIMIT_MOVETIME, n);
        else if (word == "infinite") engine.setLimit(LIMIT_INFINITE, 0);
        else if (word == "clock" && in >> n >> m) {
            engine.setLimit(LIMIT_CLOCK, 0);
            engine.clockTime[engine.board.side] = static_cast<float>(n);
            engine.movesToGo = static_cast<int32_t>(m);
        } else if (word == "inc" && in >> n) engine.clockIncrement[engine.board.side] = static_cast<int32_t>(n);
        else if (word == "interval" && in >> n) engine.checkInterval = static_cast<uint32_t>(n);
        else if (word == "maxdepth" && in >> n) engine.maxDepth = static_cast<int32_t>(n);
        else if (word == "stop" && in >> n >> m) {
            engine.afterHook = [n, m](RecordingEngine& e, char hook, int value) {
                if (hook == 'I' && value == n) e.stopState = static_cast<int>(m);
            };
        } else if (word == "stop-at-root" && in >> n) {
            engine.afterHook = [n](RecordingEngine& e, char hook, int value) {
                if (hook == 'I' && value == n) e.rootMoveReporting = 1;
                if (hook == 'R') e.stopState = STOP_PLAY;
            };
        } else if (word == "hit" && in >> n) {
            engine.onPoll = [n](RecordingEngine& e) {
                if (std::count(e.trace.begin(), e.trace.end(), 'Q') == n) e.pondering = 0;
            };
        } else if (word == "ponder") ponder = true;
        else if (word == "pondering" && in >> n) engine.pondering = static_cast<int>(n);
        else if (word == "ponderenabled" && in >> n) engine.ponderEnabled = static_cast<int>(n);
        else if (word == "searching" && in >> n) engine.searching = static_cast<int>(n);
        else if (word == "rootmoves") {
            engine.afterHook = [](RecordingEngine& e, char hook, int) {
                if (hook == 'I') e.rootMoveReporting = 1;
            };
        }
        else if (word == "pondermove" && in >> n) engine.ponderMove = static_cast<Move>(n);
        else if (word == "defaultclock" && in >> n) engine.defaultClock = static_cast<int32_t>(n);
        else if (word == "counter" && in >> n) engine.checkCounter = static_cast<uint32_t>(n);
        else if (word == "nodecount" && in >> n) nodeCount = static_cast<uint64_t>(n);
        else if (word == "elapse" && in >> n) engine.startTime.seconds -= static_cast<int32_t>(n);
        else ADD_FAILURE() << "unknown setup " << word;
    }
    return ponder;
}

}  // namespace tarvok::test
