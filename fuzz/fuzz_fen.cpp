// SPDX-License-Identifier: GPL-3.0-or-later
// FEN reading, writing and mirroring on arbitrary text.
#include <cstdint>
#include <cstring>
#include <string>

#include "board/board.h"
#include "board/game_record.h"
#include "board/movegen.h"
#include "fuzz/fuzz_support.h"

using namespace tarvok;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::initOnce();
    static Board board;
    static Board before;
    static MoveList list;
    const std::string text(reinterpret_cast<const char*>(data), size);
    board.setStartArray();
    before = board;
    if (!board.setFromFen(text.c_str())) {
        // A rejected text leaves the board as it was.
        if (board.hashKey != before.hashKey || board.occupied != before.occupied || board.side != before.side ||
            board.castleRights != before.castleRights || board.epFile != before.epFile)
            std::abort();
        fuzz::requireConsistent(board, "rejected FEN");
    } else {
        fuzz::requireConsistent(board, "accepted FEN");
        // Every accepted position can be written and read back to the same key.
        char fen[kFenBufferSize];
        board.writeFen(fen);
        const HashKey key = board.hashKey;
        if (!board.setFromFen(fen) || board.hashKey != key) std::abort();
        // Its moves can be made and taken back.
        const int count = generateAll(board, list, 0, isInCheck(board, static_cast<int>(board.side)));
        for (int i = 0; i < count; ++i) {
            board.makeMove(list.entries[i].move);
            fuzz::requireConsistent(board, "make");
            board.unmakeMove(list.entries[i].move);
        }
        if (board.hashKey != key) std::abort();
    }
    char mirrored[128];
    mirrorFen(text.c_str(), mirrored, sizeof mirrored);
    if (std::strlen(mirrored) >= sizeof mirrored) std::abort();
    return 0;
}
