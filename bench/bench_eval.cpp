// SPDX-License-Identifier: GPL-3.0-or-later
// Evaluations per second over the positions of perft.txt, full and lazy.
// Each figure is the median of several runs of about a second.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "board/bitboard.h"
#include "board/board.h"
#include "eval/evaluate.h"

using namespace tarvok;

namespace {

std::vector<std::string> loadPositions() {
    std::vector<std::string> positions;
    std::ifstream in(std::string(TARVOK_DATA_DIR) + "/perft.txt");
    std::string line;
    while (std::getline(in, line)) {
        const size_t end = line.find(';');
        positions.push_back(line.substr(0, end));
    }
    return positions;
}

// Runs rounds over all boards for about targetSeconds; returns evaluations
// per second. The checksum keeps the calls from being optimised away.
double measure(const std::vector<std::unique_ptr<Board>>& boards, int lazy, double targetSeconds, long& checksum) {
    using Clock = std::chrono::steady_clock;
    long evaluations = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    while (elapsed < targetSeconds) {
        for (int repeat = 0; repeat < 100; ++repeat)
            for (const auto& board : boards) checksum += evaluate(*board, -50, 50, lazy);
        evaluations += 100 * static_cast<long>(boards.size());
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    }
    return static_cast<double>(evaluations) / elapsed;
}

}  // namespace

int main() {
    initAttackTables();
    std::vector<std::unique_ptr<Board>> boards;
    for (const std::string& fen : loadPositions()) {
        auto board = std::make_unique<Board>();
        if (board->setFromFen(fen.c_str())) boards.push_back(std::move(board));
    }
    if (boards.empty()) {
        std::printf("no positions in %s/perft.txt\n", TARVOK_DATA_DIR);
        return 1;
    }
    constexpr int kRuns = 5;
    long checksum = 0;
    for (int lazy = 0; lazy <= 1; ++lazy) {
        std::vector<double> rates;
        for (int run = 0; run < kRuns; ++run) rates.push_back(measure(boards, lazy, 1.0, checksum));
        std::sort(rates.begin(), rates.end());
        std::printf("%s: %zu positions, median %.2f M evaluations/s (min %.2f, max %.2f) over %d runs\n",
                    lazy ? "lazy (window -50..50)" : "full", boards.size(), rates[kRuns / 2] / 1e6, rates.front() / 1e6,
                    rates.back() / 1e6, kRuns);
    }
    std::printf("checksum %ld\n", checksum);
    return 0;
}
