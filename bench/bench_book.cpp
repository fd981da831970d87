// SPDX-License-Identifier: GPL-3.0-or-later
// Times building, saving, loading and probing a large random opening book.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "book/opening_book.h"

using namespace tarvok;

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const long nodeCount = argc > 1 ? std::stol(argv[1]) : 1000000;
    const std::string file = (std::filesystem::temp_directory_path() / "tarvok_bench_book.bin").string();
    std::mt19937_64 random(1);

    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < nodeCount; ++i) {
        const HashKey key = random();
        const int moves = static_cast<int>(random() % 4) + 1;
        for (int m = 0; m < moves; ++m)
            openingBook.addBookMove(key, static_cast<Move>(random() & 0xFFFFFF), static_cast<uint32_t>(random() % 500),
                                    50, 30);
    }
    std::printf("build %ld nodes: %.2f s\n", nodeCount, secondsSince(start));

    start = std::chrono::steady_clock::now();
    if (!openingBook.saveBook(file.c_str())) return 1;
    std::printf("save: %.2f s (%llu bytes)\n", secondsSince(start),
                static_cast<unsigned long long>(std::filesystem::file_size(file)));

    start = std::chrono::steady_clock::now();
    if (!openingBook.loadBook(file.c_str())) return 1;
    std::printf("load: %.2f s (%zu nodes)\n", secondsSince(start), openingBook.nodes().size());

    start = std::chrono::steady_clock::now();
    std::size_t found = 0;
    const long probes = 1000000;
    for (long i = 0; i < probes; ++i) {
        const HashKey key = (i & 1) ? openingBook.nodes()[static_cast<std::size_t>(i) % openingBook.nodes().size()].key
                                    : random();
        found += openingBook.findNode(key) != nullptr;
    }
    std::printf("%ld lookups (%zu hits): %.3f s\n", probes, found, secondsSince(start));
    std::filesystem::remove(file);
    return 0;
}
