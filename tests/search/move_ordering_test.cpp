// SPDX-License-Identifier: GPL-3.0-or-later
// The alpha-beta and quiescence scorers, the exchange sort's order among
// equal scores, the killer and history updates, and where the search puts a
// capture that loses material.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <utility>

#include "board/movegen.h"
#include "search/recording_engine.h"

namespace tarvok::test {
namespace {

constexpr int B1 = 1, E1 = 4, H1 = 7, D2 = 11, E2 = 12, A3 = 16, C3 = 18, B4 = 25, C5 = 34, A6 = 40, B7 = 49,
              H7 = 55, G7 = 54, A8 = 56, G8 = 62;

const Move kPawnTakesQueen = makeMoveWord(B4, C5, PAWN, QUEEN);
const Move kQueenTakesPawn = makeMoveWord(H1, H7, QUEEN, PAWN);
const Move kKingTakesPawn = makeMoveWord(E1, E2, KING, PAWN);
const Move kQueenPromotion = makeMoveWord(G7, G8, PAWN, NO_PIECE, QUEEN);
const Move kKnightPromotion = makeMoveWord(G7, G8, PAWN, NO_PIECE, KNIGHT);
const Move kRookTakesKnight = makeMoveWord(0, A6, ROOK, KNIGHT);
const Move kPawnTakesRookToKnight = makeMoveWord(B7, A8, PAWN, ROOK, KNIGHT);
const Move kKnightC3 = makeMoveWord(B1, C3, KNIGHT);
const Move kKnightA3 = makeMoveWord(B1, A3, KNIGHT);
const Move kKnightD2 = makeMoveWord(B1, D2, KNIGHT);

MoveList listOf(std::initializer_list<Move> moves) {
    MoveList list{};
    for (Move move : moves) list.entries[list.count++].move = move;
    return list;
}

std::map<Move, int> scoresOf(const MoveList& list, int count) {
    std::map<Move, int> scores;
    for (int i = 0; i < count; ++i) scores[list.entries[i].move] = list.entries[i].score;
    return scores;
}

bool sortedHighestFirst(const MoveList& list, int count) {
    for (int i = 1; i < count; ++i)
        if (list.entries[i - 1].score < list.entries[i].score) return false;
    return true;
}

class SearchOrdering : public ::testing::Test {
   protected:
    void SetUp() override {
        engine = makeRecordingEngine("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
        engine->history[WHITE][B1][D2] = 77;
        engine->history[BLACK][B1][A3] = 500;  // the other side's counter is not read
    }
    std::unique_ptr<RecordingEngine> engine;
};

TEST_F(SearchOrdering, AlphaBetaBands) {
    const int ply = 5;
    engine->killers[ply][0] = kKnightA3;
    engine->killers[ply][1] = kKnightC3;  // also the hash move
    MoveList list = listOf({kKnightD2, kKnightA3, kKnightC3, kQueenTakesPawn, kPawnTakesQueen, kKingTakesPawn,
                            kQueenPromotion, kKnightPromotion});
    const int count = static_cast<int>(list.count);
    engine->scoreMoves(list, count, kKnightC3, ply);
    auto scores = scoresOf(list, count);
    EXPECT_EQ(scores[kKnightC3], 100000);
    EXPECT_EQ(scores[kPawnTakesQueen], 50000 + 875);
    EXPECT_EQ(scores[kQueenTakesPawn], 50000 - 875);
    EXPECT_EQ(scores[kKingTakesPawn], 50000 + 100);
    EXPECT_EQ(scores[kQueenPromotion], 50000 + 875);
    EXPECT_EQ(scores[kKnightA3], 45010);
    EXPECT_EQ(scores[kKnightD2], 4000 + 77);
    EXPECT_EQ(scores[kKnightPromotion], 4000);  // ordered as a quiet move
    EXPECT_TRUE(sortedHighestFirst(list, count));
}

TEST_F(SearchOrdering, CaptureKillerScoresAsCaptureAndSecondKillerBelowFirst) {
    const int ply = 2;
    engine->killers[ply][0] = kPawnTakesQueen;
    engine->killers[ply][1] = kKnightA3;
    MoveList list = listOf({kKnightA3, kPawnTakesQueen, kKnightC3});
    engine->scoreMoves(list, 3, NO_MOVE, ply);
    auto scores = scoresOf(list, 3);
    EXPECT_EQ(scores[kPawnTakesQueen], 50875);
    EXPECT_EQ(scores[kKnightA3], 45000);
    EXPECT_EQ(scores[kKnightC3], 4000);
    // Killers of another ply do not count.
    engine->scoreMoves(list, 3, NO_MOVE, ply + 1);
    EXPECT_EQ(scoresOf(list, 3)[kKnightA3], 4000);
}

TEST_F(SearchOrdering, QuiescenceScorer) {
    MoveList list = listOf({kRookTakesKnight, kPawnTakesQueen, kQueenTakesPawn, kKnightPromotion, kKnightC3,
                            kPawnTakesRookToKnight, kQueenPromotion, kKingTakesPawn});
    const int count = static_cast<int>(list.count);
    RecordingEngine::scoreCaptures(list, count);
    auto scores = scoresOf(list, count);
    EXPECT_EQ(scores[kRookTakesKnight], 2000 - 175);
    EXPECT_EQ(scores[kQueenTakesPawn], 2000 - 875);
    EXPECT_EQ(scores[kPawnTakesQueen], 50875);
    EXPECT_EQ(scores[kPawnTakesRookToKnight], 50000 + 500 - 100 + 325);
    EXPECT_EQ(scores[kQueenPromotion], 50875);
    EXPECT_EQ(scores[kKingTakesPawn], 50100);
    EXPECT_EQ(scores[kKnightPromotion], -1);
    EXPECT_EQ(scores[kKnightC3], -1);
    EXPECT_TRUE(sortedHighestFirst(list, count));
}

TEST(SearchOrderingSort, ExchangeSortOrderAmongEqualScores) {
    // Moves 1..7 with scores 5 3 5 7 3 5 7, sorted by hand with the exchange
    // sort; a stable sort would give 4 7 1 3 6 2 5.
    const int scores[] = {5, 3, 5, 7, 3, 5, 7};
    MoveList list{};
    for (int i = 0; i < 7; ++i) list.entries[i] = {static_cast<Move>(i + 1), scores[i]};
    SearchEngine::sortMoves(list, 7);
    const Move order[] = {4, 7, 1, 6, 3, 2, 5};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(list.entries[i].move, order[i]) << "entry " << i;
}

// The exchange sort written out literally, to check the engine's faster one.
void literalExchangeSort(MoveEntry* entries, int count) {
    for (int i = 1; i < count; ++i)
        for (int j = 0; j < i; ++j)
            if (entries[j].score < entries[i].score) std::swap(entries[i], entries[j]);
}

TEST(SearchOrderingSort, SamePermutationAsTheLiteralExchangeSort) {
    std::mt19937 random(12345);
    for (int trial = 0; trial < 20000; ++trial) {
        const int count = static_cast<int>(random() % (kMaxMoves + 1));
        // Narrow score ranges give long runs of ties, wide ones few.
        const uint32_t range = trial % 3 == 0 ? 3 : trial % 3 == 1 ? 40 : 100000;
        MoveList list{};
        MoveEntry expected[kMaxMoves];
        for (int i = 0; i < count; ++i) {
            list.entries[i] = {static_cast<Move>(i + 1), static_cast<int32_t>(random() % range) - 5};
            expected[i] = list.entries[i];
        }
        literalExchangeSort(expected, count);
        SearchEngine::sortMoves(list, count);
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(list.entries[i].move, expected[i].move) << "trial " << trial << " entry " << i;
            ASSERT_EQ(list.entries[i].score, expected[i].score);
        }
    }
}

TEST(SearchOrderingSort, SortsOnlyTheGivenCount) {
    MoveList list{};
    list.entries[0] = {1, 1};
    list.entries[1] = {2, 2};
    list.entries[2] = {3, 99};
    SearchEngine::sortMoves(list, 2);
    EXPECT_EQ(list.entries[0].move, 2u);
    EXPECT_EQ(list.entries[1].move, 1u);
    EXPECT_EQ(list.entries[2].move, 3u);
}

TEST_F(SearchOrdering, KillerSlotsShiftOnlyForANewMove) {
    const int ply = 3;
    engine->updateKillersAndHistory(kKnightC3, 8, ply);
    EXPECT_EQ(engine->killers[ply][0], kKnightC3);
    EXPECT_EQ(engine->killers[ply][1], NO_MOVE);
    engine->updateKillersAndHistory(kKnightA3, 8, ply);
    EXPECT_EQ(engine->killers[ply][0], kKnightA3);
    EXPECT_EQ(engine->killers[ply][1], kKnightC3);
    engine->updateKillersAndHistory(kKnightA3, 8, ply);
    EXPECT_EQ(engine->killers[ply][0], kKnightA3);
    EXPECT_EQ(engine->killers[ply][1], kKnightC3);
    EXPECT_EQ(engine->killers[ply + 1][0], NO_MOVE);
}

TEST_F(SearchOrdering, HistoryGrowsBySquaredPliesUpToTheCeiling) {
    uint32_t& counter = engine->history[WHITE][B1][C3];
    engine->updateKillersAndHistory(kKnightC3, 16, 0);
    EXPECT_EQ(counter, 16u);
    engine->updateKillersAndHistory(kKnightC3, 11, 0);  // 11 / 4 = 2 plies
    EXPECT_EQ(counter, 20u);
    counter = 9999 - 15;  // less than 16 below the ceiling: unchanged
    engine->updateKillersAndHistory(kKnightC3, 16, 0);
    EXPECT_EQ(counter, 9999u - 15);
    counter = 9999 - 16;  // reaching the ceiling exactly is allowed
    engine->updateKillersAndHistory(kKnightC3, 16, 0);
    EXPECT_EQ(counter, 9999u);
    engine->updateKillersAndHistory(kKnightC3, 4, 0);
    EXPECT_EQ(counter, 9999u);
    EXPECT_EQ(engine->history[BLACK][B1][C3], 0u);
}

TEST(SearchOrderingLoop, LosingCaptureIsSearchedAfterAllQuietMoves) {
    // Qxe5 loses the queen for a pawn: its copy goes behind every other move.
    auto engine = makeRecordingEngine("4k3/8/3p4/4p3/8/8/4Q3/4K3 w - - 0 1");
    engine->setLimit(LIMIT_DEPTH, 1);
    const Move losing = findMove(*engine, "e2e5");
    ASSERT_NE(losing, NO_MOVE);
    MoveList generated{};
    const int count = generateAll(engine->board, generated, 0, false);
    prepareNode(*engine, NODE_PV);
    const int ply = 1;
    engine->alphaBeta(4, -kInfiniteWindow, kInfiniteWindow, 1, ply);
    const MoveList& list = engine->moveLists[ply];
    EXPECT_EQ(list.entries[count].move, losing);
    EXPECT_EQ(list.entries[count].score, 50000 - 875 - 48000);
    for (int i = 0; i < count; ++i) {
        if (list.entries[i].move != losing) {
            EXPECT_GE(list.entries[i].score, 4000) << coordinates(list.entries[i].move);
        }
    }
    EXPECT_TRUE(engine->board.isConsistent());
}

}  // namespace
}  // namespace tarvok::test

