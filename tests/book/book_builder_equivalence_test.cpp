// SPDX-License-Identifier: GPL-3.0-or-later
// The two-pass indexed book builder against a literal one kept here: every
// line looked up by scanning the table from its start, every line replayed
// in full from the starting position. Both must write byte-identical book
// files, whatever the size of the builder's line filter.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "board/movegen.h"
#include "book/book_builder.h"
#include "book/opening_book.h"
#include "book/pgn_reader.h"
#include "book/san.h"
#include "frontend/protocol_engine.h"
#include "tools/san_writer.h"

namespace tarvok {
namespace {

struct LiteralRecord {
    std::vector<std::string> tokens;
    uint32_t games, blackWins, whiteWins, draws;
};

void generate(Board& board, MoveList& list) {
    list.count = static_cast<uint32_t>(generateAll(board, list, 0, isInCheck(board, static_cast<int>(board.side))));
}

void literalBuild(SearchEngine& engine, const std::string& pgn, const std::string& book, int depth, int count) {
    std::vector<LiteralRecord> table;
    auto collect = [&](const PgnGame& game) {
        for (uint32_t n = 1; n <= game.moveCount; ++n) {
            std::vector<std::string> prefix(game.moves, game.moves + n);
            bool found = false;
            for (LiteralRecord& record : table) {
                if (record.tokens != prefix) continue;
                ++record.games;
                record.blackWins += game.blackWins;
                record.whiteWins += game.whiteWins;
                record.draws += game.draws;
                found = true;
                break;
            }
            if (!found) table.push_back({prefix, 1, game.blackWins, game.whiteWins, game.draws});
        }
    };
    ASSERT_EQ(readPgnGames(pgn.c_str(), depth, collect), 1);
    for (const LiteralRecord& record : table) {
        if (static_cast<int>(record.games) < count) continue;
        Board& board = engine.board;
        board.setStartArray();
        generate(board, engine.scratchMoveList);
        const auto white = static_cast<uint8_t>(record.whiteWins * 100 / record.games);
        const auto black = static_cast<uint8_t>(record.blackWins * 100 / record.games);
        for (const std::string& token : record.tokens) {
            Move move = NO_MOVE;
            if (!parseSan(board, engine.scratchMoveList, token.c_str(), move)) break;
            openingBook.addBookMove(board.hashKey, move, record.games, white, black);
            board.makeMove(move);
            generate(board, engine.scratchMoveList);
        }
    }
    openingBook.saveBook(book.c_str());
}

// Random games over few moves per ply, so that openings repeat and reach the
// same positions by different orders.
std::string randomGames(uint64_t seed, int games, int plies) {
    static Board board;
    static MoveList list;
    std::string text;
    const char* results[3] = {"1-0", "0-1", "1/2-1/2"};
    auto next = [&seed] {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        return seed;
    };
    for (int game = 0; game < games; ++game) {
        board.setStartArray();
        const char* result = results[next() % 3];
        text += std::string("[Result \"") + result + "\"]\n\n";
        for (int ply = 0; ply < plies; ++ply) {
            const int count = generateAll(board, list, 0, isInCheck(board, static_cast<int>(board.side)));
            MoveList legal{};
            int legalCount = 0;
            for (int i = 0; i < count; ++i) {
                if (board.makeMove(list.entries[i].move)) legal.entries[legalCount++] = list.entries[i];
                board.unmakeMove(list.entries[i].move);
            }
            if (legalCount == 0) break;
            // Knight moves first in generation order: a handful of choices.
            const int choices = legalCount < 4 ? legalCount : 4;
            const Move move = legal.entries[next() % static_cast<uint64_t>(choices)].move;
            char san[kSanSize];
            writeSan(move, san, legal, legalCount);
            if (char* suffix = std::strstr(san, "e.p")) *suffix = '\0';
            if (ply % 2 == 0) text += std::to_string(ply / 2 + 1) + ". ";
            text += std::string(san) + " ";
            board.makeMove(move);
        }
        text += std::string(result) + "\n\n";
    }
    return text;
}

std::string readBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(BookBuilderEquivalence, IndexedAndLiteralBuildersWriteTheSameBytes) {
    char pattern[] = "/tmp/tarvok_equivalence_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string directory = pattern;
    auto engine = std::make_unique<ProtocolEngine>();
    engine->setHashSize(2);
    engine->setStartPosition();
    int nonEmpty = 0;
    for (int set = 0; set < 200; ++set) {
        const std::string pgn = directory + "/games.pgn";
        std::ofstream(pgn) << randomGames(0x9E3779B97F4A7C15ULL + static_cast<uint64_t>(set) * 7919, 12, 10);
        const int depth = 2 + set % 9, count = 1 + set % 3;
        openingBook.clearBook();
        literalBuild(*engine, pgn, directory + "/literal.bin", depth, count);
        const std::string literal = readBytes(directory + "/literal.bin");
        // A filter of 64 counters lets many single lines through to the
        // exact count; the default one hardly any.
        std::string indexed;
        for (const std::size_t counters : {std::size_t{64}, std::size_t{0}}) {
            openingBook.clearBook();
            ASSERT_EQ(buildBook(*engine, pgn.c_str(), (directory + "/indexed.bin").c_str(), depth, count, counters), 1);
            indexed = readBytes(directory + "/indexed.bin");
            ASSERT_EQ(indexed, literal) << "set " << set << ", filter " << counters;
        }
        openingBook.clearBook();
        if (indexed.size() > 12) ++nonEmpty;
    }
    EXPECT_GT(nonEmpty, 150);
    // Counts beyond the filter's counter range: one game repeated 300 times.
    std::string repeated;
    const std::string game = randomGames(0x5DEECE66DULL, 1, 10);
    for (int copy = 0; copy < 300; ++copy) repeated += game;
    std::ofstream(directory + "/games.pgn") << repeated;
    for (const int count : {255, 256, 300, 301}) {
        openingBook.clearBook();
        literalBuild(*engine, directory + "/games.pgn", directory + "/literal.bin", 8, count);
        openingBook.clearBook();
        ASSERT_EQ(buildBook(*engine, (directory + "/games.pgn").c_str(), (directory + "/indexed.bin").c_str(), 8, count), 1);
        EXPECT_EQ(readBytes(directory + "/indexed.bin"), readBytes(directory + "/literal.bin")) << "count " << count;
        EXPECT_EQ(readBytes(directory + "/indexed.bin").size() > 12, count <= 300) << "count " << count;
    }
    ASSERT_EQ(std::system(("rm -rf " + directory).c_str()), 0);
}

}  // namespace
}  // namespace tarvok
