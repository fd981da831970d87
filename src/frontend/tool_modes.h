// Command-line tool modes; each builds its own engine.
#pragma once

namespace tarvok {

int runPerftMode(int depth, const char* fen);
int runDivideMode(int depth, const char* fen);

}  // namespace tarvok