namespace tarvok::test {
namespace {

TEST(SearchOrderingBounds, PostponedCopiesStayInsideTheMoveList) {
    // Nine queens facing many defended black pieces: dozens of losing captures.
    auto engine = makeRecordingEngine("1bnnnnn1/PPPPPPPP/k1pnpppp/1p3Q1p/n2Q3Q/KQ5b/1p2QnQQ/2QnQ2b w - - 0 1");
    engine->setLimit(LIMIT_DEPTH, 1);
    MoveList generated{};
    int count = generateCaptures(engine->board, generated, 0);
    count += generateQuiets(engine->board, generated, count);
    ASSERT_LE(count, kMaxMoves);
    // Deepest ply whose children are only evaluated, so the next list is unused.
    const int ply = 62;
    MoveList& next = engine->moveLists[ply + 1];
    const MoveEntry canary{0xDEADBEEFu, -123456};
    next.count = 0xC0FFEEu;
    for (MoveEntry& entry : next.entries) entry = canary;
    engine->moveLists[ply].entries[kMaxMoves] = canary;
    prepareNode(*engine, NODE_PV);
    engine->alphaBeta(4, -kInfiniteWindow, kInfiniteWindow, 1, ply);
    const MoveList& list = engine->moveLists[ply];
    int copies = 0;
    for (int i = count; i < kMaxMoves && list.entries[i].score < 2000 && moveCaptured(list.entries[i].move) != 0; ++i)
        ++copies;
    EXPECT_GT(copies, 30);
    EXPECT_EQ(list.entries[kMaxMoves].move, canary.move);
    EXPECT_EQ(next.count, 0xC0FFEEu);
    for (const MoveEntry& entry : next.entries) ASSERT_EQ(entry.move, canary.move);
    EXPECT_TRUE(engine->board.isConsistent());
}

}  // namespace
}  // namespace tarvok::test
