// SPDX-License-Identifier: GPL-3.0-or-later
// EPD test lines of arbitrary contents: field extraction, the position each
// operation names, and the eval suite's colour mirror of it.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "board/board.h"
#include "eval/evaluate.h"
#include "fuzz/fuzz_support.h"
#include "tools/epd_line.h"

using namespace tarvok;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::initOnce();
    static Board board;
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (file == nullptr) return 0;
    std::string line;
    while (readEpdLine(file, line)) {
        EpdOperation operation;
        size_t scan = 0;
        for (int guard = 0; guard < 1000 && nextEpdOperation(line, scan, operation); ++guard) {
            if (strnlen(operation.bestMoves, kBestMoveSize) >= static_cast<size_t>(kBestMoveSize) ||
                strnlen(operation.identifier, kIdentifierSize) >= static_cast<size_t>(kIdentifierSize) ||
                scan > line.size() + 1)
                __builtin_trap();
            if (!board.setFromFen(operation.position.c_str())) continue;
            fuzz::requireConsistent(board, "EPD position");
            evaluate(board, -32001, 32001, 0);
            char mirrored[512];
            if (mirrorFen(operation.position.c_str(), mirrored, sizeof mirrored) && board.setFromFen(mirrored))
                fuzz::requireConsistent(board, "mirrored EPD position");
        }
    }
    std::fclose(file);
    return 0;
}
