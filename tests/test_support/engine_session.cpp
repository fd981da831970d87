// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_support/engine_session.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "board/bitboard.h"
#include "board/board.h"
#include "board/game_record.h"
#include "board/move_text.h"
#include "board/movegen.h"

namespace tarvok::test {

EngineSession::~EngineSession() {
    child_.closeInput();
    child_.waitExit(3000);  // a child still running then is killed by ChildProcess
}

bool EngineSession::start(const std::string& firstLine, const std::string& iniText, long memoryLimitKb) {
    if (!launch({}, iniText, memoryLimitKb) || !waitForPrefix("Tarvok ", 5000)) return false;
    return firstLine.empty() || send(firstLine);
}

bool EngineSession::launch(const std::vector<std::string>& args, const std::string& iniText, long memoryLimitKb) {
    if (workDir_.path().empty()) return false;
    if (!iniText.empty()) std::ofstream(workDir_.path() + "/tarvok.ini") << iniText;
    if (memoryLimitKb <= 0) return child_.start(TARVOK_BINARY, args, workDir_.path());
    std::vector<std::string> shellArgs = {"-c", "ulimit -v " + std::to_string(memoryLimitKb) + " && exec \"$0\" \"$@\"",
                                          TARVOK_BINARY};
    shellArgs.insert(shellArgs.end(), args.begin(), args.end());
    return child_.start("/bin/sh", shellArgs, workDir_.path());
}

std::optional<std::string> EngineSession::waitFor(const std::function<bool(const std::string&)>& match,
                                                  int timeoutMs) {
    const int64_t deadline = nowMs() + timeoutMs;
    std::string line;
    for (;;) {
        const int64_t left = deadline - nowMs();
        if (left < 0 || !child_.readLine(line, static_cast<int>(left))) return std::nullopt;
        transcript_.push_back(line);
        if (match(line)) return line;
    }
}

std::optional<std::string> EngineSession::waitForPrefix(const std::string& prefix, int timeoutMs) {
    return waitFor([&](const std::string& line) { return startsWith(line, prefix); }, timeoutMs);
}

std::optional<std::string> EngineSession::waitForLine(const std::string& exact, int timeoutMs) {
    return waitFor([&](const std::string& line) { return line == exact; }, timeoutMs);
}

std::vector<std::string> EngineSession::collect(int timeoutMs) {
    const size_t first = mark();
    waitFor([](const std::string&) { return false; }, timeoutMs);
    return linesSince(first);
}

std::vector<std::string> EngineSession::linesSince(size_t first) const {
    if (first >= transcript_.size()) return {};
    return {transcript_.begin() + static_cast<std::ptrdiff_t>(first), transcript_.end()};
}

std::string EngineSession::dump() const {
    std::string text;
    for (const std::string& line : transcript_) text += "  | " + line + "\n";
    return text;
}

std::string word(const std::string& text, size_t n) {
    const std::vector<std::string> all = words(text);
    return n < all.size() ? all[n] : std::string();
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string w; in >> w;) result.push_back(w);
    return result;
}

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

namespace {

struct Game {
    std::unique_ptr<Board> board = std::make_unique<Board>();
    std::unique_ptr<GameRecord> record = std::make_unique<GameRecord>();
    std::unique_ptr<MoveList> scratch = std::make_unique<MoveList>();
};

// Plays the moves on a fresh board; the index of the first illegal move, or
// -1 when all were played (-2 when the FEN is rejected).
int playAll(Game& game, const std::string& fen, const std::vector<std::string>& moves) {
    initAttackTables();
    if (!game.board->setFromFen(fen.c_str())) return -2;
    game.record->clear();
    for (size_t i = 0; i < moves.size(); ++i) {
        if (!playMoveText(*game.board, *game.record, *game.scratch, moves[i].c_str())) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

std::vector<std::string> legalMoves(const std::string& fen, const std::vector<std::string>& moves) {
    Game game;
    std::vector<std::string> result;
    if (playAll(game, fen, moves) != -1) return result;
    const bool inCheck = isInCheck(*game.board, static_cast<int>(game.board->side));
    const int count = generateAll(*game.board, *game.scratch, 0, inCheck);
    for (int i = 0; i < count; ++i) {
        const Move move = game.scratch->entries[i].move;
        if (game.board->makeMove(move)) {
            char text[kMoveTextSize];
            moveToCoordinates(move, text);
            result.emplace_back(text);
        }
        game.board->unmakeMove(move);
    }
    return result;
}

bool movesAreLegal(const std::string& fen, const std::vector<std::string>& moves, std::string* why) {
    Game game;
    const int bad = playAll(game, fen, moves);
    if (bad == -1) return true;
    if (why != nullptr) *why = bad == -2 ? "bad FEN " + fen : "illegal move " + moves[static_cast<size_t>(bad)];
    return false;
}

int legalMoveCount(const std::string& fen, const std::vector<std::string>& moves) {
    return movesAreLegal(fen, moves) ? static_cast<int>(legalMoves(fen, moves).size()) : -1;
}

}  // namespace tarvok::test
