// SPDX-License-Identifier: GPL-3.0-or-later
// Pins the node counts of fixed-depth searches: a change meant only to make
// the search faster must leave every count exactly as it is. A change that
// alters what is searched updates these numbers on purpose, together with the
// benchmark signature printed by bench_search.
#include <gtest/gtest.h>

#include <cstdint>

#include "search/recording_engine.h"

namespace tarvok::test {
namespace {

constexpr uint64_t kPinnedSignature = 345642;

struct SignatureCase {
    const char* fen;
    int depth;
};

constexpr SignatureCase kCases[] = {
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 7},
    {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 5},
    {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 8},
    {"1k1r4/pp1b1R2/3q2pp/4p3/2B5/4Q3/PPP2B2/2K5 b - - 0 1", 6},
    {"r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4", 6},
};

uint64_t searchNodes(const SignatureCase& test) {
    auto engine = makeRecordingEngine(test.fen);
    engine->bookEnabled = 0;
    engine->setLimit(LIMIT_DEPTH, test.depth);
    engine->startSearch(false);
    return nodeCount;
}

TEST(SearchSignature, FixedDepthNodeCountsArePinned) {
    uint64_t total = 0;
    for (const SignatureCase& test : kCases) total += searchNodes(test);
    EXPECT_EQ(total, kPinnedSignature);
}

}  // namespace
}  // namespace tarvok::test
