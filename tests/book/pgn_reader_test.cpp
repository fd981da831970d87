// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/pgn_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "board/bitboard.h"
#include "board/movegen.h"
#include "book/san.h"

namespace tarvok {
namespace {

using Tokens = std::vector<std::string>;

struct ReadGame {
    Tokens moves;
    uint32_t reserved;
    uint32_t blackWins;
    uint32_t whiteWins;
    uint32_t draws;
};

void collectGame(void* context, const PgnGame& game) {
    ReadGame copy{{}, game.games, game.blackWins, game.whiteWins, game.draws};
    for (uint32_t i = 0; i < game.moveCount; ++i) copy.moves.emplace_back(game.moves[i]);
    static_cast<std::vector<ReadGame>*>(context)->push_back(copy);
}

// Runs the reader over text, written to a temporary file byte for byte.
std::vector<ReadGame> readText(const std::string& text, int maxPlies) {
    std::vector<ReadGame> games;
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    if (file == nullptr) return games;
    std::fwrite(text.data(), 1, text.size(), file);
    std::rewind(file);
    readPgnStream(file, maxPlies, collectGame, &games);
    std::fclose(file);
    for (const ReadGame& game : games) EXPECT_EQ(game.reserved, 0u);
    return games;
}

// The main line of a single game handed over with maxPlies plies.
Tokens readLine(const std::string& text, int maxPlies) {
    std::vector<ReadGame> games = readText(text, maxPlies);
    EXPECT_EQ(games.size(), 1u) << text;
    return games.empty() ? Tokens{} : games[0].moves;
}

// Knights out and back: "1. Nf3 Nf6 2. Ng1 Ng8 3. Nf3 ..." for plies plies.
std::string knightShuffle(int plies) {
    std::string text;
    for (int ply = 0; ply < plies; ++ply) {
        if (ply % 2 == 0) text += std::to_string(ply / 2 + 1) + ". ";
        const bool out = (ply / 2) % 2 == 0;
        text += ply % 2 == 0 ? (out ? "Nf3 " : "Ng1 ") : (out ? "Nf6 " : "Ng8 ");
    }
    return text;
}

std::string withResult(const std::string& result, const std::string& moves) {
    return "[Event \"Test\"]\n[Result \"" + result + "\"]\n\n" + moves + result + "\n\n";
}

TEST(PgnReaderTags, ResultTagsCountPerGame) {
    const std::string text = withResult("1-0", "1. e4 e5 ") + withResult("0-1", "1. d4 d5 ") +
                             withResult("1/2-1/2", "1. c4 c5 ") + withResult("*", "1. Nf3 Nf6 ") +
                             "[Result \"1-0\"]\n[Result \"1-0\"]\n[Site \"1-0\"]\n[Event \"Result\"]\n1. g3 g6 1-0\n";
    std::vector<ReadGame> games = readText(text, 2);
    ASSERT_EQ(games.size(), 5u);
    EXPECT_EQ(games[0].moves, (Tokens{"e4", "e5"}));
    EXPECT_EQ(games[0].whiteWins, 1u);
    EXPECT_EQ(games[0].blackWins + games[0].draws, 0u);
    EXPECT_EQ(games[1].moves, (Tokens{"d4", "d5"}));
    EXPECT_EQ(games[1].blackWins, 1u);
    EXPECT_EQ(games[1].whiteWins + games[1].draws, 0u);
    EXPECT_EQ(games[2].draws, 1u);
    EXPECT_EQ(games[2].whiteWins + games[2].blackWins, 0u);
    EXPECT_EQ(games[3].whiteWins + games[3].blackWins + games[3].draws, 0u);
    // Every "Result" tag counts; other tags with result-like texts do not.
    EXPECT_EQ(games[4].moves, (Tokens{"g3", "g6"}));
    EXPECT_EQ(games[4].whiteWins, 2u);
}

TEST(PgnReaderTags, TagSpacingAndValuesWithBlanks) {
    const std::string text =
        "[White \"Some Player, Jr.\"]\n[Result\"0-1\"]\n[Result   \"0-1\"]\n[ Result \"1/2-1/2\"]\n"
        "[Result \"1 - 0\"]\n\n1. e4 e5 0-1\n";
    std::vector<ReadGame> games = readText(text, 2);
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0].blackWins, 2u);
    EXPECT_EQ(games[0].draws, 1u);
    EXPECT_EQ(games[0].whiteWins, 0u);
}

