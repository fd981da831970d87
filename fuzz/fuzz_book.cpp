// SPDX-License-Identifier: GPL-3.0-or-later
// Opening-book files of arbitrary contents: loading, choosing and saving.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "board/board.h"
#include "book/opening_book.h"
#include "fuzz/fuzz_support.h"

using namespace tarvok;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::initOnce();
    static char path[] = "/tmp/tarvok_fuzz_book_XXXXXX";
    static int descriptor = mkstemp(path);
    if (descriptor < 0) return 0;
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    static Board board;
    static MoveList scratch;
    board.setStartArray();
    if (openingBook.loadBook(path)) {
        const Move move = openingBook.chooseBookMove(board, scratch);
        if (move != NO_MOVE) {
            // A chosen move is legal here.
            if (!board.makeMove(move)) __builtin_trap();
            board.unmakeMove(move);
        }
        openingBook.saveBook(path);
        // What was saved loads again.
        if (!openingBook.loadBook(path)) __builtin_trap();
    }
    openingBook.clearBook();
    fuzz::requireConsistent(board, "book");
    return 0;
}
