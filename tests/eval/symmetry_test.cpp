// SPDX-License-Identifier: GPL-3.0-or-later
// Colour symmetry over the data files and the edge positions of the other
// evaluation tests: a position and its colour-mirrored twin score the same,
// and outside the insufficient-material exit the side to move only flips the
// sign.
#include <fstream>
#include <string>
#include <vector>

#include "eval_fixture.h"

namespace tarvok::test {
namespace {

class EvalSymmetry : public EvalFixture {
   protected:
    // The first four FEN fields of every line of a data file, with counters.
    static std::vector<std::string> positionsOf(const char* fileName) {
        std::vector<std::string> positions;
        std::ifstream in(std::string(TARVOK_TEST_DATA_DIR) + "/" + fileName);
        std::string line;
        while (std::getline(in, line)) {
            std::string fen;
            int fields = 0;
            for (size_t i = 0; i < line.size() && fields < 4; ++i) {
                const char c = line[i];
                if (c == ';') break;
                if (c == ' ') {
                    if (++fields == 4) break;
                }
                fen += c;
            }
            if (fields >= 3) positions.push_back(fen + " 0 1");
        }
        return positions;
    }

    void checkMirrored(const std::string& fen) {
        SCOPED_TRACE(fen);
        ASSERT_TRUE(board.setFromFen(fen.c_str()));
        const int original = evaluate(board, -32000, 32000, 0);
        char mirrored[kFenBufferSize];
        ASSERT_EQ(mirrorFen(fen.c_str(), mirrored, kFenBufferSize), 1);
        ASSERT_TRUE(board.setFromFen(mirrored)) << mirrored;
        EXPECT_EQ(evaluate(board, -32000, 32000, 0), original) << mirrored;
    }

    // Counts the positions where the side-to-move flip was checked.
    int checkSideFlip(std::string fen) {
        SCOPED_TRACE(fen);
        EvalTerms terms{};
        const size_t sideAt = fen.find(' ') + 1;
        fen[sideAt] = 'w';
        if (!board.setFromFen(fen.c_str())) return 0;
        const int whiteToMove = evaluateWithTerms(board, -32000, 32000, 0, terms);
        if (terms.exit == EVAL_EXIT_INSUFFICIENT) return 0;
        fen[sideAt] = 'b';
        if (!board.setFromFen(fen.c_str())) return 0;
        const int blackToMove = evaluateWithTerms(board, -32000, 32000, 0, terms);
        if (terms.exit == EVAL_EXIT_INSUFFICIENT) return 0;
        EXPECT_EQ(blackToMove, -whiteToMove);
        return 1;
    }

    void checkAll(const std::vector<std::string>& positions, size_t minimum) {
        ASSERT_GE(positions.size(), minimum);
        int flipped = 0;
        for (const std::string& fen : positions) {
            checkMirrored(fen);
            flipped += checkSideFlip(fen);
        }
        EXPECT_GE(flipped, static_cast<int>(positions.size()) / 2);
    }
};

TEST_F(EvalSymmetry, PerftPositions) { checkAll(positionsOf("perft.txt"), 100); }

TEST_F(EvalSymmetry, TestSuitePositions) { checkAll(positionsOf("bk.epd"), 20); }

TEST_F(EvalSymmetry, EdgePositions) {
    // Pawns on the edge ranks, missing kings, many promoted pieces, trapped
    // pieces, shut-in rooks, outposts and the hand-scored positions.
    checkAll({"P3k3/8/8/8/8/8/8/4K2p w - - 0 1",
              "8/8/8/3k4/8/8/4P3/8 w - - 0 1",
              "8/R7/8/8/8/8/p7/4K3 b - - 0 1",
              "QQQQQQQQ/8/8/8/8/8/8/K6k b - - 0 1",
              "rrrrrrrr/qqqqqqqq/8/8/8/8/QQQQQQQQ/RRRRRRRR w - - 0 1",
              "4k3/Np4pN/p6p/8/8/1P4P1/b6n/4K3 w - - 0 1",
              "rk1q3r/8/8/8/8/8/8/R2Q2KR w - - 0 1",
              "4k3/5p2/8/4N3/3P4/8/8/4K3 w - - 0 1",
              "3r2k1/5ppp/2b5/q7/8/2N5/5PPP/3R2K1 w - - 0 1",
              "8/5k2/8/2Pn4/8/8/5B2/6K1 w - - 0 1",
              "r2qk2r/8/8/8/8/6K1/8/R2Q3R w - - 0 1"},
             11);
}

}  // namespace
}  // namespace tarvok::test
