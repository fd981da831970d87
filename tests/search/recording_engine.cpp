// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/recording_engine.h"

#include <gtest/gtest.h>

#include <sstream>

#include "board/game_record.h"
#include "board/move_text.h"

namespace tarvok::test {

void RecordingEngine::note(char hook, int value) {
    trace += hook;
    if (value >= 0) trace += std::to_string(value);
    if (afterHook) afterHook(*this, hook, value);
}

void RecordingEngine::onIterationDone(int depth, const PvRow& pv, uint64_t nodes, double searchMicroseconds) {
    Iteration iteration{{}, pv.entries[0].score, nodes, searchMicroseconds};
    for (uint32_t i = 0; i < pv.length && i < static_cast<uint32_t>(kPvLength); ++i)
        iteration.pv.push_back(pv.entries[i].move);
    iterations.push_back(iteration);
    note('I', depth);
}

std::unique_ptr<RecordingEngine> makeRecordingEngine(const char* fen) {
    auto engine = std::make_unique<RecordingEngine>();
    engine->setHashSize(4);
    engine->setStartPosition();
    if (fen != nullptr) {
        EXPECT_EQ(engine->setFromFen(fen), 1) << fen;
    }
    engine->trace.clear();
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

bool lineIsLegal(const std::string& fen, const std::vector<Move>& line) {
    auto board = std::make_unique<Board>();
    auto record = std::make_unique<GameRecord>();
    record->clear();
    MoveList scratch{};
    if (!board->setFromFen(fen.c_str())) return false;
    for (Move move : line)
        if (!playMoveText(*board, *record, scratch, coordinates(move).c_str())) return false;
    return true;
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '|');) {
        const size_t begin = field.find_first_not_of(' ');
        fields.push_back(begin == std::string::npos ? "" : field.substr(begin, field.find_last_not_of(' ') + 1 - begin));
    }
    return fields;
}

std::vector<std::string> wordsOf(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> result;
    for (std::string word; in >> word;) result.push_back(word);
    return result;
}

}  // namespace tarvok::test
