// SPDX-License-Identifier: GPL-3.0-or-later
// A SearchEngine for tests: its hooks append to a trace, one letter per call
// (with the call's number where it has one), and the protected search
// routines are public.
//
//   B search begins      P search prepared   I<depth> iteration done
//   E<stop> search ends  G game move done    C board changed
//   R<number> root move  Q input polled      S a spare hook
//
//   auto engine = makeRecordingEngine("fen");  // hash sized, new game, FEN set
//   engine->setLimit(LIMIT_DEPTH, 3);
//   engine->startSearch(false);                // trace "BPI1I2I3E1G"
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "search/search_engine.h"

namespace tarvok::test {

struct Iteration {
    std::vector<Move> pv;
    int score = 0;
    uint64_t nodes = 0;
    double microseconds = 0.0;
};

class RecordingEngine : public SearchEngine {
   public:
    std::string trace;
    std::vector<Iteration> iterations;
    // Runs after every traced hook call other than a poll, with its letter.
    std::function<void(RecordingEngine&, char hook, int value)> afterHook;
    std::function<void(RecordingEngine&)> onPoll;

    void spareHook1() override { note('S'); }
    void onSearchBegin() override { note('B'); }
    void onSearchEnd(int stop) override { note('E', stop); }
    void onGameMoveDone() override { note('G'); }
    void onIterationDone(int depth, const PvRow& pv, uint64_t nodes, double searchMicroseconds) override;
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
    using SearchEngine::setupTimeBudget;
    using SearchEngine::updateKillersAndHistory;

   private:
    void note(char hook, int value = -1);
};

// A fresh engine with a small hash table, after the new-game reset, set to
// the FEN (the start position when fen is null). Fails the test on a bad FEN.
std::unique_ptr<RecordingEngine> makeRecordingEngine(const char* fen = nullptr);

// The generated move with this coordinate text in the engine's position, or
// NO_MOVE.
Move findMove(SearchEngine& engine, const char* coordinates);
std::string coordinates(Move move);
// True when the moves, matched by their coordinate text against the moves
// generated on a separate board, are legal in turn from fen.
bool lineIsLegal(const std::string& fen, const std::vector<Move>& line);

// The '|'-separated fields of a data line, blanks trimmed, and the words of
// a text.
std::vector<std::string> splitFields(const std::string& line);
std::vector<std::string> wordsOf(const std::string& text);

}  // namespace tarvok::test