TEST(PgnReaderTags, OverlongNamesAndValuesAreTruncated) {
    const std::string longName = "Result" + std::string(400, 'n');
    const std::string longValue = "1-0" + std::string(400, 'v');
    const std::string text = "[" + longName + " \"1-0\"]\n[Result \"" + longValue + "\"]\n[Event \"" +
                             std::string(5000, 'e') + "\"]\n[Result \"0-1\"]\n\n1. e4 e5 0-1\n";
    std::vector<ReadGame> games = readText(text, 2);
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0].whiteWins, 0u);
    EXPECT_EQ(games[0].blackWins, 1u);
    EXPECT_EQ(games[0].moves, (Tokens{"e4", "e5"}));
}

TEST(PgnReaderGames, OnlyGamesWithEnoughPliesAreHandedOver) {
    // 9 plies with maxPlies 10: discarded; the next game starts afresh.
    const std::string text = withResult("1-0", knightShuffle(9)) + withResult("0-1", knightShuffle(10)) +
                             withResult("1/2-1/2", knightShuffle(12));
    std::vector<ReadGame> games = readText(text, 10);
    ASSERT_EQ(games.size(), 2u);
    EXPECT_EQ(games[0].moves.size(), 10u);
    EXPECT_EQ(games[0].moves.front(), "Nf3");
    EXPECT_EQ(games[0].moves.back(), "Nf6");
    EXPECT_EQ(games[0].whiteWins, 0u);
    EXPECT_EQ(games[0].blackWins, 1u);
    EXPECT_EQ(games[1].moves.size(), 10u);
    EXPECT_EQ(games[1].draws, 1u);
    EXPECT_EQ(games[1].blackWins, 0u);
}

TEST(PgnReaderGames, ResultTokensEndGamesEarly) {
    const std::string text = "1. e4 1-0\n"           // after White's move
                             "1. e4 e5 0-1\n"        // after Black's move
                             "1. d4 d5 2. c4 *\n"    // unfinished game
                             "1. d4 e5 2. c4 1/2-1/2\n"
                             "[Result \"1-0\"]\n1. c4 c5 2. Nc3 Nc6 1-0\n";
    std::vector<ReadGame> games = readText(text, 4);
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0].moves, (Tokens{"c4", "c5", "Nc3", "Nc6"}));
    EXPECT_EQ(games[0].whiteWins, 1u);
}

TEST(PgnReaderGames, TheRestOfAHandedOverGameIsSkipped) {
    // After the handover everything up to the next tag line is ignored; the
    // next game's first tag is read whole, even when it is "Result".
    const std::string text = "[Result \"1-0\"]\n1. e4 e5 2. Nf3 Nc6 3. Bb5 {a} (3. Bc4) $1 a6 1-0\n"
                             "4. junk 1-0 ) } {\n[Result \"0-1\"]\n[Event \"x\"]\n\n1. d4 d5 2. c4 dxc4 0-1\n";
    std::vector<ReadGame> games = readText(text, 2);
    ASSERT_EQ(games.size(), 2u);
    EXPECT_EQ(games[0].moves, (Tokens{"e4", "e5"}));
    EXPECT_EQ(games[0].whiteWins, 1u);
    EXPECT_EQ(games[1].moves, (Tokens{"d4", "d5"}));
    EXPECT_EQ(games[1].blackWins, 1u);
    EXPECT_EQ(games[1].whiteWins, 0u);
}

