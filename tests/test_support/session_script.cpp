// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_support/session_script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <regex>
#include <thread>

#include "test_support/data_files.h"
#include "test_support/engine_session.h"
#include "test_support/table_text.h"

namespace tarvok::test {

namespace {

constexpr int kLong = 20000;

std::vector<std::string> plus(std::vector<std::string> moves, const std::string& move) {
    moves.push_back(move);
    return moves;
}

// The game as the GUI keeps it, and how many moves it waits for. Positions
// and moves sent while the engine thinks on its own move take effect after
// that move, as they do in the engine.
struct GuiBoard {
    bool uci = false;
    std::string fen = kStartFen;
    std::vector<std::string> moves;
    std::string hint;
    bool force = false;
    bool analysing = false;
    int owed = 0;
    std::vector<std::string> deferred;

    void sentUci(const std::string& line) {
        const std::vector<std::string> w = words(line);
        if (line == "ucinewgame") {
            fen = kStartFen, moves.clear(), owed = 0;
        } else if (!w.empty() && w[0] == "go") {
            ++owed;
        } else if (w.size() > 1 && w[0] == "position") {
            size_t i = 2;
            std::string newFen = kStartFen;
            if (w[1] == "fen") {
                newFen.clear();
                for (; i < w.size() && w[i] != "moves"; ++i) newFen += (newFen.empty() ? "" : " ") + w[i];
                if (!movesAreLegal(newFen, {})) return;  // a rejected FEN changes nothing
            }
            fen = newFen, moves.clear();
            for (++i; i < w.size(); ++i)
                if (movesAreLegal(fen, plus(moves, w[i]))) moves.push_back(w[i]);
        }
    }
    void sentXboard(const std::string& line) {
        if (line == "new" || line == "xboard") *this = GuiBoard{};
        else if (startsWith(line, "setboard ")) fen = line.substr(9), moves.clear();
        else if (line == "undo" && !moves.empty()) moves.pop_back();
        else if (line == "remove") moves.resize(moves.size() < 2 ? 0 : moves.size() - 2);
        else if (line == "force" || startsWith(line, "result")) force = true, owed = 0;
        else if (line == "go") force = false, analysing = false, owed = 1;
        else if (line == "analyze" || line == "exit") analysing = line == "analyze";
        else if (movesAreLegal(fen, plus(moves, line))) moves.push_back(line), owed = !force && !analysing;
    }
    void sent(const std::string& line) {
        static const std::regex moveText("[a-h][1-8][a-h][1-8][qrbn]?");
        const bool waits = uci ? startsWith(line, "position ") : std::regex_match(line, moveText);
        if (owed > 0 && waits) deferred.push_back(line);
        else if (uci) sentUci(line);
        else sentXboard(line);
    }
    // A legal move other than the one the engine expects.
    std::string miss() const {
        for (const std::string& move : legalMoves(fen, moves))
            if (move != hint) return move;
        return "";
    }
    void received(const std::string& line) {
        if (startsWith(line, "Hint: ")) hint = word(line, 1);
        if (!uci && line.find(" {") != std::string::npos) owed = 0;  // a result claimed
        if (!startsWith(line, uci ? "bestmove " : "move ")) return;
        std::string why;
        EXPECT_GT(owed, 0) << "a move nobody asked for: " << line;
        const std::vector<std::string> after = plus(moves, word(line, 1));
        EXPECT_TRUE(movesAreLegal(fen, after, &why)) << why;
        if (word(line, 2) == "ponder") {
            EXPECT_TRUE(movesAreLegal(fen, plus(after, word(line, 3)), &why)) << why;
        }
        // A UCI position stays what "position" set; XBoard plays the move on.
        if (!uci) moves = after;
        owed = owed > 0 ? owed - 1 : 0;
        std::vector<std::string> later;
        later.swap(deferred);
        for (const std::string& sentLine : later) sent(sentLine);
    }
    // The PV of a thinking line, or nothing when the line is none.
    static std::optional<std::vector<std::string>> pvOf(const std::string& line) {
        static const std::regex thinking(R"(^(\d+ -?\d+ \d+ \d+|info depth .* pv)( .*)?$)");
        std::smatch match;
        if (!std::regex_match(line, match, thinking)) return std::nullopt;
        return words(match[2].str());
    }
};

// Processor time the process has used, in clock ticks.
long cpuTicks(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string field;
    long ticks = 0;
    for (int i = 1; i <= 15 && stat >> field; ++i)
        if (i == 14 || i == 15) ticks += std::stol(field);
    return ticks;
}

}  // namespace

std::vector<SessionScript> readSessionScripts(const std::string& dataFile) {
    std::vector<SessionScript> scripts;
    for (const std::string& line : readDataLines(dataFile)) {
        if (startsWith(line, "case ")) {
            scripts.push_back({line.substr(5), {}});
        } else if (startsWith(line, "repeat ") && !scripts.empty()) {
            std::vector<std::string>& steps = scripts.back().steps;
            const std::vector<std::string> w = words(line);
            const size_t count = std::min<size_t>(std::stoul(w.at(1)), steps.size());
            const std::vector<std::string> block(steps.end() - count, steps.end());
            for (unsigned long n = std::stoul(w.at(2)); n > 0; --n) steps.insert(steps.end(), block.begin(), block.end());
        } else if (line[0] != '#' && !scripts.empty()) {
            scripts.back().steps.push_back(line);
        }
    }
    if (scripts.empty()) scripts.push_back({"MissingFile", {"missing " + dataFile}});  // fails as an unknown step
    return scripts;
}

void runSessionScript(const SessionScript& script, const std::map<std::string, std::string>& vars) {
    EngineSession engine;
    GuiBoard board;
    std::string ini = "[Engine]\nHash=16\n";
    long memoryLimitKb = 0;
    bool protocolChosen = false;
    bool finished = false;
    size_t checked = 0;
    int ping = 0;
    auto observe = [&](const std::string& line) {
        board.received(line);
        return false;
    };
    auto note = [&](const std::string& line) {
        if (!protocolChosen) board.uci = line == "uci";
        protocolChosen = protocolChosen || line == "uci" || line == "xboard";
        board.sent(line);
    };
    auto sync = [&]() {
        const std::string answer = board.uci ? "readyok" : "pong " + std::to_string(++ping);
        engine.send(board.uci ? "isready" : "ping " + std::to_string(ping));
        return engine.waitFor([&](const std::string& line) { return !observe(line) && line == answer; }, kLong);
    };
    for (const std::string& step : script.steps) {
        SCOPED_TRACE(script.name + ": " + step);
        const size_t blank = step.find(' ');
        const std::string kind = step.substr(0, blank);
        std::string arg = blank == std::string::npos ? "" : step.substr(blank + 1);
        for (const auto& [name, value] : vars) {
            const size_t at = arg.find("$" + name);
            if (at != std::string::npos) arg.replace(at, name.size() + 1, value);
        }
        if (kind == "ini") {
            ini = decodeText(arg);
        } else if (kind == "ulimit") {
#if defined(__SANITIZE_ADDRESS__)
            GTEST_SKIP() << "the sanitizer's allocator does not run under an address-space limit";
#endif
            memoryLimitKb = std::stol(arg);
        } else if (kind == "start") {
            ASSERT_TRUE(engine.launch(words(arg), ini, memoryLimitKb));
        } else if (kind == ">") {
            if (startsWith(arg, "$hint")) arg = board.hint + arg.substr(5);
            if (arg == "$under") arg = board.hint.substr(0, 4) + (board.hint.substr(4) == "n" ? "q" : "n");
            if (arg == "$miss") arg = board.miss();
            note(arg);
            engine.send(arg);
        } else if (kind == "raw") {
            std::string text = decodeText(arg);
            engine.sendRaw(text);
            for (size_t end; (end = text.find('\n')) != std::string::npos; text.erase(0, end + 1))
                note(text.substr(0, text.find_first_of("\r\n")));
        } else if (kind == "mark") {
            checked = engine.mark();
        } else if (startsWith(kind, "<")) {
            const int timeoutMs = kind.size() > 2 ? std::stoi(kind.substr(2)) : kLong;
            const std::regex pattern(arg);
            ASSERT_TRUE(engine.waitFor([&](const std::string& line) {
                return !observe(line) && std::regex_search(line, pattern, std::regex_constants::match_continuous);
            }, timeoutMs)) << engine.dump();
        } else if (kind == "=" || kind == "~") {
            ASSERT_TRUE(engine.waitFor([&](const std::string& line) { return !observe(line); }, kLong));
            const std::string& line = engine.transcript().back();
            EXPECT_TRUE(kind == "=" ? line == arg : std::regex_match(line, std::regex(arg))) << engine.dump();
            checked = engine.mark();
        } else if (kind == "!") {
            ASSERT_TRUE(sync()) << engine.dump();
            const std::regex pattern(arg);
            const std::vector<std::string> lines = engine.linesSince(checked);
            // The last line answers the sync.
            for (size_t i = 0; !arg.empty() && i + 1 < lines.size(); ++i)
                EXPECT_FALSE(std::regex_search(lines[i], pattern, std::regex_constants::match_continuous)) << lines[i];
            checked = engine.mark();
        } else if (kind == "lastpv" || kind == "wait") {
            std::optional<std::vector<std::string>> pv;
            for (const std::string& line : engine.collect(std::stoi(arg))) {
                board.received(line);
                if (GuiBoard::pvOf(line)) pv = GuiBoard::pvOf(line);
            }
            std::vector<std::string> game = board.moves;
            if (kind == "lastpv" && pv) game.insert(game.end(), pv->begin(), pv->end());
            std::string why;
            EXPECT_TRUE(kind == "wait" || (pv && movesAreLegal(board.fen, game, &why))) << why << engine.dump();
        } else if (kind == "idle") {
            const long before = cpuTicks(engine.process().pid());
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            EXPECT_LT(cpuTicks(engine.process().pid()) - before, 10) << "still thinking\n" << engine.dump();
        } else if (kind == "close") {
            engine.process().closeInput();
            finished = true;
        } else if (kind == "exit") {
            finished = true;
            EXPECT_EQ(engine.process().waitExit(10000), std::stoi(arg)) << engine.dump();
        } else if (kind == "end") {
            EXPECT_EQ(engine.process().readAllLines(5000), std::vector<std::string>{}) << engine.dump();
        } else {
            FAIL() << "unknown step";
        }
    }
    // Still in step with the GUI at the end.
    if (protocolChosen && !finished) {
        EXPECT_TRUE(sync()) << engine.dump();
    }
}

}  // namespace tarvok::test
