// SPDX-License-Identifier: GPL-3.0-or-later
// EPD test suites for the engine.
//   runTestSuite(engine, file)
//       searches every position under the engine's current limit, prints the
//       listing with each result and the final score; the engine's moves are
//       written into its game record as short algebraic text.
//   runEvalSuite(engine, file, tally)
//       checks that every position and its colour-mirrored twin evaluate
//       alike; reports to the diagnostic log only (tally, when given,
//       receives the counts for callers that want them).
// Both return 1 when the file was read, 0 (printing nothing) when it cannot
// be opened.
#pragma once

#include <string>
#include <vector>

#include "search/search_engine.h"

namespace tarvok {

struct SuiteTally {
    int lines = 0;
    int good = 0;
    std::vector<std::string> failures;
};

int runTestSuite(SearchEngine& engine, const char* fileName);
int runEvalSuite(SearchEngine& engine, const char* fileName, SuiteTally* tally = nullptr);

// The FEN position text with colours exchanged: ranks in reverse order with
// the case of every piece letter swapped, side to move and castling rights
// exchanged, and the en-passant square moved to the other side's third rank.
std::string mirrorPositionText(const std::string& position);

}  // namespace tarvok
