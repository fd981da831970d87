// SPDX-License-Identifier: GPL-3.0-or-later
// Shared fixture of the evaluation tests: attack tables once per suite, one
// board, and helpers that load a FEN and evaluate it with its terms.
#pragma once

#include <gtest/gtest.h>

#include "board/bitboard.h"
#include "board/board.h"
#include "eval/evaluate.h"

namespace tarvok::test {

class EvalFixture : public ::testing::Test {
   protected:
    static void SetUpTestSuite() { initAttackTables(); }

    // Loads fen (a failed load fails the test) and evaluates it in full.
    EvalTerms termsOf(const char* fen) {
        EvalTerms terms{};
        score = 0;
        if (!board.setFromFen(fen)) {
            ADD_FAILURE() << "FEN rejected: " << fen;
            return terms;
        }
        score = evaluateWithTerms(board, -32000, 32000, 0, terms);
        return terms;
    }

    int fullScore(const char* fen) {
        termsOf(fen);
        return score;
    }

    Board board{};
    int score = 0;  // score of the last termsOf call
};

}  // namespace tarvok::test
