// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/tool_modes.h"

#include <cstdio>

#include "frontend/config_file.h"
#include "frontend/frontend.h"
#include "frontend/protocol_engine.h"
#include "book/book_builder.h"
#include "tools/perft.h"
#include "tools/test_suite.h"

namespace tarvok {

namespace {

// The suites' engine reads no commands: input waiting on standard input (or
// its end, as with </dev/null) is left alone instead of aborting the
// searches, which would spoil every result that follows.
class SuiteEngine final : public ProtocolEngine {
   public:
    void pollInput() override {}
};

// A tool's engine, sized from the configuration and set to a new game. It
// lives until the tool ends (endToolRun), or on into the interactive mode
// after -buildbook.
ProtocolEngine* createToolEngine(int hashMegabytes, ProtocolEngine* engine = new ProtocolEngine()) {
    frontEnd.engine = engine;
    engine->setHashSize(hashMegabytes);
    engine->setStartPosition();
    return engine;
}

// Ends a tool run with nothing left allocated.
int endToolRun(int status) {
    frontEnd.engine->release();
    delete frontEnd.engine;
    frontEnd.engine = nullptr;
    return status;
}

int configuredHash() {
    int megabytes = 128;
    iniGetInt(kConfigFileName, "Engine", "Hash", megabytes);
    return megabytes;
}

int runCounting(int depth, const char* fen, void (*command)(SearchEngine&, int)) {
    ProtocolEngine* engine = createToolEngine(configuredHash());
    if (fen != nullptr && !engine->setFromFen(fen)) {
        std::printf("Bad FEN string !\n");
        return endToolRun(0);
    }
    command(*engine, depth);
    return endToolRun(1);
}

}  // namespace

int runTestSuiteMode(const char* fileName, int seconds) {
    ProtocolEngine* engine = createToolEngine(configuredHash(), new SuiteEngine());
    // Saturates at the longest time the limit can hold (about 71 minutes).
    int64_t microseconds = seconds < 0 ? 5000000 : static_cast<int64_t>(seconds) * 1000000;
    if (microseconds > static_cast<int64_t>(kNoTimeLimit)) microseconds = kNoTimeLimit;
    engine->setLimit(LIMIT_MOVETIME, microseconds);
    return endToolRun(runTestSuite(*engine, fileName));
}

int runEvalSuiteMode(const char* fileName) {
    ProtocolEngine* engine = createToolEngine(configuredHash(), new SuiteEngine());
    engine->setLimit(LIMIT_MOVETIME, 10000000);
    return endToolRun(runEvalSuite(*engine, fileName));
}

int runPerftMode(int depth, const char* fen) { return runCounting(depth, fen, perftCommand); }

int runDivideMode(int depth, const char* fen) { return runCounting(depth, fen, divideCommand); }

int runBuildBookMode(const char* pgnFile, const char* bookFile, int depth, int count) {
    ProtocolEngine* engine = createToolEngine(128);
    return buildBook(*engine, pgnFile, bookFile, depth, count);
}

}  // namespace tarvok
