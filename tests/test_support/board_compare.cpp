// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_support/board_compare.h"

namespace tarvok::test {

namespace {

template <typename T>
bool differs(::testing::AssertionResult& result, const char* field, int index, const T& expected, const T& actual) {
    if (expected == actual) return false;
    result = ::testing::AssertionFailure() << field << (index >= 0 ? "[" + std::to_string(index) + "]" : "")
                                           << " differs: expected " << +expected << ", got " << +actual;
    return true;
}

}  // namespace

::testing::AssertionResult sameBoard(const Board& e, const Board& a) {
    auto result = ::testing::AssertionSuccess();
    if (differs(result, "occupied", -1, e.occupied, a.occupied)) return result;
    for (int c = 0; c < 2; ++c) {
        if (differs(result, "colourOccupied", c, e.colourOccupied[c], a.colourOccupied[c])) return result;
        for (int t = 0; t < 8; ++t)
            if (differs(result, "pieces", c * 8 + t, e.pieces[c][t], a.pieces[c][t])) return result;
        if (differs(result, "material", c, e.material[c], a.material[c])) return result;
        if (differs(result, "phaseCount", c, e.phaseCount[c], a.phaseCount[c])) return result;
        if (differs(result, "middleGameSum", c, e.middleGameSum[c], a.middleGameSum[c])) return result;
        if (differs(result, "endgameSum", c, e.endgameSum[c], a.endgameSum[c])) return result;
        for (int t = 0; t < 8; ++t)
            if (differs(result, "pieceCount", c * 8 + t, e.pieceCount[c][t], a.pieceCount[c][t])) return result;
        if (differs(result, "kingSquare", c, e.kingSquare[c], a.kingSquare[c])) return result;
    }
    if (differs(result, "hashKey", -1, e.hashKey, a.hashKey)) return result;
    if (differs(result, "side", -1, e.side, a.side)) return result;
    if (differs(result, "xside", -1, e.xside, a.xside)) return result;
    if (differs(result, "stage", -1, e.stage, a.stage)) return result;
    if (differs(result, "castleRights", -1, e.castleRights, a.castleRights)) return result;
    if (differs(result, "epFile", -1, e.epFile, a.epFile)) return result;
    if (differs(result, "halfmoveClock", -1, e.halfmoveClock, a.halfmoveClock)) return result;
    for (int s = 0; s < 64; ++s)
        if (differs(result, "mailbox", s, e.mailbox[s], a.mailbox[s])) return result;
    if (differs(result, "plyCount", -1, e.plyCount, a.plyCount)) return result;
    for (int i = 0; i < static_cast<int>(e.plyCount) && i < kMaxPlyRecords; ++i) {
        const PlyRecord &x = e.plyRecords[i], &y = a.plyRecords[i];
        if (differs(result, "plyRecords.key", i, x.key, y.key) ||
            differs(result, "plyRecords.move", i, x.move, y.move) ||
            differs(result, "plyRecords.castleRights", i, x.castleRights, y.castleRights) ||
            differs(result, "plyRecords.epFile", i, x.epFile, y.epFile) ||
            differs(result, "plyRecords.halfmoveClock", i, x.halfmoveClock, y.halfmoveClock) ||
            differs(result, "plyRecords.inCheck", i, x.inCheck, y.inCheck) ||
            differs(result, "plyRecords.nodeType", i, x.nodeType, y.nodeType))
            return result;
    }
    if (differs(result, "keyHistoryCount", -1, e.keyHistoryCount, a.keyHistoryCount)) return result;
    for (int i = 0; i < static_cast<int>(e.keyHistoryCount) && i < kMaxPlyRecords; ++i)
        if (differs(result, "keyHistory", i, e.keyHistory[i], a.keyHistory[i])) return result;
    return result;
}

}  // namespace tarvok::test
