// SPDX-License-Identifier: GPL-3.0-or-later
// The engine and its tables outside a search, driven by the operation scripts
// tests/data/search/engine.txt and hash.txt.
#include "search/search_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <tuple>

#include "board/movegen.h"
#include "search/hash_table.h"
#include "search/recording_engine.h"
#include "test_support/data_files.h"

namespace tarvok::test {
namespace {

// Move words of the ordering lines: piece, from, to, then xC and =P.
const std::string kPieces = " PNBRQK";

Move moveWord(const std::string& t) {
    const auto square = [&](size_t i) { return t[i] - 'a' + 8 * (t[i + 1] - '1'); };
    const size_t x = t.find('x'), promotion = t.find('=');
    return makeMoveWord(square(1), square(3), static_cast<int>(kPieces.find(t[0])),
                        x == std::string::npos ? 0 : static_cast<int>(kPieces.find(t[x + 1])),
                        promotion == std::string::npos ? 0 : static_cast<int>(kPieces.find(t[promotion + 1])));
}

std::string wordText(Move m) {
    if (m == NO_MOVE) return "-";
    std::string text = kPieces[movePiece(m)] + coordinateText(m).substr(0, 4);
    if (moveCaptured(m) != NO_PIECE) text += std::string("x") + kPieces[moveCaptured(m)];
    if (movePromotion(m) != NO_PIECE) text += std::string("=") + kPieces[movePromotion(m)];
    return text;
}

// Allocations above this many bytes fail, standing in for exhausted memory;
// the others come from the system as the table's own do.
std::size_t allocationLimit = 0;
int allocationCalls = 0;
void* limitedAllocator(std::size_t bytes) {
    ++allocationCalls;
    return bytes > allocationLimit ? nullptr : platform::allocateTable(bytes);
}

// Runs the operations of a data file in order and compares what each shows.
void runScript(const std::string& name) {
    auto engine = makeRecordingEngine(nullptr);
    for (const DataRow& row : dataRows(name, 2)) {
        RecordingEngine& e = *engine;
        const std::string& text = row.field[0];
        const size_t space = std::min(text.find(' '), text.size());
        const std::string op = text.substr(0, space), rest = text.substr(std::min(space + 1, text.size()));
        std::istringstream args(rest);
        std::ostringstream out;
        int64_t a = 0, b = 0;
        std::string word;
        HashKey key = 0;
        if (op == "new") engine = makeRecordingEngine(rest.empty() ? nullptr : rest.c_str());
        else if (op == "newgame") e.setStartPosition();
        else if (op == "set") applySetup(e, rest);
        else if (op == "mode" && args >> a >> b) e.setLimit(static_cast<int>(a), b);
        else if (op == "limits") {
            out << e.limitMode << ' ' << e.depthLimit << ' ' << e.nodeLimit << ' ' << e.moveTime << ' ' << e.timeBudget
                << ' ' << e.maxDepth << ' ' << e.movesToGo << ' ' << e.checkInterval << ' ' << e.checkCounter << ' '
                << e.clockIncrement[WHITE] << ' ' << e.clockIncrement[BLACK] << ' ' << e.defaultClock << ' '
                << e.clockTime[WHITE] << ' ' << e.clockTime[BLACK] << ' ' << wordText(e.ponderMove) << ' '
                << e.searching << ' ' << e.pondering;
        } else if (op == "budget") {
            e.timeBudget = 12345;
            e.stopState = STOP_PLAY;
            e.checkCounter = 7;
            e.startTime = {0, 0};
            e.setupTimeBudget();
            out << e.timeBudget << ' ' << e.stopState << ' ' << e.checkCounter << ' ' << (e.startTime.seconds != 0);
        } else if (op == "check") {
            out << e.periodicCheck() << ' ' << e.stopState << ' ' << e.checkCounter;
        } else if (op == "play") out << e.playMoveText(rest.c_str());
        else if (op == "takeback") out << e.gameTakeBack();
        else if (op == "fen") out << e.setFromFen(rest.c_str());
        else if (op == "position") out << fenOf(e.board);
        else if (op == "record") {
            out << wordText(e.lastMove) << ' ' << e.game.gameLength << ' ' << e.game.gameIndex
                << (e.trace.empty() ? "" : " ") << e.trace;
            e.trace.clear();
        } else if (op == "mate") out << SearchEngine::mateDistance(std::stoi(rest));
        else if (op == "book") out << e.enableBook(rest.c_str()) << ' ' << e.bookEnabled;
        else if (op == "nobook") {
            e.disableBook();
            out << e.bookEnabled;
        } else if (op == "release") {
            e.release();
            out << e.ponderEnabled << ' ' << e.pondering << ' ' << wordText(e.ponderMove) << ' ' << e.stopState << ' '
                << hashTable.hasStorage() << ' ' << e.board.occupied;
        } else if (op == "killer" && args >> a >> b >> word) {
            e.killers[a][b] = moveWord(word);
        } else if (op == "history" && args >> a >> word >> b) {
            e.history[a][moveFrom(moveWord(word))][moveTo(moveWord(word))] = static_cast<uint32_t>(b);
        } else if (op == "order" || op == "quiesce") {
            if (op == "order") args >> a >> word;
            MoveList list{};
            std::vector<Move> given;
            for (std::string item; args >> item;) given.push_back(list.entries[list.count++].move = moveWord(item));
            const int count = static_cast<int>(list.count);
            if (op == "order") e.scoreMoves(list, count, moveWord(word), static_cast<int>(a));
            else RecordingEngine::scoreCaptures(list, count);
            RecordingEngine::sortMoves(list, count);
            const auto end = list.entries + count;
            for (Move m : given)
                out << std::find_if(list.entries, end, [&](auto& x) { return x.move == m; })->score << ' ';
            const bool sorted = std::is_sorted(list.entries, end, [](auto& x, auto& y) { return x.score > y.score; });
            out << (sorted ? "sorted" : "");
        } else if (op == "update" && args >> word >> a >> b) {
            const Move m = moveWord(word);
            e.updateKillersAndHistory(m, static_cast<int>(a), static_cast<int>(b));
            out << wordText(e.killers[b][0]) << ' ' << wordText(e.killers[b][1]) << ' '
                << e.history[e.board.side][moveFrom(m)][moveTo(m)];
        } else if (op == "see") {
            const Move m = findMoveText(e.board, e.scratchMoveList, rest.c_str());
            out << e.staticExchange(m) << (e.exchangeLoses(m) == (e.staticExchange(m) < 0) ? "" : " sign differs");
        } else if (op == "size" && args >> a) {
            out << hashSizeMegabytes(a) << ' ' << hashEntryCount(hashSizeMegabytes(a));
        } else if (op == "resize" && args >> a >> allocationLimit) {
            hashTable.allocate = limitedAllocator;
            allocationLimit <<= 20;
            allocationCalls = 0;
            testing::internal::CaptureStdout();
            const int result = hashTable.resize(a);
            const std::string message = testing::internal::GetCapturedStdout();
            bool zeroed = true;
            for (uint32_t i = 0; i < hashTable.entryCount; ++i)
                zeroed &= hashTable.entries[i].data == 0 && hashTable.entries[i].move == 0;
            out << result << ' ' << hashTable.entryCount << ' ' << hashTable.indexMask << ' ' << hashTable.megabytes()
                << ' ' << allocationCalls << (zeroed ? " zeroed" : "") << (message.empty() ? "" : " ")
                << message.substr(0, message.find('\n'));
        } else if (op == "store" && args >> std::hex >> key >> std::dec >> a >> b) {
            int bound = 0, score = 0;
            args >> bound >> score;
            hashTable.store(key, static_cast<Move>(a), static_cast<int>(b), static_cast<uint32_t>(bound), score);
        } else if ((op == "probe" || op == "word") && args >> std::hex >> key) {
            const HashEntry* entry = hashTable.probe(key);
            if (entry == nullptr) out << "miss";
            else if (op == "word") out << std::hex << entry->data;
            else out << entry->move << ' ' << entryDepth(*entry) << ' ' << entryBound(*entry) << ' '
                      << entryScore(*entry);
        } else if (op == "clear" && args >> a) {
            // A clear when only a megabytes are to be had.
            allocationLimit = static_cast<std::size_t>(a) << 20;
            testing::internal::CaptureStdout();
            hashTable.clear();
            const std::string message = testing::internal::GetCapturedStdout();
            out << hashTable.megabytes() << (message.empty() ? "" : " ") << message.substr(0, message.find('\n'));
        } else if (op == "clear") {
            hashTable.clear();
        } else if (op == "free") {
            hashTable.free();
        } else ADD_FAILURE() << "unknown operation: " << row.line;
        EXPECT_EQ(out.str(), row.field[1]) << row.line;
    }
    hashTable.allocate = platform::allocateTable;
}

TEST(SearchEngine, OperationsInOrder) { runScript("engine.txt"); }

// The early-stopping answer is the full exchange's sign for every capture of
// the data positions and of the positions one legal capture later.
TEST(SearchEngine, ExchangeLosesIsTheSignOfTheFullExchange) {
    std::vector<std::string> fens = readDataLines("perft.txt"), suite = readDataLines("bk.epd");
    fens.insert(fens.end(), suite.begin(), suite.end());
    auto engine = makeRecordingEngine(nullptr);
    int checked = 0;
    const auto check = [&](auto&& self, int plies) -> void {
        MoveList list{};
        for (int i = 0, count = generateCaptures(engine->board, list, 0); i < count; ++i, ++checked) {
            const Move m = list.entries[i].move;
            ASSERT_EQ(engine->exchangeLoses(m), engine->staticExchange(m) < 0) << fenOf(engine->board);
            if (plies == 0) continue;
            if (engine->board.makeMove(m)) self(self, plies - 1);
            engine->board.unmakeMove(m);
        }
    };
    for (const std::string& fen : fens) {
        ASSERT_TRUE(engine->setFromFen(fen.substr(0, std::min(fen.find(';'), fen.find(" bm"))).c_str())) << fen;
        check(check, 1);
    }
    EXPECT_GT(checked, 1000);
}

TEST(HashTable, OperationsInOrder) { runScript("hash.txt"); }

TEST(HashTable, EveryStoredScoreAndDepthReadsBack) {
    ASSERT_EQ(hashTable.resize(2), 1);
    for (int score : {-32001, -32000, -31744, -1, 0, 1, 31743, 31999, 32001}) {
        for (int depth = 0; depth < 512; ++depth) {
            for (uint32_t bound : {BOUND_EXACT, BOUND_UPPER, BOUND_LOWER}) {
                hashTable.store(0x0123456789ABCDEFull, 0x12345u, depth, bound, score);
                const HashEntry* e = hashTable.probe(0x0123456789ABCDEFull);
                ASSERT_NE(e, nullptr);
                ASSERT_EQ(std::make_tuple(entryScore(*e), entryDepth(*e), entryBound(*e), e->move),
                          std::make_tuple(score, depth, bound, 0x12345u));
            }
        }
    }
}

}  // namespace
}  // namespace tarvok::test
