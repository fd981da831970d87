// SPDX-License-Identifier: GPL-3.0-or-later
// Attack tables: leaper tables, line types, and the magic slider lookups
// checked against an independent ray walk.
#include "board/bitboard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "board/board_test_helpers.h"

namespace tarvok::test {
namespace {

class AttackTables : public BoardTest {};

Bitboard walkRays(int square, Bitboard occupancy, const int (*steps)[2]) {
    Bitboard attacks = 0;
    for (int ray = 0; ray < 4; ++ray) {
        int file = fileOf(square) + steps[ray][0], rank = rankOf(square) + steps[ray][1];
        for (; file >= 0 && file < 8 && rank >= 0 && rank < 8; file += steps[ray][0], rank += steps[ray][1]) {
            attacks |= Bitboard{1} << makeSquare(file, rank);
            if (occupancy >> makeSquare(file, rank) & 1) break;
        }
    }
    return attacks;
}

constexpr int kRookSteps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
constexpr int kBishopSteps[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

TEST_F(AttackTables, LeaperTablesAtTheEdges) {
    for (int file = 0; file < 8; ++file) {
        EXPECT_EQ(pawnAttacks[WHITE][makeSquare(file, 7)], 0u);
        EXPECT_EQ(pawnAttacks[BLACK][makeSquare(file, 0)], 0u);
    }
    EXPECT_EQ(pawnAttacks[WHITE][sq("a2")], bit("b3"));
    EXPECT_EQ(pawnAttacks[WHITE][sq("h2")], bit("g3"));
    EXPECT_EQ(pawnAttacks[BLACK][sq("e5")], bit("d4") | bit("f4"));
    EXPECT_EQ(knightAttacks[sq("a1")], bit("b3") | bit("c2"));
    EXPECT_EQ(knightAttacks[sq("h8")], bit("g6") | bit("f7"));
    EXPECT_EQ(popCount(knightAttacks[sq("d4")]), 8);
    EXPECT_EQ(kingAttacks[sq("h8")], bit("g8") | bit("g7") | bit("h7"));
    EXPECT_EQ(popCount(kingAttacks[sq("e4")]), 8);
    for (int s = 0; s < 64; ++s) {
        EXPECT_EQ(squareBit[s], Bitboard{1} << s);
        EXPECT_EQ(squareClear[s], ~(Bitboard{1} << s));
        // Leaper moves are symmetric and never wrap around a side edge.
        for (int t = 0; t < 64; ++t) {
            EXPECT_EQ(knightAttacks[s] >> t & 1, knightAttacks[t] >> s & 1);
            EXPECT_EQ(kingAttacks[s] >> t & 1, kingAttacks[t] >> s & 1);
            if (kingAttacks[s] >> t & 1) {
                EXPECT_LE(std::abs(fileOf(s) - fileOf(t)), 1);
            }
            if (knightAttacks[s] >> t & 1) {
                EXPECT_LE(std::abs(fileOf(s) - fileOf(t)), 2);
            }
            EXPECT_EQ(pawnAttacks[WHITE][s] >> t & 1, pawnAttacks[BLACK][t] >> s & 1);
        }
    }
}

TEST_F(AttackTables, LineTypes) {
    EXPECT_EQ(lineType[sq("a1")][sq("h8")], LINE_DIAGONAL);
    EXPECT_EQ(lineType[sq("h1")][sq("a8")], LINE_ANTIDIAGONAL);
    EXPECT_EQ(lineType[sq("e1")][sq("e8")], LINE_FILE);
    EXPECT_EQ(lineType[sq("a4")][sq("h4")], LINE_RANK);
    EXPECT_EQ(lineType[sq("a1")][sq("b3")], LINE_NONE);
    // h2 and a3 are neighbours in square numbers but not on one rank.
    EXPECT_EQ(lineType[sq("h2")][sq("a3")], LINE_NONE);
    for (int a = 0; a < 64; ++a) {
        EXPECT_EQ(lineType[a][a], LINE_NONE);
        for (int b = 0; b < 64; ++b) EXPECT_EQ(lineType[a][b], lineType[b][a]);
    }
}

TEST_F(AttackTables, SliderEdgeCases) {
    const Bitboard rankAndFile = (0xFFull & ~bit("a1")) | 0x0101010101010100ull;
    EXPECT_EQ(rookAttacks(sq("a1"), 0), rankAndFile);
    EXPECT_EQ(popCount(rookAttacks(sq("a1"), 0)), 14);
    EXPECT_EQ(rookAttacks(sq("a1"), bit("a4")), (0xFFull & ~bit("a1")) | bit("a2") | bit("a3") | bit("a4"));
    // Pieces on the board edge lie outside the mask and change nothing.
    const Bitboard emptyBoard = bishopAttacks(sq("d4"), 0);
    EXPECT_EQ(bishopAttacks(sq("d4"), bit("a1") | bit("a7") | bit("g1") | bit("h8")), emptyBoard);
    EXPECT_TRUE(emptyBoard & bit("a1"));
    EXPECT_TRUE(emptyBoard & bit("h8"));
    // Blockers of either colour are included, and the own square never is.
    EXPECT_EQ(bishopAttacks(sq("d4"), bit("e5") | bit("c3")), bit("e5") | bit("c3") | bit("c5") | bit("b6") |
                                                                     bit("a7") | bit("e3") | bit("f2") | bit("g1"));
    EXPECT_EQ(queenAttacks(sq("d4"), 0), rookAttacks(sq("d4"), 0) | bishopAttacks(sq("d4"), 0));
}

TEST_F(AttackTables, MagicLayoutMatchesIndexBits) {
    const Bitboard corners = bit("a1") | bit("h1") | bit("a8") | bit("h8");
    const Bitboard edges = 0xFF818181818181FFull;
    const Bitboard centre = bit("d4") | bit("e4") | bit("d5") | bit("e5");
    const Bitboard ring = 0x00003C24243C0000ull;
    size_t rookTotal = 0, bishopTotal = 0;
    for (int s = 0; s < 64; ++s) {
        const Bitboard b = Bitboard{1} << s;
        const uint32_t rookBits = (b & corners) ? 12 : (b & edges) ? 11 : 10;
        const uint32_t bishopBits = (b & corners) ? 6 : (b & centre) ? 9 : (b & ring) ? 7 : 5;
        EXPECT_EQ(32 - rookMagics[s].shift, rookBits) << s;
        EXPECT_EQ(32 - bishopMagics[s].shift, bishopBits) << s;
        EXPECT_EQ(popCount(rookMagics[s].mask), static_cast<int>(rookBits));
        EXPECT_EQ(bishopMagics[s].mask & b, 0u);
        // Slices follow each other in square order without overlap.
        if (s > 0) {
            EXPECT_EQ(rookMagics[s].attacks - rookMagics[s - 1].attacks, 1 << (32 - rookMagics[s - 1].shift));
            EXPECT_EQ(bishopMagics[s].attacks - bishopMagics[s - 1].attacks, 1 << (32 - bishopMagics[s - 1].shift));
        }
        rookTotal += size_t{1} << rookBits;
        bishopTotal += size_t{1} << bishopBits;
    }
    EXPECT_EQ(rookTotal, static_cast<size_t>(kRookStoreSize));
    EXPECT_EQ(bishopTotal, static_cast<size_t>(kBishopStoreSize));
    EXPECT_EQ(rookMagics[sq("a1")].mask, 0x000101010101017Eull);
    EXPECT_EQ(rookMagics[sq("d4")].mask, 0x0008080876080800ull);
    EXPECT_EQ(bishopMagics[sq("a1")].mask, 0x0040201008040200ull);
    EXPECT_EQ(rookMagics[sq("a1")].multiplierLow, 0x00402040u);
    EXPECT_EQ(rookMagics[sq("a1")].multiplierHigh, 0x8090C004u);
    EXPECT_EQ(rookMagics[sq("d4")].multiplierLow, 0x20402101u);
    EXPECT_EQ(rookMagics[sq("d4")].multiplierHigh, 0x0310800Cu);
    EXPECT_EQ(bishopMagics[sq("a1")].multiplierLow, 0x021C2122u);
    EXPECT_EQ(bishopMagics[sq("a1")].multiplierHigh, 0x05050010u);
}

TEST_F(AttackTables, SliderLookupsMatchRayWalkOnRandomOccupancies) {
    std::mt19937_64 random(20240611);
    for (int s = 0; s < 64; ++s) {
        for (int trial = 0; trial < 400; ++trial) {
            // Sparse and dense boards both.
            Bitboard occupancy = random() & random();
            if (trial & 1) occupancy |= random();
            ASSERT_EQ(rookAttacks(s, occupancy), walkRays(s, occupancy, kRookSteps)) << s << " " << occupancy;
            ASSERT_EQ(bishopAttacks(s, occupancy), walkRays(s, occupancy, kBishopSteps)) << s << " " << occupancy;
        }
    }
}

TEST_F(AttackTables, RebuildingGivesTheSameLookups) {
    const Bitboard before = rookAttacks(sq("d4"), bit("d6") | bit("b4"));
    initAttackTables();
    EXPECT_EQ(rookAttacks(sq("d4"), bit("d6") | bit("b4")), before);
}

}  // namespace
}  // namespace tarvok::test

namespace tarvok::test {

// The portable count used where the target has no popcount instruction.
TEST(BitTricks, PopCountMatchesBitByBitCounting) {
    std::mt19937_64 random(99);
    for (int trial = 0; trial < 100000; ++trial) {
        Bitboard b = random();
        if (trial % 4 == 1) b &= random();  // sparse sets
        if (trial % 4 == 2) b |= random();  // dense sets
        if (trial < 65) b = trial == 64 ? ~Bitboard{0} : (Bitboard{1} << trial) - 1;
        int expected = 0;
        for (int square = 0; square < 64; ++square) expected += static_cast<int>((b >> square) & 1);
        ASSERT_EQ(popCount(b), expected) << std::hex << b;
    }
}

}  // namespace tarvok::test
