// SPDX-License-Identifier: GPL-3.0-or-later
// Reading speed of the PGN reader, and of turning its tokens into moves, on
// the sample game file read many times over.
#include <chrono>
#include <ctime>
#include <cstdio>
#include <string>

#include "board/bitboard.h"
#include "board/movegen.h"
#include "book/pgn_reader.h"
#include "book/san.h"

using namespace tarvok;

namespace {

struct Totals {
    long games = 0;
    long tokens = 0;
};

void countGame(void* context, const PgnGame& game) {
    Totals& totals = *static_cast<Totals*>(context);
    ++totals.games;
    totals.tokens += game.moveCount;
}

struct Replay {
    Board board;
    MoveList scratch;
    long moves = 0;
    long failures = 0;
};

void replayGame(void* context, const PgnGame& game) {
    Replay& replay = *static_cast<Replay*>(context);
    replay.board.setStartArray();
    for (uint32_t i = 0; i < game.moveCount; ++i) {
        Board& board = replay.board;
        replay.scratch.count = static_cast<uint32_t>(
            generateAll(board, replay.scratch, 0, isInCheck(board, static_cast<int>(board.side))));
        Move move = NO_MOVE;
        if (!parseSan(board, replay.scratch, game.moves[i], move) || !board.makeMove(move)) {
            ++replay.failures;
            return;
        }
        ++replay.moves;
    }
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
    initAttackTables();
    const std::string path = std::string(TARVOK_DATA_DIR) + "/games.pgn";
    constexpr int kRepeats = 2500;

    Totals totals;
    const std::clock_t cpuStart = std::clock();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRepeats; ++i) {
        if (!readPgnGames(path.c_str(), kPgnMaxPlies, countGame, &totals)) {
            std::printf("cannot read %s\n", path.c_str());
            return 1;
        }
    }
    double seconds = secondsSince(start);
    const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("read: %ld games, %ld tokens in %.2f s (%.2f s of CPU): a million games in %.1f s of CPU\n",
                totals.games, totals.tokens, seconds, cpuSeconds, 1e6 * cpuSeconds / static_cast<double>(totals.games));

    static Replay replay;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRepeats / 10; ++i) readPgnGames(path.c_str(), kPgnMaxPlies, replayGame, &replay);
    seconds = secondsSince(start);
    std::printf("read and replay: %ld moves (%ld failures) in %.2f s: %.0f moves/s\n", replay.moves, replay.failures,
                seconds, static_cast<double>(replay.moves) / seconds);
    return 0;
}
