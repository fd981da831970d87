// Command-line tool modes; each builds its own engine.
#pragma once

namespace tarvok {

// EPD suites; seconds per position, a negative number meaning 5. Each
// returns 1, or 0 when the file cannot be opened.
int runTestSuiteMode(const char* fileName, int seconds);
int runEvalSuiteMode(const char* fileName);
int runPerftMode(int depth, const char* fen);
int runDivideMode(int depth, const char* fen);

}  // namespace tarvok
