// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frontend/frontend.h"
#include "frontend/config_file.h"
#include "frontend/input_reader.h"
#include "frontend/protocol_engine.h"

namespace tarvok {

FrontEndState frontEnd;

namespace {
char outputLine[kInputLineSize];
}

void sendLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(outputLine, sizeof outputLine - 1, format, args);
    va_end(args);
    size_t length = written < 0 ? 0 : static_cast<size_t>(written);
    if (length > sizeof outputLine - 2) length = sizeof outputLine - 2;
    // One write per line, newline included, so a GUI never sees half a line.
    outputLine[length] = '\n';
    std::fwrite(outputLine, 1, length + 1, stdout);
}

ProtocolEngine& replaceEngine() {
    if (frontEnd.engine != nullptr) {
        frontEnd.engine->release();
        delete frontEnd.engine;
    }
    frontEnd.engine = new ProtocolEngine();
    return *frontEnd.engine;
}

void enableConfiguredBook(ProtocolEngine& engine) {
    int book = 0;
    iniGetInt(kConfigFileName, "Engine", "Book", book);
    if (book != 1) return;
    char fileName[kConfigValueSize];
    // Without a "BookFile" key the current file name stays.
    if (iniGetString(kConfigFileName, "Engine", "BookFile", fileName))
        std::snprintf(frontEnd.bookFileName, sizeof frontEnd.bookFileName, "%s", fileName);
    frontEnd.ownBook = 1;
    engine.enableBook(frontEnd.bookFileName);
}

bool deferWhileSearching(const char* line, int stop) {
    ProtocolEngine* engine = frontEnd.engine;
    if (engine == nullptr || !engine->searching) return false;
    std::snprintf(frontEnd.deferredLine, sizeof frontEnd.deferredLine, "%s", line);
    frontEnd.hasDeferredLine = 1;
    if (stop != STOP_NONE) engine->stopState = stop;
    else if (engine->stopState == STOP_NONE && frontEnd.protocolMode == PROTOCOL_UCI) stopUciSearch(*engine);
    else if (engine->stopState == STOP_NONE) engine->stopState = engine->pondering ? STOP_PONDER : STOP_PLAY;
    return true;
}

void stopUciSearch(ProtocolEngine& engine) {
    // The position of a UCI ponder search is the GUI's own, the expected move
    // included: the search ends as a normal one and names its best move, and
    // the GUI's move stays on the board.
    engine.pondering = 0;
    engine.stopState = STOP_PLAY;
}

namespace {

// Ends pondering and aborts a running search, before the program ends.
void stopForQuit() {
    ProtocolEngine* engine = frontEnd.engine;
    if (engine == nullptr) return;
    engine->ponderEnabled = 0;
    engine->pondering = 0;
    engine->ponderMove = NO_MOVE;
    frontEnd.ponderOption = 0;
    if (engine->searching) engine->stopState = STOP_ABORT;
}

void dispatchLine(char* line) {
    switch (frontEnd.protocolMode) {
        case PROTOCOL_NONE:
            if (std::strcmp(line, "uci") == 0) {
                frontEnd.protocolMode = PROTOCOL_UCI;
                if (!uciHandleLine(line)) frontEnd.quitRequested = 1;
            } else if (std::strcmp(line, "xboard") == 0) {
                frontEnd.protocolMode = PROTOCOL_XBOARD;
                if (!xboardHandleLine(line)) frontEnd.quitRequested = 1;
            } else {
                frontEnd.quitRequested = 1;
            }
            break;
        case PROTOCOL_UCI:
            if (!uciHandleLine(line)) frontEnd.quitRequested = 1;
            break;
        default:
            if (std::strcmp(line, "quit") == 0) {
                stopForQuit();
                frontEnd.quitRequested = 1;
            }
            else if (!xboardHandleLine(line)) frontEnd.quitRequested = 1;
            break;
    }
}

}  // namespace

int readAndDispatch() {
    char* line = frontEnd.inputLine;
    if (line == nullptr || !standardInput().readLine(line, kInputLineSize)) return 0;
    // A carriage return before the newline (CR LF) belongs to the line ending.
    size_t length = std::strcspn(line, "\n");
    if (length > 0 && line[length - 1] == '\r') --length;
    line[length] = '\0';
    if (line[0] == '\0') return 1;
    dispatchLine(line);
    // Commands held back during a search run once it has ended.
    while (frontEnd.hasDeferredLine && !frontEnd.quitRequested &&
           !(frontEnd.engine != nullptr && frontEnd.engine->searching)) {
        frontEnd.hasDeferredLine = 0;
        std::memcpy(line, frontEnd.deferredLine, kInputLineSize);
        dispatchLine(line);
    }
    return 1;
}

int runInteractiveMode() {
    frontEnd.inputLine = static_cast<char*>(std::malloc(kInputLineSize));
    if (frontEnd.inputLine == nullptr) {
        std::fputs("out of memory\n", stderr);
        std::exit(0);
    }
    frontEnd.ownBook = 0;
    std::strcpy(frontEnd.bookFileName, "tarvokopenbook.bin");
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    frontEnd.protocolMode = PROTOCOL_NONE;
    std::memset(frontEnd.inputLine, 0, kInputLineSize);
    sendLine("%s %s (%s) by %s", kEngineName, kVersion, frontEnd.platformName, kAuthor);
    while (!frontEnd.quitRequested) {
        // The end of standard input ends the program as "quit" does.
        if (!readAndDispatch()) frontEnd.quitRequested = 1;
    }
    if (frontEnd.engine != nullptr) {
        stopForQuit();
        frontEnd.engine->release();
        delete frontEnd.engine;
        frontEnd.engine = nullptr;
    }
    std::free(frontEnd.inputLine);
    frontEnd.inputLine = nullptr;
    return 1;
}

}  // namespace tarvok
