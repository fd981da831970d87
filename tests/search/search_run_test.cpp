// SPDX-License-Identifier: GPL-3.0-or-later
// Whole searches of tests/data/search/searches.txt, legality of every line in
// self-played games, and identical results for identical searches.
#include <fcntl.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <regex>
#include <sstream>
#include <tuple>

#include "frontend/input_reader.h"
#include "search/recording_engine.h"

namespace tarvok::test {
namespace {

void checkSearch(const std::vector<std::string>& f) {
    auto engine = makeRecordingEngine(f[0].c_str());
    RecordingEngine& e = *engine;
    std::istringstream movesText(f[1]);
    const std::vector<std::string> moves{std::istream_iterator<std::string>(movesText), {}};
    std::vector<HashKey> keys = {e.board.hashKey};
    for (const std::string& move : moves) {
        ASSERT_EQ(e.playMoveText(move.c_str()), 1) << move;
        keys.push_back(e.board.hashKey);
    }
    e.ponderEnabled = 1;
    const bool ponder = applySetup(e, f[2]);
    const std::string fen = fenOf(e.board);
    const Move firstLegal = e.firstLegalMove();
    e.trace.clear();
    e.startSearch(ponder);

    std::string trace = e.trace;
    if (f[3].find('Q') == std::string::npos) trace.erase(std::remove(trace.begin(), trace.end(), 'Q'), trace.end());
    EXPECT_TRUE(std::regex_match(trace, std::regex(f[3]))) << trace;
    EXPECT_EQ(std::make_pair(e.searching, e.pondering), std::make_pair(0, 0));
    for (size_t i = 0; i < e.iterations.size(); ++i) {
        EXPECT_TRUE(lineIsLegal(fen, e.iterations[i].pv)) << "iteration " << i + 1;
    }
    const Iteration last = e.iterations.empty() ? Iteration{} : e.iterations.back();
    const std::string played = coordinateText(e.playedMove);
    if (f[4].find("none") != std::string::npos) {
        EXPECT_EQ(e.playedMove, NO_MOVE);
        ASSERT_EQ(e.game.gameLength, moves.size() - (ponder ? 1 : 0));
        EXPECT_EQ(e.board.hashKey, keys[e.game.gameLength]);
    } else {
        ASSERT_NE(e.playedMove, NO_MOVE);
        EXPECT_EQ(e.lastMove, e.playedMove);
        EXPECT_EQ(e.game.gameLength, moves.size() + 1);
        const auto line = e.ponderMove == NO_MOVE ? std::vector{e.playedMove} : std::vector{e.playedMove, e.ponderMove};
        EXPECT_TRUE(lineIsLegal(fen, line)) << played << " " << coordinateText(e.ponderMove);
    }
    std::istringstream expect(f[4]);
    for (std::string word, arg; expect >> word;) {
        if (word == "last") {
            ASSERT_FALSE(last.pv.empty());
            EXPECT_EQ(e.playedMove, last.pv[0]);
            EXPECT_EQ(e.ponderMove, last.pv.size() >= 2 ? last.pv[1] : NO_MOVE);
        } else if (word == "notfirst") {
            EXPECT_NE(e.playedMove, firstLegal);
        } else if (word == "none" || word == "legal") {
        } else if (!(expect >> arg)) {
            ADD_FAILURE() << "no value after " << word;
        } else {
            const int n = static_cast<int>(std::strtol(arg.c_str(), nullptr, 10));
            if (word == "move") EXPECT_NE(("," + arg + ",").find("," + played + ","), std::string::npos) << played;
            else if (word == "avoid") EXPECT_NE(played, arg);
            else if (word == "nodes") EXPECT_EQ(nodeCount, static_cast<uint64_t>(n));
            else if (word == "score") EXPECT_EQ(last.score, n);
            else if (word == "above") EXPECT_GT(last.score, n);
            else if (word == "mate") {
                EXPECT_EQ(last.score, 32000 - (2 * n - 1));
                EXPECT_EQ(SearchEngine::mateDistance(last.score), n);
                EXPECT_EQ(e.isCheckmate(), n == 1);
            } else ADD_FAILURE() << "unknown expectation " << word;
        }
    }
}

TEST(SearchRuns, LimitsStopsAndWhatTheSearchFinds) {
    // Standard input at its end is always readable: a waiting search polls at once.
    const int devNull = open("/dev/null", O_RDONLY);
    ASSERT_GE(devNull, 0);
    ASSERT_EQ(dup2(devNull, 0), 0);
    close(devNull);
    standardInput().reset(0);
    for (const DataRow& row : dataRows("searches.txt", 5)) {
        SCOPED_TRACE(row.line);
        checkSearch(row.field);
    }
}

// Fault guarded: lines copied from nodes that returned early carried stale
// moves of other branches. In games of the engine against itself, with the
// hash table warm from earlier moves and repetitions ahead, every iteration's
// line and the move played with its predicted reply are legal in turn.
TEST(SearchRuns, EveryLineAndPonderMoveIsLegalFromTheSearchedPosition) {
    for (const char* start : {"8/3B4/2R1n3/5kp1/4r3/5K1P/8/8 b - - 6 60",
                              "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
                              "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1"}) {
        auto engine = makeRecordingEngine(start);
        for (int ply = 0; ply < 12 && engine->countLegalMoves() > 0; ++ply) {
            const std::string fen = fenOf(engine->board);
            engine->iterations.clear();
            engine->setLimit(LIMIT_DEPTH, 7);
            engine->startSearch(false);
            for (const Iteration& iteration : engine->iterations) EXPECT_TRUE(lineIsLegal(fen, iteration.pv)) << fen;
            const Move played = engine->playedMove, reply = engine->ponderMove;
            ASSERT_TRUE(lineIsLegal(fen, reply == NO_MOVE ? std::vector{played} : std::vector{played, reply})) << fen;
        }
    }
}

// A new game leaves nothing of the previous search behind: the same search
// visits the same nodes and finds the same line.
TEST(SearchRuns, SameSearchGivesSameNodesLineAndScore) {
    auto engine = makeRecordingEngine(nullptr);
    std::vector<std::tuple<uint64_t, std::vector<Move>, int>> results;
    for (int run = 0; run < 2; ++run) {
        engine->setStartPosition();
        ASSERT_EQ(engine->setFromFen("r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4"), 1);
        engine->setLimit(LIMIT_DEPTH, 5);
        engine->startSearch(false);
        ASSERT_FALSE(engine->iterations.empty());
        results.emplace_back(nodeCount, engine->iterations.back().pv, engine->iterations.back().score);
    }
    EXPECT_EQ(results[1], results[0]);
}

}  // namespace
}  // namespace tarvok::test
