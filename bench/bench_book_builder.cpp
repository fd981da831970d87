// SPDX-License-Identifier: GPL-3.0-or-later
// Book-builder speed: builds a book from a generated PGN file of random games
// and, when Debian's polyglot is installed and compare is 1, times
// `polyglot make-book` on the same file with the same depth and minimum game
// count, alternating with Tarvok's builder round by round; prints medians.
//
//   bench_book_builder [games] [depth] [count] [rounds] [compare]
//                                                   defaults 100000 16 2 3 1
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "board/movegen.h"
#include "book/book_builder.h"
#include "book/opening_book.h"
#include "frontend/protocol_engine.h"
#include "tools/san_writer.h"

using namespace tarvok;

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Random games from a fixed seed; the first plies favour a few moves so that
// lines repeat as in real databases.
void writeGames(const char* path, int games, int plies) {
    FILE* file = std::fopen(path, "w");
    if (file == nullptr) std::exit(1);
    static Board board;
    static MoveList list;
    uint64_t state = 0x243F6A8885A308D3ULL;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    const char* results[3] = {"1-0", "0-1", "1/2-1/2"};
    for (int game = 0; game < games; ++game) {
        board.setStartArray();
        const char* result = results[next() % 3];
        std::fprintf(file, "[Event \"bench %d\"]\n[Result \"%s\"]\n\n", game, result);
        for (int ply = 0; ply < plies; ++ply) {
            const int count = generateAll(board, list, 0, isInCheck(board, static_cast<int>(board.side)));
            MoveList legal{};
            int legalCount = 0;
            for (int i = 0; i < count; ++i) {
                if (board.makeMove(list.entries[i].move)) legal.entries[legalCount++] = list.entries[i];
                board.unmakeMove(list.entries[i].move);
            }
            if (legalCount == 0) break;
            const int spread = ply < 8 ? 3 : legalCount;
            const Move move = legal.entries[next() % static_cast<uint64_t>(spread < legalCount ? spread : legalCount)].move;
            char text[kSanSize];
            writeSan(move, text, legal, legalCount);
            // PGN writes en passant like any pawn capture.
            if (char* suffix = std::strstr(text, "e.p")) *suffix = '\0';
            if (ply % 2 == 0) std::fprintf(file, "%d. ", ply / 2 + 1);
            std::fprintf(file, "%s ", text);
            board.makeMove(move);
        }
        std::fprintf(file, "%s\n\n", result);
    }
    std::fclose(file);
}

}  // namespace

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int main(int argc, char** argv) {
    const int games = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int depth = argc > 2 ? std::atoi(argv[2]) : 16;
    const int count = argc > 3 ? std::atoi(argv[3]) : 2;
    const int rounds = argc > 4 && std::atoi(argv[4]) > 0 ? std::atoi(argv[4]) : 3;
    const bool compare = (argc > 5 ? std::atoi(argv[5]) : 1) != 0 && std::system("test -x /usr/games/polyglot") == 0;
    const std::string pgn = "/tmp/tarvok_bench_games.pgn";
    auto* engine = new ProtocolEngine();
    engine->setHashSize(2);
    engine->setStartPosition();
    writeGames(pgn.c_str(), games, depth + 4);
    const std::string polyglot = "cd /tmp && /usr/games/polyglot make-book -pgn " + pgn +
                                 " -bin /tmp/tarvok_bench_polyglot.bin -max-ply " + std::to_string(depth) +
                                 " -min-game " + std::to_string(count) + " > /dev/null 2>&1";

    std::printf("games %d depth %d count %d rounds %d\n", games, depth, count, rounds);
    std::vector<double> tarvokSeconds, polyglotSeconds;
    bool failed = false;
    for (int round = 0; round < rounds; ++round) {
        openingBook.clearBook();
        double start = now();
        failed |= buildBook(*engine, pgn.c_str(), "/tmp/tarvok_bench_book.bin", depth, count) != 1;
        tarvokSeconds.push_back(now() - start);
        std::printf("round %d: tarvok %.2f s", round + 1, tarvokSeconds.back());
        if (compare) {
            start = now();
            failed |= std::system(polyglot.c_str()) != 0;
            polyglotSeconds.push_back(now() - start);
            std::printf(", polyglot %.2f s", polyglotSeconds.back());
        }
        std::printf("\n");
    }
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    const double tarvok = median(tarvokSeconds);
    std::printf("tarvok   -buildbook : median %.2f s, %.0f games/s, peak memory %ld MB\n", tarvok, games / tarvok,
                self.ru_maxrss / 1024);
    if (compare) {
        const double other = median(polyglotSeconds);
        // Its peak memory needs /usr/bin/time: a child forked from this
        // process starts with this process's pages.
        std::printf("polyglot make-book  : median %.2f s, %.0f games/s\n", other, games / other);
        std::printf("ratio polyglot/tarvok: %.2f\n", other / tarvok);
    } else {
        std::printf("no comparison with polyglot\n");
    }
    if (failed) std::printf("a build failed\n");
    delete engine;
    return failed ? 1 : 0;
}
