// SPDX-License-Identifier: GPL-3.0-or-later
// Reading PGN games and SAN move tokens, and writing SAN, over the tables in
// tests/data/book/.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "board/bitboard.h"
#include "board/movegen.h"
#include "board/move_text.h"
#include "book/pgn_reader.h"
#include "book/san.h"
#include "test_support/data_files.h"
#include "test_support/table_text.h"
#include "tools/san_writer.h"

namespace tarvok {
namespace {

// A game as the reader hands it over: "whiteWins blackWins draws: moves".
void describeGame(void* context, const PgnGame& game) {
    std::string text = std::to_string(game.whiteWins) + " " + std::to_string(game.blackWins) + " " +
                       std::to_string(game.draws) + ":";
    for (uint32_t i = 0; i < game.moveCount; ++i) text += std::string(" ") + game.moves[i];
    // The games field belongs to the builder; the reader leaves it 0.
    if (game.games != 0) text += " games " + std::to_string(game.games);
    static_cast<std::vector<std::string>*>(context)->push_back(text);
}

std::vector<std::string> readGames(const std::string& text, int maxPlies) {
    std::vector<std::string> games;
    std::FILE* file = std::tmpfile();
    if (file == nullptr) return {"no temporary file"};
    std::fwrite(text.data(), 1, text.size(), file);
    std::rewind(file);
    readPgnStream(file, maxPlies, describeGame, &games);
    std::fclose(file);
    return games;
}

TEST(PgnReader, TableOfGameTexts) {
    const auto rows = test::readTable("book/pgn_games.txt");
    ASSERT_GT(rows.size(), 30u);
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 3u) << row[0];
        const std::string games = test::decodeText(row[2]);
        const auto expected = games == "none" ? std::vector<std::string>{} : test::split(games, " / ");
        EXPECT_EQ(readGames(test::decodeText(row[1]), std::stoi(row[0])), expected) << row[1];
    }
    std::vector<std::string> games;
    EXPECT_EQ(readPgnGames("/nonexistent/dir/none.pgn", 4, describeGame, &games), 0);
}

// The sample games: games and results counted, and every move read replays
// legally through the SAN parser, castles and captures among them.
TEST(PgnReader, SampleGamesCountAndReplayLegally) {
    initAttackTables();
    int castles = 0, captures = 0;
    // Main lines range from 23 to 208 plies; the first game is drawn.
    for (const auto& [plies, expected] : {std::pair{10, "40 games, 14 14 12, 0 0 1: e4"},
                                          std::pair{kPgnMaxPlies, "39 games, 14 14 11, 0 0 1: e4"}}) {
        std::vector<std::string> games;
        ASSERT_EQ(readPgnGames(test::testDataPath("games.pgn").c_str(), plies, describeGame, &games), 1);
        int results[3] = {0, 0, 0};
        for (const std::string& game : games) {
            for (std::size_t i = 0; i < 3; ++i) results[i] += game[2 * i] == '1';
            EXPECT_EQ(std::count(game.begin(), game.end(), ' '), plies + 2) << game;
        }
        EXPECT_EQ(std::to_string(games.size()) + " games, " + std::to_string(results[0]) + " " +
                      std::to_string(results[1]) + " " + std::to_string(results[2]) + ", " + games[0].substr(0, 9),
                  expected);
        Board board;
        MoveList scratch;
        for (const std::string& game : games) {
            board.setStartArray();
            std::istringstream tokens(game.substr(game.find(':') + 1));
            for (std::string token; tokens >> token;) {
                const int inCheck = isInCheck(board, static_cast<int>(board.side));
                scratch.count = static_cast<uint32_t>(generateAll(board, scratch, 0, inCheck));
                Move move = NO_MOVE;
                ASSERT_EQ(parseSan(board, scratch, token.c_str(), move), 1) << token;
                ASSERT_EQ(board.makeMove(move), 1) << token;
                castles += isCastle(move);
                captures += moveCaptured(move) != NO_PIECE;
            }
        }
    }
    EXPECT_GT(castles, 0);
    EXPECT_GT(captures, 0);
}

// Sets up the position of a table row with its generated moves.
bool setPosition(Board& board, MoveList& list, const std::string& fen) {
    if (board.setFromFen(fen.c_str()) != 1) return false;
    list.count = static_cast<uint32_t>(generateAll(board, list, 0, isInCheck(board, static_cast<int>(board.side))));
    return true;
}

TEST(San, ReadingTokensTable) {
    initAttackTables();
    Board board;
    MoveList scratch, lookup;
    const auto rows = test::readTable("book/san_read.txt");
    ASSERT_GT(rows.size(), 90u);
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 3u) << row[0];
        ASSERT_TRUE(setPosition(board, scratch, row[0])) << row[0];
        char before[kFenBufferSize], after[kFenBufferSize];
        board.writeFen(before);
        const HashKey key = board.hashKey;
        Move move = 12345;
        const int found = parseSan(board, scratch, row[1].c_str(), move);
        // The board is left as it was.
        board.writeFen(after);
        EXPECT_STREQ(before, after) << row[1];
        EXPECT_EQ(board.hashKey, key) << row[1];
        // The whole generated word, captured piece and flags included; 12345 untouched when rejected.
        const bool rejected = row[2] == "-";
        const Move expected = rejected ? Move{12345} : findMoveText(board, lookup, row[2].c_str());
        ASSERT_NE(expected, NO_MOVE) << row[2];
        EXPECT_EQ(found, rejected ? 0 : 1) << row[0] << " " << row[1];
        EXPECT_EQ(move, expected) << row[0] << " " << row[1];
    }
}

TEST(San, WritingMovesTable) {
    initAttackTables();
    Board board;
    MoveList list, lookup;
    char text[kSanSize] = "junk";
    for (const auto& row : test::readTable("book/san_write.txt")) {
        ASSERT_TRUE(setPosition(board, list, row[0])) << row[0];
        const Move move = findMoveText(board, lookup, row[1].c_str());
        ASSERT_NE(move, NO_MOVE) << row[1];
        writeSan(move, text, list, static_cast<int>(list.count));
        EXPECT_EQ(std::string(text), row[2]) << row[0] << " " << row[1];
    }
    // No move gives no text; without the list there is nothing to
    // disambiguate against; a count beyond the list's capacity reads no
    // further than its entries.
    MoveList empty{};
    writeSan(NO_MOVE, text, empty, 0);
    EXPECT_STREQ(text, "");
    const Move knight = makeMoveWord(makeSquare(1, 0), makeSquare(3, 1), KNIGHT);
    writeSan(knight, text, empty, 0);
    EXPECT_STREQ(text, "Nd2");
    empty.entries[3].move = makeMoveWord(makeSquare(5, 0), makeSquare(3, 1), KNIGHT);
    writeSan(knight, text, empty, 100000);
    EXPECT_STREQ(text, "Nbd2");
}

}  // namespace
}  // namespace tarvok