TEST(PgnReaderGames, AGameWithoutResultEndsAtTheNextTags) {
    const std::string text = "[Result \"1-0\"]\n1. e4 e5 2. Nf3\n\n[Result \"0-1\"]\n1. d4 d5 2. c4 e6 0-1\n";
    std::vector<ReadGame> games = readText(text, 4);
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0].moves, (Tokens{"d4", "d5", "c4", "e6"}));
    EXPECT_EQ(games[0].blackWins, 1u);
    EXPECT_EQ(games[0].whiteWins, 0u);

    // A game without moves whose result starts with "0" leaves the reader
    // inside move text; its result must not reach the next game.
    games = readText("[Result \"0-1\"]\n\n0-1\n\n[Result \"1-0\"]\n1. e4 e5 1-0\n", 2);
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0].moves, (Tokens{"e4", "e5"}));
    EXPECT_EQ(games[0].whiteWins, 1u);
    EXPECT_EQ(games[0].blackWins, 0u);
}

TEST(PgnReaderGames, PliesAreLimitedToTheRecord) {
    std::vector<ReadGame> games = readText(withResult("1-0", knightShuffle(40)), 50);
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0].moves.size(), static_cast<size_t>(kPgnMaxPlies));
    EXPECT_TRUE(readText(withResult("1-0", knightShuffle(40)), 0).empty());
    EXPECT_TRUE(readText(withResult("1-0", knightShuffle(40)), -3).empty());
}

TEST(PgnReaderMoveText, MoveNumbersWithOneAndThreeDots) {
    EXPECT_EQ(readLine("1.e4 e5 2.Nf3 Nc6 *\n", 4), (Tokens{"e4", "e5", "Nf3", "Nc6"}));
    EXPECT_EQ(readLine("1. e4 {c} 1... e5 2. Nf3 2... Nc6 *\n", 4), (Tokens{"e4", "e5", "Nf3", "Nc6"}));
    EXPECT_EQ(readLine("1...e5 2.Nf3 *\n", 2), (Tokens{"e5", "Nf3"}));
    // Numbers and moves split across lines, with Windows line ends.
    EXPECT_EQ(readLine("1.\r\ne4\r\ne5 2.\r\nNf3 {c}\r\n2...\r\nNc6 3\n. Bb5 *\r\n", 5),
              (Tokens{"e4", "e5", "Nf3", "Nc6", "Bb5"}));
    EXPECT_EQ(readLine("12. e4 12... e5 *\n", 2), (Tokens{"e4", "e5"}));
    // Tabs separate tokens like blanks.
    EXPECT_EQ(readLine("1.\te4\te5\t2.\tNf3 *\n", 3), (Tokens{"e4", "e5", "Nf3"}));
}

TEST(PgnReaderMoveText, MarksStayOnTheirTokensAndLongTokensAreCut) {
    EXPECT_EQ(readLine("1. e4!? Nf6+ 2. Qxf7# exd8=Q+ *\n", 4), (Tokens{"e4!?", "Nf6+", "Qxf7#", "exd8=Q+"}));
    Tokens moves = readLine("1. Nf3!!!!!!!!!!!!!!!!!!!!!!!!! e5 123456789012345. d4 *\n", 3);
    EXPECT_EQ(moves, (Tokens{"Nf3!!!!!!", "e5", "d4"}));
}

TEST(PgnReaderMoveText, BraceAndSemicolonComments) {
    // A comment holding parentheses, dots, digits and results changes nothing.
    EXPECT_EQ(readLine("1. e4 {see (a) 2. d4 ( 1-0 ;} e5 *\n", 2), (Tokens{"e4", "e5"}));
    // Comments over several lines, nested braces, and a move right before one.
    EXPECT_EQ(readLine("1. e4{a\nb { c } d\n2. d4 } e5 {x}2. Nf3 *\n", 3), (Tokens{"e4", "e5", "Nf3"}));
    // ';' comments run to the end of the line.
    EXPECT_EQ(readLine("; 1. d4 a file comment\n1. e4 ; 1... c5 { ( 0-1\ne5;x\n2. Nf3 *\n", 3),
              (Tokens{"e4", "e5", "Nf3"}));
    // Inside a brace comment ';' is plain text.
    EXPECT_EQ(readLine("1. e4 {a ; b} e5 *\n", 2), (Tokens{"e4", "e5"}));
    // A comment before the first move number.
    EXPECT_EQ(readLine("{1. d4} (1. c4) 1. e4 e5 *\n", 2), (Tokens{"e4", "e5"}));
}

