// SPDX-License-Identifier: GPL-3.0-or-later
// Searches a fixed list of positions, each to a fixed depth with a fresh hash
// table and a new game, and prints the total node count (a signature that
// changes only when the search changes), the search's wall and CPU time and
// the nodes per second of CPU time. Clearing the hash table before each
// position is timed apart: at small depths it would otherwise dominate.
//
//   bench_search [depth]          fixed depth per position (default 10)
//   bench_search --movetime MS    MS milliseconds per position instead
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "search/hash_table.h"
#include "search/search_engine.h"

using namespace tarvok;

namespace {

// Hooks that report nothing; the bench reads nodeCount after each search.
class SilentEngine : public SearchEngine {
   public:
    void spareHook1() override {}
    void onSearchBegin() override {}
    void onSearchEnd(int) override {}
    void onGameMoveDone() override {}
    void onIterationDone(int, const PvRow&, uint64_t, double) override {}
    void spareHook2() override {}
    void onSearchPrepared() override {}
    int onBoardChanged() override { return 1; }
    void spareHook3() override {}
    void pollInput() override {}
    void onRootMove(Move, int) override {}
};

// The FEN part of each line: up to ';' in perft.txt, the first four fields in
// the EPD file.
std::vector<std::string> readPositions(const std::string& path, bool epd, std::size_t limit) {
    std::vector<std::string> positions;
    std::ifstream file(path);
    std::string line;
    while (positions.size() < limit && std::getline(file, line)) {
        if (line.empty()) continue;
        if (epd) {
            std::size_t end = 0;
            for (int field = 0; field < 4 && end != std::string::npos; ++field)
                end = line.find(' ', end == 0 ? 0 : end + 1);
            if (end == std::string::npos) continue;
            positions.push_back(line.substr(0, end) + " 0 1");
        } else {
            positions.push_back(line.substr(0, line.find(';')));
        }
    }
    return positions;
}

}  // namespace

int main(int argc, char** argv) {
    int depth = 10;
    long moveTimeMs = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--movetime") == 0 && i + 1 < argc) moveTimeMs = std::atol(argv[++i]);
        else depth = std::atoi(argv[i]);
    }
    if (depth < 1) depth = 1;

    std::vector<std::string> positions = readPositions(std::string(TARVOK_DATA_DIR) + "/perft.txt", false, 16);
    for (std::string& fen : readPositions(std::string(TARVOK_DATA_DIR) + "/bk.epd", true, 24))
        positions.push_back(fen);

    auto engine = std::make_unique<SilentEngine>();
    engine->setHashSize(32);
    uint64_t totalNodes = 0;
    int searched = 0;
    double clearSeconds = 0.0, searchSeconds = 0.0, searchCpuSeconds = 0.0;
    for (const std::string& fen : positions) {
        const auto clearStart = std::chrono::steady_clock::now();
        engine->clearHash();
        // Fresh pages cost their first write: paid here, not in the search.
        std::memset(hashTable.entries, 0, static_cast<std::size_t>(hashTable.entryCount) * sizeof(HashEntry));
        clearSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - clearStart).count();
        engine->setStartPosition();
        if (!engine->setFromFen(fen.c_str())) continue;
        engine->bookEnabled = 0;
        if (moveTimeMs > 0) {
            engine->setLimit(LIMIT_MOVETIME, moveTimeMs * 1000);
            engine->checkInterval = 1000;  // finer clock checks than in play
        } else {
            engine->setLimit(LIMIT_DEPTH, depth);
        }
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpuStart = std::clock();
        engine->startSearch(false);
        searchCpuSeconds += static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        searchSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        totalNodes += nodeCount;
        ++searched;
    }
    if (moveTimeMs > 0) std::printf("positions %d, %ld ms each\n", searched, moveTimeMs);
    else std::printf("positions %d, depth %d\n", searched, depth);
    std::printf("nodes %llu\ntime %.3f s\ncpu %.3f s\nnps %.0f\nclear %.3f s\n",
                static_cast<unsigned long long>(totalNodes), searchSeconds, searchCpuSeconds,
                searchCpuSeconds > 0 ? static_cast<double>(totalNodes) / searchCpuSeconds : 0.0, clearSeconds);
    return searched == static_cast<int>(positions.size()) ? 0 : 1;
}
