// SPDX-License-Identifier: GPL-3.0-or-later
// A running tarvok binary driven through one protocol, for end-to-end tests:
// starts it in an empty temporary working directory (optionally with a
// tarvok.ini), sends lines, waits for output lines with time-outs and keeps
// every line read. Also a legality check of coordinate move sequences.
//
//   EngineSession engine;
//   ASSERT_TRUE(engine.start("uci"));            // reads the banner, sends "uci"
//   engine.send("go depth 4");
//   auto best = engine.waitForPrefix("bestmove ", 10000);
//   EXPECT_TRUE(movesAreLegal(kStartFen, {word(*best, 1)}));
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "test_support/child_process.h"

namespace tarvok::test {

inline constexpr const char* kStartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

class EngineSession {
   public:
    EngineSession() = default;
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;
    ~EngineSession();

    // Starts the binary, reads its banner and, when firstLine is not empty,
    // sends it. iniText, when not empty, is written to tarvok.ini first; the
    // default keeps the XBoard hash table small. memoryLimitKb, when not 0,
    // caps the child's address space (ulimit -v) so that large allocations
    // fail.
    bool start(const std::string& firstLine, const std::string& iniText = "[Engine]\nHash=16\n",
               long memoryLimitKb = 0);
    // The same with command-line arguments, reading nothing.
    bool launch(const std::vector<std::string>& args, const std::string& iniText, long memoryLimitKb);

    bool send(const std::string& line) { return child_.writeLine(line); }
    bool sendRaw(const std::string& text) { return child_.write(text); }

    // Reads lines until one satisfies match; returns it, or nothing on a
    // time-out or the end of the output. Every line read is kept.
    std::optional<std::string> waitFor(const std::function<bool(const std::string&)>& match, int timeoutMs);
    std::optional<std::string> waitForPrefix(const std::string& prefix, int timeoutMs);
    std::optional<std::string> waitForLine(const std::string& exact, int timeoutMs);
    // Every line that arrives within timeoutMs (stops early at the end of
    // output).
    std::vector<std::string> collect(int timeoutMs);

    // Lines read so far, and a mark to look at the lines after it.
    const std::vector<std::string>& transcript() const { return transcript_; }
    size_t mark() const { return transcript_.size(); }
    std::vector<std::string> linesSince(size_t mark) const;
    std::string dump() const;  // the transcript as text, for failure messages

    ChildProcess& process() { return child_; }
    const std::string& workDir() const { return workDir_; }

   private:
    ChildProcess child_;
    std::string workDir_;
    std::vector<std::string> transcript_;
};

// The n-th blank-separated word of text (0-based), or "".
std::string word(const std::string& text, size_t n);
std::vector<std::string> words(const std::string& text);
bool startsWith(const std::string& text, const std::string& prefix);

// True when every coordinate move of moves is legal in turn from fen; why
// names the first one that is not.
bool movesAreLegal(const std::string& fen, const std::vector<std::string>& moves, std::string* why = nullptr);
// Number of legal moves after playing moves from fen (-1 when one is illegal).
int legalMoveCount(const std::string& fen, const std::vector<std::string>& moves);
// Coordinate texts of the legal moves after playing moves from fen (empty
// when one is illegal).
std::vector<std::string> legalMoves(const std::string& fen, const std::vector<std::string>& moves);

}  // namespace tarvok::test
