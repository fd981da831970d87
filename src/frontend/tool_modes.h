// SPDX-License-Identifier: GPL-3.0-or-later
// Command-line tool modes; each builds its own engine.
#pragma once

namespace tarvok {

// EPD suites; seconds per position, a negative number meaning 5. Each
// returns 1, or 0 when the file cannot be opened.
int runTestSuiteMode(const char* fileName, int seconds);
int runEvalSuiteMode(const char* fileName);
int runPerftMode(int depth, const char* fen);
int runDivideMode(int depth, const char* fen);
// Builds an opening book from a PGN file (128 MB hash, no configuration
// file); the caller goes on into the interactive mode.
int runBuildBookMode(const char* pgnFile, const char* bookFile, int depth, int count);

}  // namespace tarvok
