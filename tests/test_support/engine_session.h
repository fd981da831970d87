// SPDX-License-Identifier: GPL-3.0-or-later
// The tarvok binary driven line by line for end-to-end tests, and legality
// checks of coordinate move sequences.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "test_support/child_process.h"
#include "test_support/table_text.h"

namespace tarvok::test {

inline constexpr const char* kStartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

class EngineSession {
   public:
    EngineSession() = default;
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;
    ~EngineSession();

    // Starts the binary in a fresh temporary folder, with iniText (when not
    // empty) as its tarvok.ini and its address space capped at memoryLimitKb
    // (when not 0), reads its banner and sends firstLine (when not empty).
    bool start(const std::string& firstLine, const std::string& iniText = "[Engine]\nHash=16\n",
               long memoryLimitKb = 0);
    // The same with command-line arguments, reading nothing.
    bool launch(const std::vector<std::string>& args, const std::string& iniText, long memoryLimitKb);

    bool send(const std::string& line) { return child_.writeLine(line); }
    bool sendRaw(const std::string& text) { return child_.write(text); }

    // Reads lines until one matches and returns it; nothing on a time-out or
    // at the end of output. Every line read is kept in the transcript.
    std::optional<std::string> waitFor(const std::function<bool(const std::string&)>& match, int timeoutMs);
    std::optional<std::string> waitForPrefix(const std::string& prefix, int timeoutMs);
    std::optional<std::string> waitForLine(const std::string& exact, int timeoutMs);
    std::vector<std::string> collect(int timeoutMs);  // every line within timeoutMs

    const std::vector<std::string>& transcript() const { return transcript_; }
    size_t mark() const { return transcript_.size(); }
    std::vector<std::string> linesSince(size_t mark) const;
    std::string dump() const;  // the transcript, for failure messages

    ChildProcess& process() { return child_; }

   private:
    TempDir workDir_;  // declared before child_, so the child ends before its folder goes
    ChildProcess child_;
    std::vector<std::string> transcript_;
};

// The n-th blank-separated word of text (0-based), or "".
std::string word(const std::string& text, size_t n);
std::vector<std::string> words(const std::string& text);
bool startsWith(const std::string& text, const std::string& prefix);

// Whether the moves are legal in turn from fen (why names the first that is
// not); the number and the texts of the legal moves after them (-1 and none
// when one is illegal).
bool movesAreLegal(const std::string& fen, const std::vector<std::string>& moves, std::string* why = nullptr);
int legalMoveCount(const std::string& fen, const std::vector<std::string>& moves);
std::vector<std::string> legalMoves(const std::string& fen, const std::vector<std::string>& moves);

}  // namespace tarvok::test
