// SPDX-License-Identifier: GPL-3.0-or-later
// The operations of one EPD test line, as the suites read them:
//   <position> bm <moves>; id "<name>";
//   EpdOperation op; size_t scan = 0;
//   while (nextEpdOperation(line, scan, op)) { ... }
// Each call finds the next "bm" at or after scan and fills op: position is
// everything before the "bm" (trailing blank included), bestMoves starts three
// characters after the "b" and runs to the next ';' (at most 15 characters,
// longer texts are cut), identifier starts six characters after that ';' and
// runs to the next '"' (at most 255 characters). scan moves behind the
// identifier's closing quotation mark. Lines of another layout give empty or
// shifted fields, never a read outside the line.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace tarvok {

constexpr int kBestMoveSize = 16;
constexpr int kIdentifierSize = 256;

struct EpdOperation {
    std::string position;
    char bestMoves[kBestMoveSize];
    char identifier[kIdentifierSize];
};

bool nextEpdOperation(const std::string& line, std::size_t& scan, EpdOperation& op);

// Reads the next line of any length into line, without its line end (a final
// carriage return is dropped too); false at the end of the file.
bool readEpdLine(std::FILE* file, std::string& line);

}  // namespace tarvok