TEST(PgnReaderMoveText, NestedVariations) {
    EXPECT_EQ(readLine("1. e4 (1. d4 d5 (1... Nf6 2. c4 (2. Nf3)) 2. c4) e5 2. Nf3 *\n", 3),
              (Tokens{"e4", "e5", "Nf3"}));
    EXPECT_EQ(readLine("1. e4 e5 (1... c5 2. Nf3\n(2. c3) d6\n) 2. Nf3(2. f4)Nc6 *\n", 4),
              (Tokens{"e4", "e5", "Nf3", "Nc6"}));
    // Parentheses inside a comment of a variation do not close it.
    EXPECT_EQ(readLine("1. e4 (1. d4 {a) b (c} d5) e5 *\n", 2), (Tokens{"e4", "e5"}));
    // A ';' comment inside a variation hides its parenthesis too.
    EXPECT_EQ(readLine("1. e4 (1. d4 ; d5)\nd5) e5 *\n", 2), (Tokens{"e4", "e5"}));
}

TEST(PgnReaderMoveText, NumericAnnotationGlyphs) {
    EXPECT_EQ(readLine("1. e4 $1 1... e5 *\n", 2), (Tokens{"e4", "e5"}));
    EXPECT_EQ(readLine("1. e4 $1 $14 1... e5 $2 2. Nf3 *\n", 3), (Tokens{"e4", "e5", "Nf3"}));
    EXPECT_EQ(readLine("1. e4 $1 e5 2. Nf3 *\n", 3), (Tokens{"e4", "e5", "Nf3"}));
    EXPECT_EQ(readLine("1. e4$1 e5$2 2. Nf3 $3\n2... Nc6 *\n", 4), (Tokens{"e4", "e5", "Nf3", "Nc6"}));
    EXPECT_EQ(readLine("1. e4 $1 {c} (1. d4) 1... e5 *\n", 2), (Tokens{"e4", "e5"}));
}

std::string shuffleMove(size_t ply) {
    const bool out = (ply / 2) % 2 == 0;
    return ply % 2 == 0 ? (out ? "Nf3" : "Ng1") : (out ? "Nf6" : "Ng8");
}

TEST(PgnReaderLines, LongLinesKeepTheirTokensWhole) {
    // One line of move text far longer than a read, every token placed across
    // or against the end of a read piece.
    constexpr size_t kPiece = kPgnLineSize - 1;
    std::string line;
    for (size_t ply = 0; ply < 30; ++ply) {
        const std::string token = (ply % 2 == 0 ? std::to_string(ply / 2 + 1) + "." : "") + shuffleMove(ply);
        const size_t tokenStart = (ply + 1) * kPiece - 1 - ply % 3;
        line += std::string(tokenStart - line.size(), ' ') + token;
    }
    std::vector<ReadGame> games = readText("[Result \"1-0\"]\n" + line + " 1-0\n", 30);
    ASSERT_EQ(games.size(), 1u);
    ASSERT_EQ(games[0].moves.size(), 30u);
    for (size_t ply = 0; ply < 30; ++ply) EXPECT_EQ(games[0].moves[ply], shuffleMove(ply)) << ply;
    EXPECT_EQ(games[0].whiteWins, 1u);
}

TEST(PgnReaderLines, ContinuedLinesAreNotLineStarts) {
    // In a skipped game, a '[' that only begins a later piece of a long line
    // is not a tag line.
    std::string text = "[Result \"1-0\"]\n1. e4 e5 2. Nf3 " + std::string(4095 - 16, ' ') +
                       "[Event \"x\"] 1. c4 c5 1-0\n[Result \"0-1\"]\n1. d4 d5 0-1\n";
    std::vector<ReadGame> games = readText(text, 2);
    ASSERT_EQ(games.size(), 2u);
    EXPECT_EQ(games[1].moves, (Tokens{"d4", "d5"}));
    EXPECT_EQ(games[1].whiteWins, 0u);
    EXPECT_EQ(games[1].blackWins, 1u);
}

