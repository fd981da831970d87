// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_support/board_compare.h"

#include <string>
#include <type_traits>

namespace tarvok::test {

namespace {

// Compares a value or the first count elements of an array, flattened; on
// the first difference sets the failure and returns true.
template <typename T>
bool differs(::testing::AssertionResult& result, const char* field, const T& expected, const T& actual,
             size_t count = sizeof(T) / sizeof(std::remove_all_extents_t<T>)) {
    using Element = std::remove_all_extents_t<T>;
    const auto* e = reinterpret_cast<const Element*>(&expected);
    const auto* a = reinterpret_cast<const Element*>(&actual);
    for (size_t i = 0; i < count; ++i) {
        if (e[i] == a[i]) continue;
        result = ::testing::AssertionFailure() << field << (count > 1 ? "[" + std::to_string(i) + "]" : "")
                                               << " differs: expected " << +e[i] << ", got " << +a[i];
        return true;
    }
    return false;
}

#define TARVOK_DIFFERS(x, y, field) differs(result, #field, x.field, y.field)

}  // namespace

::testing::AssertionResult sameBoard(const Board& e, const Board& a) {
    auto result = ::testing::AssertionSuccess();
    if (TARVOK_DIFFERS(e, a, occupied) || TARVOK_DIFFERS(e, a, colourOccupied) || TARVOK_DIFFERS(e, a, pieces) ||
        TARVOK_DIFFERS(e, a, material) || TARVOK_DIFFERS(e, a, phaseCount) || TARVOK_DIFFERS(e, a, middleGameSum) ||
        TARVOK_DIFFERS(e, a, endgameSum) || TARVOK_DIFFERS(e, a, pieceCount) || TARVOK_DIFFERS(e, a, kingSquare) ||
        TARVOK_DIFFERS(e, a, hashKey) || TARVOK_DIFFERS(e, a, side) || TARVOK_DIFFERS(e, a, xside) ||
        TARVOK_DIFFERS(e, a, stage) || TARVOK_DIFFERS(e, a, castleRights) || TARVOK_DIFFERS(e, a, epFile) ||
        TARVOK_DIFFERS(e, a, halfmoveClock) || TARVOK_DIFFERS(e, a, mailbox) || TARVOK_DIFFERS(e, a, plyCount) ||
        TARVOK_DIFFERS(e, a, keyHistoryCount) ||
        differs(result, "keyHistory", e.keyHistory, a.keyHistory, std::min<size_t>(e.keyHistoryCount, kMaxPlyRecords)))
        return result;
    for (size_t i = 0; i < std::min<size_t>(e.plyCount, kMaxPlyRecords); ++i) {
        const PlyRecord &x = e.plyRecords[i], &y = a.plyRecords[i];
        if (TARVOK_DIFFERS(x, y, key) || TARVOK_DIFFERS(x, y, move) || TARVOK_DIFFERS(x, y, castleRights) ||
            TARVOK_DIFFERS(x, y, epFile) || TARVOK_DIFFERS(x, y, halfmoveClock) || TARVOK_DIFFERS(x, y, inCheck) ||
            TARVOK_DIFFERS(x, y, nodeType))
            return result << " in ply record " << i;
    }
    return result;
}

}  // namespace tarvok::test
