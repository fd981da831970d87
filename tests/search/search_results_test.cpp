// SPDX-License-Identifier: GPL-3.0-or-later
// What the search finds: draws by the fifty-move rule and by one repetition,
// checkmate and stalemate at the root and below it, forced mates of the right
// distance, and identical results for identical searches.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "search/recording_engine.h"
#include "test_support/engine_session.h"

namespace tarvok::test {
namespace {

HookCall lastIteration(const RecordingEngine& engine) {
    const auto iterations = engine.iterations();
    return iterations.empty() ? HookCall{} : iterations.back();
}

HookCall searchToDepth(RecordingEngine& engine, int depth) {
    engine.setLimit(LIMIT_DEPTH, depth);
    engine.startSearch(false);
    return lastIteration(engine);
}

TEST(SearchDraws, FiftyMoveClockDrawsEveryNodeWhateverTheMaterial) {
    auto engine = makeRecordingEngine("4k3/8/8/8/8/8/8/QQ2K3 w - - 100 80");
    engine->setLimit(LIMIT_DEPTH, 1);
    prepareNode(*engine, NODE_PV);
    nodeCount = 0;
    EXPECT_EQ(engine->alphaBeta(12, -kInfiniteWindow, kInfiniteWindow, 1, 1), 0);
    EXPECT_EQ(nodeCount, 1u);
}

TEST(SearchDraws, FiftyMoveRuleInsideTheSearch) {
    // Two queens up, but every reply leaves the clock at 100: no capture or
    // pawn move is available.
    auto drawn = makeRecordingEngine("4k3/8/8/8/8/8/8/QQ2K3 w - - 99 80");
    EXPECT_EQ(searchToDepth(*drawn, 3).score, 0);
    auto fresh = makeRecordingEngine("4k3/8/8/8/8/8/8/QQ2K3 w - - 0 80");
    EXPECT_GT(searchToDepth(*fresh, 3).score, 1500);
}

TEST(SearchDraws, SingleRepetitionDrawsAtTheNode) {
    // White is a queen up; the knights go out and back once.
    auto engine = makeRecordingEngine("1n2k3/8/8/8/8/8/8/1N1QK3 w - - 0 1");
    for (const char* move : {"b1c3", "b8c6", "c3b1", "c6b8"}) ASSERT_EQ(engine->playMoveText(move), 1) << move;
    engine->setLimit(LIMIT_DEPTH, 1);
    prepareNode(*engine, NODE_CUT);
    nodeCount = 0;
    EXPECT_EQ(engine->alphaBeta(12, -kInfiniteWindow, kInfiniteWindow, 1, 1), 0);
    EXPECT_EQ(nodeCount, 1u);
}

TEST(SearchDraws, LosingSideSeeksTheRepetition) {
    // Black, a queen down, can repeat the position with Nb8.
    auto engine = makeRecordingEngine("1n2k3/8/8/8/8/8/8/1N1QK3 w - - 0 1");
    for (const char* move : {"b1c3", "b8c6", "c3b1"}) ASSERT_EQ(engine->playMoveText(move), 1) << move;
    const HookCall result = searchToDepth(*engine, 3);
    EXPECT_EQ(result.score, 0);
    EXPECT_EQ(coordinates(result.pv[0]), "c6b8");
}

TEST(SearchDraws, CheckmateAndStalemateBelowTheRoot) {
    auto mated = makeRecordingEngine("6k1/8/8/8/8/8/5PPP/r5K1 w - - 0 1");
    mated->setLimit(LIMIT_DEPTH, 1);
    prepareNode(*mated, NODE_CUT);
    EXPECT_EQ(mated->alphaBeta(4, -kInfiniteWindow, kInfiniteWindow, 1, 3), 3 - 32000);
    EXPECT_EQ(mated->pvTable[3].length, 0u);

    auto stalemated = makeRecordingEngine("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    stalemated->setLimit(LIMIT_DEPTH, 1);
    prepareNode(*stalemated, NODE_PV);
    EXPECT_EQ(stalemated->alphaBeta(8, -kInfiniteWindow, kInfiniteWindow, 1, 2), 0);
}

TEST(SearchDraws, SearchAvoidsStalematingTheOpponent) {
    // Qf7 stalemates; every other sensible move keeps the win.
    auto engine = makeRecordingEngine("7k/8/6K1/8/8/8/5Q2/8 w - - 0 1");
    const HookCall result = searchToDepth(*engine, 4);
    EXPECT_NE(coordinates(result.pv[0]), "f2f7");
    EXPECT_GT(result.score, 500);
}

struct EmptyRootCase {
    const char* fen;
    int score;
};

TEST(SearchDraws, MatedOrStalematedRootInClockMode) {
    for (const EmptyRootCase& c : {EmptyRootCase{"6k1/8/8/8/8/8/5PPP/r5K1 w - - 0 1", -32000},
                                   EmptyRootCase{"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", 0}}) {
        auto engine = makeRecordingEngine(c.fen);
        engine->setLimit(LIMIT_CLOCK, 0);
        engine->startSearch(false);
        const std::vector<Hook> expected = {Hook::SearchBegin,   Hook::SearchPrepared, Hook::IterationDone,
                                            Hook::IterationDone, Hook::SearchEnd,      Hook::GameMoveDone};
        EXPECT_EQ(engine->hookSequence(), expected) << c.fen;
        for (const HookCall& call : engine->iterations()) {
            EXPECT_EQ(call.value, 1);
            EXPECT_TRUE(call.pv.empty());
            EXPECT_EQ(call.score, c.score) << c.fen;  // the row carries the root's score
        }
        EXPECT_EQ(engine->rootResult, 2);
        EXPECT_EQ(engine->game.gameLength, 0u);
        EXPECT_EQ(engine->lastMove, NO_MOVE);
    }
}

struct MateCase {
    const char* fen;
    int moves;  // mate in this many moves
    int depth;  // iterations searched
    std::vector<std::string> matingMoves;
};

class SearchMates : public ::testing::TestWithParam<MateCase> {};

TEST_P(SearchMates, ReportsTheMateDistanceAndAMatingMove) {
    const MateCase& c = GetParam();
    auto engine = makeRecordingEngine(c.fen);
    const HookCall result = searchToDepth(*engine, c.depth);
    EXPECT_EQ(result.score, 32000 - (2 * c.moves - 1));
    EXPECT_EQ(SearchEngine::mateDistance(result.score), c.moves);
    ASSERT_FALSE(result.pv.empty());
    const std::string first = coordinates(result.pv[0]);
    EXPECT_NE(std::find(c.matingMoves.begin(), c.matingMoves.end(), first), c.matingMoves.end()) << first;
    EXPECT_EQ(engine->lastMove, result.pv[0]);
    if (c.moves == 1) {
        EXPECT_TRUE(engine->isCheckmate());
    }
}

INSTANTIATE_TEST_SUITE_P(
    SearchPositions, SearchMates,
    ::testing::Values(MateCase{"6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", 1, 2, {"a1a8"}},
                      MateCase{"k7/8/1K6/8/8/8/8/7Q w - - 0 1", 1, 2, {"h1b7", "h1h8"}},
                      MateCase{"r5k1/8/8/8/8/8/5PPP/6K1 b - - 0 1", 1, 2, {"a8a1"}},
                      MateCase{"2r3k1/5ppp/8/8/8/8/5PPP/2RR2K1 w - - 0 1", 1, 3, {"c1c8"}},
                      MateCase{"k7/8/2K5/8/8/8/8/1R6 w - - 0 1", 2, 5, {"c6c7"}},
                      MateCase{"6k1/1R6/8/8/8/8/8/K5R1 w - - 0 1", 2, 5, {"g1c1", "g1d1", "g1f1", "g1h1"}},
                      MateCase{"6K1/8/6k1/8/8/8/8/5q2 b - - 0 1", 2, 4,
                               {"f1d1", "f1f2", "f1d3", "f1f3", "f1c4", "f1f4", "f1f5", "f1f7", "g6h6"}},
                      MateCase{"4k3/8/8/8/8/8/R7/1R4K1 w - - 0 1", 2, 3, {"b1b7", "a2a7"}},
                      MateCase{"7k/6pp/8/8/8/8/1B6/1Q4K1 w - - 0 1", 3, 5, {"b1e4", "b1f5"}},
                      MateCase{"k7/8/8/8/3K4/8/8/7Q w - - 0 1", 4, 9, {"h1h7", "d4c5"}}));

struct SearchSignature {
    uint64_t nodes;
    std::vector<Move> pv;
    int score;
};

SearchSignature fixedDepthSearch(RecordingEngine& engine, const char* fen) {
    engine.clearHash();
    engine.setStartPosition();
    EXPECT_EQ(engine.setFromFen(fen), 1);
    engine.events.clear();
    const HookCall result = searchToDepth(engine, 5);
    return {nodeCount, result.pv, result.score};
}

// Games of the engine against itself, with the hash table warm from the
// earlier moves and repetitions ahead: every iteration's line, and the move
// played with the predicted reply, must be legal in turn from the searched
// position. Lines copied from nodes that returned early once carried stale
// moves of other branches.
TEST(SearchLines, EveryLineAndPonderMoveIsLegalFromTheSearchedPosition) {
    const char* const starts[] = {
        "8/3B4/2R1n3/5kp1/4r3/5K1P/8/8 b - - 6 60",
        "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    };
    for (const char* start : starts) {
        auto engine = makeRecordingEngine(start);
        for (int ply = 0; ply < 12; ++ply) {
            char fen[kFenBufferSize];
            engine->board.writeFen(fen);
            engine->events.clear();
            engine->setLimit(LIMIT_DEPTH, 7);
            engine->startSearch(false);
            if (engine->playedMove == NO_MOVE) break;
            std::vector<std::vector<std::string>> lines;
            for (const HookCall& iteration : engine->iterations()) {
                lines.emplace_back();
                for (Move move : iteration.pv) lines.back().push_back(coordinates(move));
            }
            lines.push_back({coordinates(engine->playedMove)});
            if (engine->ponderMove != NO_MOVE) lines.back().push_back(coordinates(engine->ponderMove));
            for (const auto& line : lines) {
                std::string why;
                EXPECT_TRUE(movesAreLegal(fen, line, &why)) << fen << ": " << why;
            }
        }
    }
}

TEST(SearchDeterminism, SameSearchGivesSameNodesLineAndScore) {
    const char* fen = "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";
    auto engine = makeRecordingEngine(nullptr);
    const SearchSignature first = fixedDepthSearch(*engine, fen);
    const SearchSignature second = fixedDepthSearch(*engine, fen);
    auto other = makeRecordingEngine(nullptr);
    const SearchSignature third = fixedDepthSearch(*other, fen);
    EXPECT_GT(first.nodes, 1000u);
    ASSERT_FALSE(first.pv.empty());
    for (const SearchSignature* again : {&second, &third}) {
        EXPECT_EQ(again->nodes, first.nodes);
        EXPECT_EQ(again->pv, first.pv);
        EXPECT_EQ(again->score, first.score);
    }
}

}  // namespace
}  // namespace tarvok::test
