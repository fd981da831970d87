// SPDX-License-Identifier: GPL-3.0-or-later
// SearchEngine: owns the game in progress (board, game record) and every table
// the search needs, with its limits and stop state. The outside world is
// reached only through the eleven hooks, which a derived class implements.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "board/game_record.h"
#include "board/move.h"
#include "eval/draw_score.h"

namespace tarvok {

// Nodes visited by the current search; reset at the start of every search.
extern uint64_t nodeCount;

enum StopState : int { STOP_NONE = 0, STOP_PLAY = 1, STOP_PONDER = 2, STOP_ABORT = 3 };

enum LimitMode : int {
    LIMIT_DEPTH = 0,
    LIMIT_NODES = 1,
    LIMIT_MOVETIME = 3,
    LIMIT_CLOCK = 5,
    LIMIT_INFINITE = 7,
};

enum NodeType : uint8_t { NODE_PV = 0, NODE_CUT = 1, NODE_ALL = 2 };

constexpr int kMateScore = 32000;
constexpr int kInfiniteWindow = 32001;
constexpr int kMateThreshold = 31743;  // scores beyond this are mate scores
constexpr uint32_t kNoTimeLimit = 4294967295u;
constexpr int kPvLength = 64;
constexpr int kMaxIterations = 63;  // the deepest iteration of any search

// One principal variation: moves with their scores.
struct PvRow {
    MoveEntry entries[kPvLength];
    uint32_t length;
};

// A reading of the monotonic clock, split like the time budget's arithmetic.
struct ClockTime {
    int32_t seconds;
    int32_t microseconds;
};

class SearchEngine {
   public:
    SearchEngine();
    virtual ~SearchEngine();
    SearchEngine(const SearchEngine&) = delete;
    SearchEngine& operator=(const SearchEngine&) = delete;

    // Hooks, in slot order.
    virtual void spareHook1() = 0;
    virtual void onSearchBegin() = 0;
    virtual void onSearchEnd(int stop) = 0;
    virtual void onGameMoveDone() = 0;
    virtual void onIterationDone(int depth, const PvRow& pv, uint64_t nodes, double searchMicroseconds) = 0;
    virtual void spareHook2() = 0;
    virtual void onSearchPrepared() = 0;
    virtual int onBoardChanged() = 0;
    virtual void spareHook3() = 0;
    virtual void pollInput() = 0;
    virtual void onRootMove(Move move, int number) = 0;

    // Position set-up. setStartPosition is the new-game reset.
    int setStartPosition();
    int setFromFen(const char* text);

    void setLimit(int mode, int64_t value);
    int setHashSize(int megabytes);
    int enableBook(const char* path);
    void disableBook();
    void clearHash();
    static int mateDistance(int score);
    void release();

    // Searches the current position; the chosen move ends up in the game
    // record and in lastMove, the expected reply in ponderMove.
    int startSearch(bool ponder);
    int checkNow();

    // Game record: plays a coordinate move text (e2e4, e7e8q) and records
    // it; returns 0 and changes nothing when the text names no legal move.
    int playMoveText(const char* text);
    int gameTakeBack();
    int countLegalMoves();
    bool isCheckmate();

    // Board, game record and per-ply tables.
    Board board;
    PvRow pvTable[kMaxSearchPly + 1];
    MoveList moveLists[kMaxSearchPly];
    GameRecord game;
    MoveList scratchMoveList;
    Move killers[kMaxSearchPly][2];
    uint32_t history[2][64][64];

