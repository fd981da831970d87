// SPDX-License-Identifier: GPL-3.0-or-later
// The evaluation: positions scored by hand term by term (eval.txt), colour
// symmetry over every position the tests know, and the lazy exit.
#include "eval/evaluate.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "board/board_test_helpers.h"
#include "board/movegen.h"
#include "eval/eval_weights.h"
#include "eval/pawn_cache.h"
#include "test_support/data_files.h"

namespace tarvok::test {
namespace {

class Evaluation : public BoardTest {
   protected:
    int full(const std::string& fen, EvalTerms& terms) {
        EXPECT_TRUE(board->setFromFen(fen.c_str())) << fen;
        return evaluateWithTerms(*board, -32000, 32000, 0, terms);
    }
    std::unique_ptr<Board> board = std::make_unique<Board>();
};

TEST_F(Evaluation, HandScoredPositions) {
    for (const auto& row : boardTable("eval.txt")) {
        EvalTerms t{};
        const int score = full(row[0], t);
        const std::map<std::string, const int*> perColour = {
            {"material", t.material}, {"blend", t.blend}, {"patterns", t.patterns}, {"pawns", t.pawnStructure},
            {"mobility", t.mobility}, {"safe", t.safeMobility}, {"tropism", t.tropism},
            {"placement", t.placement}, {"king", t.kingSafety}};
        const auto valueOf = [&](const std::string& name) {
            if (name == "score") return score;
            if (name == "draw") return t.exit == EVAL_EXIT_INSUFFICIENT ? 1 : 0;
            if (name == "stage") return static_cast<int>(board->stage);
            return perColour.at(name.substr(0, name.size() - 1))[name.back() == 'W' ? WHITE : BLACK];
        };
        expectValues(row.at(1), valueOf, row[0]);
    }
}

// A position and its colour-mirrored twin score the same, and outside the
// insufficient-material exit the side to move only flips the sign.
TEST_F(Evaluation, ColourSymmetry) {
    std::vector<std::string> fens;
    for (const auto& row : boardTable("eval.txt")) fens.push_back(row[0]);
    for (const PerftCase& perftCase : readPerftCases()) fens.push_back(perftCase.fen);
    for (const std::string& line : readDataLines("bk.epd")) fens.push_back(line.substr(0, line.find(" bm")));
    int flipped = 0;
    for (std::string fen : fens) {
        SCOPED_TRACE(fen);
        EvalTerms terms{}, other{};
        const int original = full(fen, terms);
        char mirrored[kFenBufferSize];
        ASSERT_EQ(mirrorFen(fen.c_str(), mirrored, kFenBufferSize), 1);
        EXPECT_EQ(full(mirrored, other), original) << mirrored;
        fen[fen.find(' ') + 1] ^= 'w' ^ 'b';
        const int flip = full(fen, other);
        if (terms.exit == EVAL_EXIT_INSUFFICIENT || other.exit == EVAL_EXIT_INSUFFICIENT) continue;
        EXPECT_EQ(flip, -original);
        ++flipped;
    }
    EXPECT_GT(flipped, 200);
}

// After 1. e4 without the Black queen. White: material 4125, middle game -80, endgame -80, blend -80;
// Black: material 3150, middle game -92, endgame -78, weight 48: (-92*48 - 78*80) / 128 = -83.
// Material and blend: 975 + 3 = 978, from White's side. The lazy exit returns it when it lies more than the
// margin outside the window (strictly), and only when asked with lazy 1.
TEST_F(Evaluation, LazyExitReturnsTheBaseScoreOutsideTheWidenedWindow) {
    constexpr int kBase = 978, kFull = -32000, kHigh = 32000;
    const struct {
        char side;
        int alpha, beta, lazy;
        bool exits;
    } cases[] = {{'w', -50, 50, 1, true},   {'w', -50, 50, 0, false}, {'w', -50, 50, 2, false},
                 {'w', -50, 50, -1, false}, {'w', kFull, kBase - kLazyMargin, 1, false},
                 {'w', kFull, kBase - kLazyMargin - 1, 1, true}, {'b', -kBase + kLazyMargin, kHigh, 1, false},
                 {'b', -kBase + kLazyMargin + 1, kHigh, 1, true}, {'b', -1000, -900, 1, false}};
    for (const auto& c : cases) {
        const std::string fen = std::string("rnb1kbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR ") + c.side + " KQkq - 0 1";
        const std::string name = fen + " window " + std::to_string(c.alpha) + ".." + std::to_string(c.beta);
        EvalTerms t{};
        const int fullScore = full(fen, t);
        const int score = evaluateWithTerms(*board, c.alpha, c.beta, c.lazy, t);
        EXPECT_EQ(t.exit, c.exits ? EVAL_EXIT_LAZY : EVAL_EXIT_FULL) << name << " lazy " << c.lazy;
        EXPECT_EQ(score, c.exits ? (c.side == 'w' ? kBase : -kBase) : fullScore) << name;
        EXPECT_EQ(evaluate(*board, c.alpha, c.beta, c.lazy), score) << name;
        // Nothing after the exit was computed.
        EXPECT_TRUE(!c.exits || t.mobility[WHITE] == 0) << name;
    }
}

// evaluate takes what it can from its caches; evaluateWithTerms computes every
// term afresh. They agree on every hand-scored position and along random games
// from the perft positions, walked forward and then taken back, so entries are
// met again and positions sharing one colour's pawns or most of their pieces
// follow one another. Full and lazy calls, with windows around the score.
TEST_F(Evaluation, CachedEvaluationAgreesWithTheFreshOne) {
    std::mt19937 random(25);
    int compared = 0;
    const auto compare = [&](const std::string& context) {
        EvalTerms terms{};
        const int fresh = evaluateWithTerms(*board, -32000, 32000, 0, terms);
        ASSERT_EQ(evaluate(*board, -32000, 32000, 0), fresh) << context;
        for (const int offset : {-400, -250, 0, 250, 400}) {
            const int alpha = fresh + offset - 50, beta = fresh + offset + 50;
            ASSERT_EQ(evaluate(*board, alpha, beta, 1), evaluateWithTerms(*board, alpha, beta, 1, terms)) << context;
        }
        ++compared;
    };
    for (const auto& row : boardTable("eval.txt")) {
        ASSERT_TRUE(board->setFromFen(row[0].c_str()));
        compare(row[0]);
    }
    for (const PerftCase& perftCase : readPerftCases()) {
        ASSERT_TRUE(board->setFromFen(perftCase.fen.c_str()));
        std::vector<Move> played;
        MoveList list;
        while (played.size() < 120) {
            compare(perftCase.fen + " after " + std::to_string(played.size()));
            const int count = generateAll(*board, list, 0, isInCheck(*board, static_cast<int>(board->side)));
            int tries = 0;
            Move move = NO_MOVE;
            for (; tries < count; ++tries) {
                move = list.entries[random() % count].move;
                if (board->makeMove(move)) break;
                board->unmakeMove(move);
            }
            if (tries == count) break;
            played.push_back(move);
        }
        for (; !played.empty(); played.pop_back()) {
            board->unmakeMove(played.back());
            compare(perftCase.fen + " back at " + std::to_string(played.size() - 1));
        }
    }
    EXPECT_GT(compared, 2000);
}

// The pawn cache gives what building the summary gives, on hits and when
// structures that share one colour's pawns compete for its slots (three
// times as many as it has), looked up twice over.
TEST(PawnCache, GivesTheBuiltSummaryOnHitsAndReplacements) {
    const auto same = [](const PawnSummary& a, const PawnSummary& b) {
        return std::memcmp(a.whiteFront, b.whiteFront, sizeof a.whiteFront) == 0 &&
               std::memcmp(a.blackFront, b.blackFront, sizeof a.blackFront) == 0 &&
               std::memcmp(a.structure, b.structure, sizeof a.structure) == 0 &&
               std::memcmp(a.pawnSet, b.pawnSet, sizeof a.pawnSet) == 0 &&
               std::memcmp(a.passed, b.passed, sizeof a.passed) == 0 &&
               std::memcmp(a.neighbourFronts, b.neighbourFronts, sizeof a.neighbourFronts) == 0;
    };
    auto cache = std::make_unique<PawnCache>();
    constexpr Bitboard kMiddleRanks = 0x00FFFFFFFFFFFF00ULL;
    for (int pass = 0; pass < 2; ++pass) {
        std::mt19937_64 random(11);
        for (int i = 0; i < 3 << PawnCache::kIndexBits; ++i) {
            const Bitboard varied = random() & random() & random() & kMiddleRanks;
            for (const bool whiteFixed : {true, false}) {
                const Bitboard white = whiteFixed ? 0x000000000000FF00ULL : varied;
                const Bitboard black = whiteFixed ? varied : 0x00FF000000000000ULL;
                PawnSummary built;
                buildPawnSummary(white, black, built);
                ASSERT_TRUE(same(cache->summary(white, black), built)) << pass << ' ' << i << ' ' << whiteFixed;
            }
        }
    }
}

}  // namespace
}  // namespace tarvok::test
