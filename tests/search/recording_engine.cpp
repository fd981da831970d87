// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/recording_engine.h"

#include <gtest/gtest.h>

#include "board/move_text.h"
#include "board/movegen.h"

namespace tarvok::test {

HookCall& RecordingEngine::record(Hook hook) {
    HookCall call;
    call.hook = hook;
    call.nodes = nodeCount;
    call.stopStateAtCall = stopState;
    events.push_back(call);
    return events.back();
}

void RecordingEngine::onIterationDone(int depth, const PvRow& pv, uint64_t nodes, double searchMicroseconds) {
    HookCall& call = record(Hook::IterationDone);
    call.value = depth;
    for (uint32_t i = 0; i < pv.length && i < static_cast<uint32_t>(kPvLength); ++i)
        call.pv.push_back(pv.entries[i].move);
    call.score = pv.entries[0].score;
    call.nodes = nodes;
    call.microseconds = searchMicroseconds;
    notify(call);
}

std::vector<HookCall> RecordingEngine::iterations() const {
    std::vector<HookCall> result;
    for (const HookCall& call : events)
        if (call.hook == Hook::IterationDone) result.push_back(call);
    return result;
}

std::vector<Hook> RecordingEngine::hookSequence() const {
    std::vector<Hook> result;
    for (const HookCall& call : events) result.push_back(call.hook);
    return result;
}

int RecordingEngine::count(Hook hook) const {
    int n = 0;
    for (const HookCall& call : events) n += call.hook == hook;
    return n;
}

std::unique_ptr<RecordingEngine> makeRecordingEngine(const char* fen) {
    auto engine = std::make_unique<RecordingEngine>();
    engine->setHashSize(4);
    engine->setStartPosition();
    if (fen != nullptr) {
        EXPECT_EQ(engine->setFromFen(fen), 1) << fen;
    }
    engine->events.clear();
    return engine;
}

Move findMove(SearchEngine& engine, const char* text) {
    return findMoveText(engine.board, engine.scratchMoveList, text);
}

std::string coordinates(Move move) {
    char text[kMoveTextSize];
    moveToCoordinates(move, text);
    return text;
}

void prepareNode(SearchEngine& engine, int nodeType) {
    PlyRecord& record = engine.board.plyRecords[engine.board.plyCount];
    record.inCheck = isInCheck(engine.board, static_cast<int>(engine.board.side)) ? 1 : 0;
    record.nodeType = static_cast<uint8_t>(nodeType);
}

}  // namespace tarvok::test
