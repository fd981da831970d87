// SPDX-License-Identifier: GPL-3.0-or-later
// Front-end process state shared by the command loop and the protocol
// handlers, the output routine and one step of the command loop.
#pragma once

#include <cstdint>

#include "board/move.h"

namespace tarvok {

class ProtocolEngine;

enum ProtocolMode : int { PROTOCOL_NONE = 0, PROTOCOL_UCI = 1, PROTOCOL_XBOARD = 2 };

inline constexpr const char* kEngineName = "Tarvok";
inline constexpr const char* kVersion = "1.4";
inline constexpr const char* kAuthor = "the Tarvok developers";

constexpr int kBookFileNameSize = 256;
constexpr int kPendingMoveSize = 8;

struct FrontEndState {
    ProtocolEngine* engine = nullptr;
    char platformName[8] = "32 bits";
    uint32_t userMoveCount = 0;
    int newGamePending = 0;
    char bookFileName[kBookFileNameSize] = "tarvokopenbook.bin";
    int ownBook = 0;
    char pendingMove[kPendingMoveSize] = "";
    Move hintMove = NO_MOVE;
    int ponderRequested = 0;
    int ponderOption = 0;
    int firstGoDone = 0;
    int movesPerSession = 0;
    int movesLeft = 0;
    int timeControlGiven = 0;  // "level" or "st" received since "xboard"
    char* inputLine = nullptr;  // 4096 bytes while the interactive mode runs
    int quitRequested = 0;
    int forceMode = 0;
    int protocolMode = PROTOCOL_NONE;
    int postThinking = 1;
    // A board-changing command that arrived during a search: the search is
    // stopped first and the command runs once it has unwound.
    char deferredLine[4096] = "";
    int hasDeferredLine = 0;
    // XBoard: clocks as "time" (the engine's) and "otim" (the opponent's)
    // gave them, in milliseconds; negative until given. They are put on the
    // side to move and the other side when the engine starts a search.
    float engineClock = -1.0f;
    float opponentClock = -1.0f;
    // XBoard: the clock "level" gave each side, for every new game; negative
    // until given.
    float controlBaseClock = -1.0f;
    // XBoard analysis: the limits in force before it began.
    int savedLimitMode = 0;
    int32_t savedDepthLimit = 0;
    uint32_t savedMoveTime = 0;
    uint64_t savedNodeLimit = 0;
};

// The one front-end state of the process.
extern FrontEndState frontEnd;

// printf-style: formats into a 4096-byte buffer (longer output is cut) and
// writes it with a newline to standard output.
void sendLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// One step of the command loop: reads a line and hands it to the protocol
// handler. Returns 0 when nothing could be read, else 1.
int readAndDispatch();

// When a search is running, stops it as "stop" would and keeps line to be
// executed after the search has ended; returns true when it did so.
bool deferWhileSearching(const char* line, int stop = 0);

// UCI "stop": ends the running search, a ponder search included, with its
// best move.
void stopUciSearch(ProtocolEngine& engine);

// XBoard: puts the clocks given by "time" and "otim" on the engine (side to
// move) and its opponent before a search.
void applyXboardClocks();

// XBoard: starts the engine's search (or a ponder search) with the GUI's
// clocks and the moves left to the time control. Without a legal move to
// play it claims the result instead; a ponder search is not started then.
void startXboardSearch(ProtocolEngine& engine, bool ponder);

// XBoard: prints the result when the side to move has no legal move ("1-0
// {White mates}", "0-1 {Black mates}", "1/2-1/2 {Stalemate}"); returns
// whether it did.
bool claimXboardResult(ProtocolEngine& engine);

// XBoard "new": the start position and the counters of a fresh game; the
// time control stays, the depth limit goes.
void resetXboardGame(ProtocolEngine& engine);

// The protocols' start-up: a new engine replaces (and releases) the old one;
// the opening book is switched on when tarvok.ini says "Book=1".
ProtocolEngine& replaceEngine();
void enableConfiguredBook(ProtocolEngine& engine);

// Protocol handlers; each returns 0 when the program should end.
int uciHandleLine(char* line);
int xboardHandleLine(char* line);

// Runs the interactive mode (banner, command loop, shutdown); returns the
// exit status.
int runInteractiveMode();

}  // namespace tarvok
