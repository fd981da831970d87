#include "frontend/tool_modes.h"

#include <cstdio>

#include "frontend/config_file.h"
#include "frontend/frontend.h"
#include "frontend/protocol_engine.h"
#include "tools/perft.h"

namespace tarvok {

namespace {

// A tool's engine, sized from the configuration and set to a new game. It
// lives until the process ends.
ProtocolEngine* createToolEngine(int hashMegabytes) {
    auto* engine = new ProtocolEngine();
    frontEnd.engine = engine;
    engine->setHashSize(hashMegabytes);
    engine->setStartPosition();
    return engine;
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
        return 0;
    }
    command(*engine, depth);
    return 1;
}

}  // namespace

int runPerftMode(int depth, const char* fen) { return runCounting(depth, fen, perftCommand); }

int runDivideMode(int depth, const char* fen) { return runCounting(depth, fen, divideCommand); }

}  // namespace tarvok
