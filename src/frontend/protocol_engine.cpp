#include "frontend/protocol_engine.h"

#include "frontend/frontend.h"

namespace tarvok {

void ProtocolEngine::onSearchEnd(int) {}

void ProtocolEngine::onIterationDone(int, const PvRow&, uint64_t, double) {}

void ProtocolEngine::onRootMove(Move, int) {}

// Executes one command line that arrived during the search; the end of input
// stops the search as "quit" would.
void ProtocolEngine::pollInput() {
    if (!readAndDispatch()) frontEnd.quitRequested = 1;
    if (frontEnd.quitRequested && searching) stopState = STOP_ABORT;
}

}  // namespace tarvok