TEST(PgnReaderLines, LineEndsAndEndOfFile) {
    // A line whose first byte is NUL is skipped whole.
    std::string text = "1. e4\n";
    text += std::string(1, '\0') + " d5 Nf3\n";
    text += "e5 *\n";
    EXPECT_EQ(readLine(text, 2), (Tokens{"e4", "e5"}));
    // The last token counts even without a final line feed.
    EXPECT_EQ(readLine("1. e4 e5 2. Nf3", 3), (Tokens{"e4", "e5", "Nf3"}));
    // A game still being read at the end is not handed over.
    EXPECT_TRUE(readText("1. e4 e5 2. Nf3\n", 4).empty());
    EXPECT_TRUE(readText("", 1).empty());
}

TEST(PgnReaderFiles, MissingFileIsReported) {
    std::vector<ReadGame> games;
    EXPECT_EQ(readPgnGames("/nonexistent/dir/none.pgn", 4, collectGame, &games), 0);
    EXPECT_TRUE(games.empty());
}

class PgnReaderDataTest : public ::testing::Test {
   protected:
    static void SetUpTestSuite() { initAttackTables(); }
    const std::string path = std::string(TARVOK_TEST_DATA_DIR) + "/games.pgn";
};

TEST_F(PgnReaderDataTest, CountsGamesAndResults) {
    struct Expected {
        int maxPlies;
        size_t games;
        uint32_t whiteWins, blackWins, draws;
    };
    // Main-line lengths range from 23 to 208 plies.
    for (const Expected expected : {Expected{10, 40, 14, 14, 12}, Expected{32, 39, 14, 14, 11}}) {
        std::vector<ReadGame> games;
        auto collect = [&games](const PgnGame& game) { collectGame(&games, game); };
        ASSERT_EQ(readPgnGames(path.c_str(), expected.maxPlies, collect), 1);
        ASSERT_EQ(games.size(), expected.games);
        uint32_t whiteWins = 0, blackWins = 0, draws = 0;
        for (const ReadGame& game : games) {
            EXPECT_EQ(game.moves.size(), static_cast<size_t>(expected.maxPlies));
            EXPECT_EQ(game.whiteWins + game.blackWins + game.draws, 1u);
            whiteWins += game.whiteWins;
            blackWins += game.blackWins;
            draws += game.draws;
        }
        EXPECT_EQ(whiteWins, expected.whiteWins);
        EXPECT_EQ(blackWins, expected.blackWins);
        EXPECT_EQ(draws, expected.draws);
        EXPECT_EQ(games[0].moves[0], "e4");
        EXPECT_EQ(games[0].moves[8], "Nxe4");
        EXPECT_EQ(games[0].moves[9], "dxe4");
    }
}

TEST_F(PgnReaderDataTest, EveryMoveReadReplaysLegally) {
    std::vector<ReadGame> games;
    auto collect = [&games](const PgnGame& game) { collectGame(&games, game); };
    ASSERT_EQ(readPgnGames(path.c_str(), kPgnMaxPlies, collect), 1);
    ASSERT_EQ(games.size(), 39u);
    Board board;
    MoveList scratch;
    int castles = 0, captures = 0;
    for (const ReadGame& game : games) {
        board.setStartArray();
        for (const std::string& token : game.moves) {
            scratch.count =
                static_cast<uint32_t>(generateAll(board, scratch, 0, isInCheck(board, static_cast<int>(board.side))));
            Move move = NO_MOVE;
            ASSERT_EQ(parseSan(board, scratch, token.c_str(), move), 1) << token;
            ASSERT_EQ(board.makeMove(move), 1) << token;
            castles += isCastle(move);
            captures += moveCaptured(move) != NO_PIECE;
        }
    }
    EXPECT_GT(castles, 0);
    EXPECT_GT(captures, 0);
}

}  // namespace
}  // namespace tarvok
