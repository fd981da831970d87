// SPDX-License-Identifier: GPL-3.0-or-later
// Times perftCount on three positions of perft.txt (median of the runs) and,
// when Debian's stockfish is installed, the same counts by its "go perft".
//
//   bench_perft [runs]     runs per position and program (default 3)
//   bench_perft --train    one run each, one ply shallower, no stockfish: a
//                          short workload for the profile-guided build
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "board/bitboard.h"
#include "board/board.h"
#include "tools/perft.h"

using namespace tarvok;

namespace {

struct Case {
    std::string fen;
    int depth;
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::vector<std::string> perftFens() {
    std::vector<std::string> fens;
    std::ifstream in(std::string(TARVOK_DATA_DIR) + "/perft.txt");
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) fens.push_back(line.substr(0, line.find(';')));
    return fens;
}

// A stockfish process driven over pipes; the clock runs only around the
// perft itself, not around start-up.
class Stockfish {
   public:
    bool start(const char* path) {
        if (access(path, X_OK) != 0) return false;
        int toChild[2], fromChild[2];
        if (pipe(toChild) != 0) return false;
        if (pipe(fromChild) != 0) {
            close(toChild[0]);
            close(toChild[1]);
            return false;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(toChild[0], 0);
            dup2(fromChild[1], 1);
            close(toChild[1]);
            close(fromChild[0]);
            execl(path, path, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(toChild[0]);
        close(fromChild[1]);
        if (pid_ < 0) {
            close(toChild[1]);
            close(fromChild[0]);
            return false;
        }
        input_ = fdopen(toChild[1], "w");
        output_ = fdopen(fromChild[0], "r");
        if (input_ == nullptr || output_ == nullptr) return false;
        send("uci");
        return waitFor("uciok", nullptr);
    }

    ~Stockfish() {
        if (input_ != nullptr) {
            send("quit");
            std::fclose(input_);
        }
        if (output_ != nullptr) std::fclose(output_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }

    // Leaf count of "go perft", 0 on failure; seconds receives the wall time.
    unsigned long long perft(const std::string& fen, int depth, double& seconds) {
        send("position fen " + fen);
        send("isready");
        if (!waitFor("readyok", nullptr)) return 0;
        const auto start = std::chrono::steady_clock::now();
        send("go perft " + std::to_string(depth));
        std::string line;
        if (!waitFor("Nodes searched:", &line)) return 0;
        seconds = secondsSince(start);
        return std::stoull(line.substr(std::strlen("Nodes searched:")));
    }

   private:
    void send(const std::string& line) {
        std::fprintf(input_, "%s\n", line.c_str());
        std::fflush(input_);
    }
    bool waitFor(const char* prefix, std::string* found) {
        char buffer[4096];
        while (std::fgets(buffer, sizeof buffer, output_) != nullptr) {
            if (std::strncmp(buffer, prefix, std::strlen(prefix)) == 0) {
                if (found != nullptr) *found = buffer;
                return true;
            }
        }
        return false;
    }

    pid_t pid_ = -1;
    FILE* input_ = nullptr;
    FILE* output_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    const bool training = argc > 1 && std::strcmp(argv[1], "--train") == 0;
    int runs = training ? 1 : argc > 1 ? std::atoi(argv[1]) : 3;
    if (runs < 1) runs = 1;
    initAttackTables();
    const std::vector<std::string> fens = perftFens();
    if (fens.size() < 3) {
        std::fprintf(stderr, "cannot read %s/perft.txt\n", TARVOK_DATA_DIR);
        return 1;
    }
    const int shallower = training ? 1 : 0;
    const Case cases[] = {{fens[0], 6 - shallower}, {fens[1], 5 - shallower}, {fens[2], 6 - shallower}};
    auto board = std::make_unique<Board>();
    auto lists = std::make_unique<MoveList[]>(kMaxPerftDepth + 1);
    Stockfish stockfish;
    const bool haveStockfish = !training && stockfish.start("/usr/games/stockfish");
    if (!haveStockfish && !training) std::printf("stockfish not installed: comparison skipped\n");

    for (const Case& c : cases) {
        if (!board->setFromFen(c.fen.c_str())) {
            std::fprintf(stderr, "bad FEN %s\n", c.fen.c_str());
            return 1;
        }
        std::vector<double> times;
        uint64_t nodes = 0;
        for (int run = 0; run < runs; ++run) {
            const auto start = std::chrono::steady_clock::now();
            nodes = perftCount(*board, lists.get(), c.depth);
            times.push_back(secondsSince(start));
        }
        const double seconds = median(times);
        const double speed = static_cast<double>(nodes) / seconds / 1e6;
        std::printf("%s depth %d\n  tarvok:    %12llu nodes  %8.3f s  %8.2f Mnodes/s\n", c.fen.c_str(), c.depth,
                    static_cast<unsigned long long>(nodes), seconds, speed);
        if (!haveStockfish) continue;
        std::vector<double> referenceTimes;
        unsigned long long referenceNodes = 0;
        for (int run = 0; run < runs; ++run) {
            double elapsed = 0;
            referenceNodes = stockfish.perft(c.fen, c.depth, elapsed);
            referenceTimes.push_back(elapsed);
        }
        const double referenceSeconds = median(referenceTimes);
        const double referenceSpeed = static_cast<double>(referenceNodes) / referenceSeconds / 1e6;
        std::printf("  stockfish: %12llu nodes  %8.3f s  %8.2f Mnodes/s%s\n  speed ratio tarvok/stockfish: %.3f\n",
                    referenceNodes, referenceSeconds, referenceSpeed, referenceNodes == nodes ? "" : "  (counts differ)",
                    speed / referenceSpeed);
    }
    return 0;
}
