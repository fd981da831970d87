// SPDX-License-Identifier: GPL-3.0-or-later
// Coordinate move text on the positions of a few FENs.
#include <cstdint>
#include <cstring>
#include <string>

#include "board/board.h"
#include "board/game_record.h"
#include "board/move_text.h"
#include "fuzz/fuzz_support.h"

using namespace tarvok;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::initOnce();
    static const char* kPositions[] = {
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/P1k5/8/8/8/8/5Kp1/8 b - - 0 1",
        "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
    };
    static Board board;
    static GameRecord record;
    static MoveList scratch;
    if (size == 0) return 0;
    board.setFromFen(kPositions[data[0] % 4]);
    record.clear();
    // The rest is a blank-separated list of move words, played in turn.
    std::string words(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t start = 0;
    while (start <= words.size()) {
        size_t end = words.find(' ', start);
        if (end == std::string::npos) end = words.size();
        const std::string word = words.substr(start, end - start);
        const HashKey key = board.hashKey;
        const uint32_t plies = board.plyCount, recorded = record.gameIndex;
        if (!playMoveText(board, record, scratch, word.c_str())) {
            if (board.hashKey != key || board.plyCount != plies || record.gameIndex != recorded) __builtin_trap();
        } else {
            char text[kMoveTextSize];
            moveToText(record.lastRecorded(), text);
            if (std::strlen(text) > 10) __builtin_trap();
        }
        fuzz::requireConsistent(board, "move text");
        start = end + 1;
    }
    return 0;
}
