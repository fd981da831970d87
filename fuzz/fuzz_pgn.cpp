// SPDX-License-Identifier: GPL-3.0-or-later
// PGN files of arbitrary contents through the reader and the book builder's
// line counting, and every game's tokens replayed as SAN from the start.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "board/movegen.h"
#include "book/book_builder.h"
#include "book/pgn_reader.h"
#include "book/san.h"
#include "fuzz/fuzz_support.h"

using namespace tarvok;

namespace {

struct Replay {
    Board board;
    MoveList scratch;
    LineTable table;
};

void onGame(void* context, const PgnGame& game) {
    auto& replay = *static_cast<Replay*>(context);
    if (game.moveCount > static_cast<uint32_t>(kPgnMaxPlies)) __builtin_trap();
    addGameLines(replay.table, game);
    Board& board = replay.board;
    board.setStartArray();
    for (uint32_t i = 0; i < game.moveCount; ++i) {
        if (strnlen(game.moves[i], kPgnTokenSize) >= static_cast<size_t>(kPgnTokenSize)) __builtin_trap();
        replay.scratch.count = static_cast<uint32_t>(
            generateAll(board, replay.scratch, 0, isInCheck(board, static_cast<int>(board.side))));
        Move move = NO_MOVE;
        if (!parseSan(board, replay.scratch, game.moves[i], move)) break;
        // A parsed move is legal.
        if (!board.makeMove(move)) __builtin_trap();
        fuzz::requireConsistent(board, "SAN move");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::initOnce();
    static Replay replay;
    replay.table = LineTable{};
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (file == nullptr) return 0;
    const int depth = size > 0 ? 1 + data[0] % kPgnMaxPlies : 8;
    readPgnStream(file, depth, onGame, &replay);
    std::fclose(file);
    // Every line record extends its parent by one ply.
    for (const LineRecord& record : replay.table.records) {
        if (record.parent >= 0 &&
            replay.table.records[static_cast<size_t>(record.parent)].moveCount + 1 != record.moveCount)
            __builtin_trap();
    }
    return 0;
}
