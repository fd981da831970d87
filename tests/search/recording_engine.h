// SPDX-License-Identifier: GPL-3.0-or-later
// A SearchEngine for tests whose hooks record every call with its arguments,
// and which exposes the protected search routines.
//
//   auto engine = makeRecordingEngine("fen");     // hash sized, new game, FEN set
//   engine->setLimit(LIMIT_DEPTH, 3); engine->startSearch(false);
//   engine->events                                 // hooks in call order
//   engine->iterations()                           // only the onIterationDone calls
//   engine->onPoll = [](RecordingEngine& e) {...}; // what pollInput does
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "search/search_engine.h"

namespace tarvok::test {

enum class Hook {
    Spare1,
    SearchBegin,
    SearchEnd,
    GameMoveDone,
    IterationDone,
    Spare2,
    SearchPrepared,
    BoardChanged,
    Spare3,
    PollInput,
    RootMove,
};

struct HookCall {
    Hook hook;
    int value = 0;              // stop state, iteration depth or root move number
    Move move = NO_MOVE;        // onRootMove's move
    std::vector<Move> pv;       // onIterationDone's row
    int score = 0;              // onIterationDone's entry 0 score
    uint64_t nodes = 0;         // onIterationDone's node count; nodeCount at the call otherwise
    double microseconds = 0.0;  // onIterationDone's search time
    int stopStateAtCall = 0;
};

class RecordingEngine : public SearchEngine {
   public:
    std::vector<HookCall> events;
    std::function<void(RecordingEngine&)> onPoll;
    // Runs after every recorded hook call (for example to stop the search).
    std::function<void(RecordingEngine&, const HookCall&)> afterHook;

    void spareHook1() override { notify(record(Hook::Spare1)); }
    void onSearchBegin() override { notify(record(Hook::SearchBegin)); }
    void onSearchEnd(int stop) override {
        HookCall& call = record(Hook::SearchEnd);
        call.value = stop;
        notify(call);
    }
    void onGameMoveDone() override { notify(record(Hook::GameMoveDone)); }
    void onIterationDone(int depth, const PvRow& pv, uint64_t nodes, double searchMicroseconds) override;
    void spareHook2() override { notify(record(Hook::Spare2)); }
    void onSearchPrepared() override { notify(record(Hook::SearchPrepared)); }
    int onBoardChanged() override {
        notify(record(Hook::BoardChanged));
        return 1;
    }
    void spareHook3() override { notify(record(Hook::Spare3)); }
    void pollInput() override {
        record(Hook::PollInput);
        if (onPoll) onPoll(*this);
    }
    void onRootMove(Move move, int number) override {
        HookCall& call = record(Hook::RootMove);
        call.move = move;
        call.value = number;
        notify(call);
    }

    std::vector<HookCall> iterations() const;
    std::vector<Hook> hookSequence() const;
    int count(Hook hook) const;

    using SearchEngine::alphaBeta;
    using SearchEngine::firstLegalMove;
    using SearchEngine::iterate;
    using SearchEngine::periodicCheck;
    using SearchEngine::quiesce;
    using SearchEngine::scoreCaptures;
    using SearchEngine::scoreMoves;
    using SearchEngine::searchRoot;
    using SearchEngine::setupTimeBudget;
    using SearchEngine::updateKillersAndHistory;
    using SearchEngine::writeBackPv;

   private:
    HookCall& record(Hook hook);
    void notify(const HookCall& call) {
        if (afterHook) afterHook(*this, HookCall(call));
    }
};

// A fresh engine with a small hash table, after the new-game reset, set to
// the FEN (the start position when fen is null). Fails the test on a bad FEN.
std::unique_ptr<RecordingEngine> makeRecordingEngine(const char* fen = nullptr);

// The generated move with this coordinate text in the engine's position, or
// NO_MOVE.
Move findMove(SearchEngine& engine, const char* coordinates);
std::string coordinates(Move move);

// Prepares the board's current ply record the way a parent node would before
// calling alphaBeta directly.
void prepareNode(SearchEngine& engine, int nodeType);

}  // namespace tarvok::test