    // Search state and limits.
    int searching = 0;
    int stopState = STOP_NONE;
    int rootResult = 0;
    Move lastMove = NO_MOVE;
    // The move the last search played and recorded; NO_MOVE when it played
    // none (no legal move, a stopped ponder search, an abort).
    Move playedMove = NO_MOVE;
    PvRow savedPv;
    int ponderEnabled = 0;
    int pondering = 0;
    // An analysis search: it plays no move (not even a book move) and, out
    // of depth, waits for a command as a ponder search does.
    int analysing = 0;
    // A UCI "go infinite": out of depth or with a mate found it still waits
    // for "stop" before it answers.
    int untilStop = 0;
    Move ponderMove = NO_MOVE;
    int limitMode = LIMIT_MOVETIME;
    // The limit mode of the running search, fixed when it starts: a limit
    // command that arrives during the search applies to the next one.
    int activeLimitMode = LIMIT_MOVETIME;
    // Iterations of a search that is not depth-limited (XBoard "sd" lowers it).
    int32_t maxDepth = kMaxIterations;
    uint32_t timeBudget = 7500;
    ClockTime startTime{0, 0};
    // When the search last looked at standard input.
    ClockTime lastInputCheck{0, 0};
    uint32_t checkInterval = 30000;
    uint32_t checkCounter = 0;
    uint32_t moveTime = 5000000;
    uint64_t nodeLimit = 2000000;
    int32_t movesToGo = 40;
    int32_t clockIncrement[2] = {0, 0};
    int32_t depthLimit = 8;
    int32_t defaultClock = 300000;
    int rootMoveReporting = 0;
    float clockTime[2] = {300000.0f, 300000.0f};
    int consoleOutput = 0;
    int bookEnabled = 1;
    uint32_t bookMaxPly = 20;
    // Set by the front end for the next search, cleared when it has ended:
    // the root moves to search (count 0: all of them) and the length in
    // moves of a mate that ends the search once found (0: none). Either one
    // keeps the book out of the search.
    MoveList searchMoves{};
    int mateLimit = 0;

   protected:
    // Search internals.
    void iterate();
    int searchRoot(int depth, int alpha, int beta);
    void writeBackPv(int depth);
    Move firstLegalMove();
    int alphaBeta(int depth, int alpha, int beta, int allowNull, int ply);
    int quiesce(int ply, int alpha, int beta, int exactEval);
    // Searches the child position just made: quiescence below one ply,
    // alpha-beta, or the static evaluation beyond the last ply. Returns the
    // score from this node's view (0 when the search is stopping).
    int searchChild(int newDepth, int alpha, int beta, int ply, bool givesCheck);
    void setupTimeBudget();
    // The clock is read every 64 calls as well as at every input poll: a node
    // can be slow (a fresh hash table's pages are paid for when the search
    // first writes them, milliseconds each on some machines), and the budget
    // must hold whatever the nodes cost. A read costs far less than 64 nodes.
    static constexpr uint32_t kClockCheckMask = 63;
    // Called before every child: counts the call, and every 64 calls (and on
    // every call under a node limit) goes on to checkLimitsAndInput, which
    // reads the clock and looks at input every checkInterval calls or 10 ms.
    // Returns 0 when the search must stop.
    int periodicCheck() {
        const bool intervalElapsed = ++checkCounter >= checkInterval;
        if (!intervalElapsed && (checkCounter & kClockCheckMask) != 0 && activeLimitMode != LIMIT_NODES) return 1;
        return checkLimitsAndInput(intervalElapsed);
    }
    int checkLimitsAndInput(bool intervalElapsed);
    void scoreMoves(MoveList& list, int count, Move hashMove, int ply);
    static void scoreCaptures(MoveList& list, int count);
    // Most cut-offs come on the first move, so the sort waits until a second
    // one is wanted: the index of the entry the sort would put first.
    static int selectFirst(const MoveList& list, int count);
    void updateKillersAndHistory(Move move, int depth, int ply);
    template <bool SignOnly>
    int exchange(Move move) const;

   public:
    // Exposed for tests and tools.
    static void sortMoves(MoveList& list, int count);
    int staticExchange(Move move) const;
    // Whether staticExchange(move) < 0, stopping as soon as that is settled.
    bool exchangeLoses(Move move) const;
    bool inputAvailable();
    // A ponder or analysis search with nothing left to do waits here: until
    // a ponder hit clears pondering or a command stops the search.
    void waitWhilePondering();

   private:
    void clearSearchTables();
    // Keeps in list only the moves of searchMoves, in their order; returns
    // the new count (the whole count when searchMoves is empty).
    int restrictRootMoves(MoveList& list, int count) const;
    bool mateFound(int score) const { return mateLimit > 0 && score > kMateThreshold && mateDistance(score) <= mateLimit; }
    // Appends a move already made on the board to the game record.
    bool recordGameMove(Move move);
};

// Reads the monotonic clock (never set back or forward with the system time).
ClockTime readClock();
// Microseconds from start to now, as the search measures them.
double elapsedMicroseconds(const ClockTime& start, const ClockTime& now);

}  // namespace tarvok
