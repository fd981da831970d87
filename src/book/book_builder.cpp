// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/book_builder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "board/movegen.h"
#include "book/opening_book.h"
#include "book/san.h"
#include "platform/platform.h"
#include "search/search_engine.h"

namespace tarvok {

namespace {

constexpr std::size_t kMinFilterCounters = std::size_t{1} << 16;
constexpr std::size_t kMaxFilterCounters = std::size_t{1} << 28;  // 256 MB

std::size_t slotOf(const LineTable& table, int32_t parent, const char* token) {
    return static_cast<std::size_t>(extendLineKey(static_cast<uint64_t>(parent) * kEmptyLineKey, token)) &
           (table.slots.size() - 1);
}

// Doubles the index once it is half full.
void growIndex(LineTable& table) {
    if ((table.records.size() + 1) * 2 <= table.slots.size()) return;
    std::vector<uint32_t> slots(std::max<std::size_t>(1024, table.slots.size() * 2), 0);
    table.slots.swap(slots);
    const std::size_t mask = table.slots.size() - 1;
    for (std::size_t i = 0; i < table.records.size(); ++i) {
        std::size_t slot = slotOf(table, table.records[i].parent, table.records[i].token);
        while (table.slots[slot] != 0) slot = (slot + 1) & mask;
        table.slots[slot] = static_cast<uint32_t>(i + 1);
    }
}

// The record of (parent, token), appended with no games when new.
LineRecord& findOrAddLine(LineTable& table, int32_t parent, const char (&token)[kPgnTokenSize], uint32_t moveCount,
                          uint32_t& index) {
    growIndex(table);
    const std::size_t mask = table.slots.size() - 1;
    for (std::size_t slot = slotOf(table, parent, token);; slot = (slot + 1) & mask) {
        const uint32_t entry = table.slots[slot];
        if (entry == 0) {
            index = static_cast<uint32_t>(table.records.size());
            LineRecord record{};
            record.parent = parent;
            record.moveCount = moveCount;
            std::memcpy(record.token, token, kPgnTokenSize);
            table.records.push_back(record);
            table.slots[slot] = index + 1;
            return table.records.back();
        }
        LineRecord& record = table.records[entry - 1];
        if (record.parent == parent && std::memcmp(record.token, token, kPgnTokenSize) == 0) {
            index = entry - 1;
            return record;
        }
    }
}

}  // namespace

void addGameLines(LineTable& table, const PgnGame& game, const LineFilter* filter, uint32_t needed) {
    int32_t parent = -1;
    uint64_t key = kEmptyLineKey;
    for (uint32_t n = 0; n < game.moveCount && n < static_cast<uint32_t>(kPgnMaxPlies); ++n) {
        if (filter != nullptr) {
            key = extendLineKey(key, game.moves[n]);
            if (filter->estimate(key) < needed) return;
        }
        char token[kPgnTokenSize] = {};
        std::strncpy(token, game.moves[n], kPgnTokenSize - 1);
        uint32_t index = 0;
        LineRecord& record = findOrAddLine(table, parent, token, n + 1, index);
        ++record.games;
        record.blackWins += game.blackWins;
        record.whiteWins += game.whiteWins;
        record.draws += game.draws;
        parent = static_cast<int32_t>(index);
    }
}

namespace {

void generatePosition(const Board& board, MoveList& scratch) {
    scratch.count =
        static_cast<uint32_t>(generateAll(board, scratch, 0, isInCheck(board, static_cast<int>(board.side))));
}

// Adds the moves of one line. Every shorter line of it was played in at least
// as many games, so it came earlier in the table and its moves are already in
// the book (adding them again would change nothing): only the last move is
// new. The board is brought to the end of the parent line by replaying the
// parent's parsed moves. A token that names no legal move ends the line, and
// with it every longer line through it.
void addLastMove(SearchEngine& engine, const LineTable& table, uint32_t recordIndex, std::vector<Move>& parsed) {
    const LineRecord& record = table.records[recordIndex];
    Move path[kPgnMaxPlies];
    uint32_t length = 0;
    for (int32_t parent = record.parent; parent >= 0 && length < static_cast<uint32_t>(kPgnMaxPlies);
         parent = table.records[static_cast<uint32_t>(parent)].parent) {
        const Move move = parsed[static_cast<uint32_t>(parent)];
        if (move == NO_MOVE) return;
        path[length++] = move;
    }
    Board& board = engine.board;
    board.setStartArray();
    for (uint32_t i = length; i-- > 0;) board.makeMove(path[i]);
    generatePosition(board, engine.scratchMoveList);
    Move move = NO_MOVE;
    if (!parseSan(board, engine.scratchMoveList, record.token, move)) return;
    const auto whitePercent = static_cast<uint8_t>(record.whiteWins * 100u / record.games);
    const auto blackPercent = static_cast<uint8_t>(record.blackWins * 100u / record.games);
    openingBook.addBookMove(board.hashKey, move, record.games, whitePercent, blackPercent);
    parsed[recordIndex] = move;
}

void filterGame(void* context, const PgnGame& game) {
    auto& filter = *static_cast<LineFilter*>(context);
    uint64_t key = kEmptyLineKey;
    for (uint32_t n = 0; n < game.moveCount && n < static_cast<uint32_t>(kPgnMaxPlies); ++n) {
        key = extendLineKey(key, game.moves[n]);
        filter.add(key);
    }
}

struct ExactCount {
    LineTable& table;
    const LineFilter* filter;
    uint32_t needed;
};

void countGame(void* context, const PgnGame& game) {
    const auto& exact = *static_cast<ExactCount*>(context);
    addGameLines(exact.table, game, exact.filter, exact.needed);
}

// A filter of about one counter per byte of the file, smaller when memory is
// short: a smaller filter lets more single lines through to the exact count
// but gives the same book.
std::unique_ptr<LineFilter> makeFilter(int64_t fileLength, std::size_t counters) {
    if (counters == 0) {
        counters = kMinFilterCounters;
        while (counters < kMaxFilterCounters && static_cast<int64_t>(counters) < fileLength) counters *= 2;
    }
    for (;; counters /= 2) {
        try {
            return std::make_unique<LineFilter>(counters);
        } catch (const std::bad_alloc&) {
            if (counters <= kMinFilterCounters) throw;
        }
    }
}

// Copies a stream that cannot be read twice (a pipe) into a temporary file,
// so that it too gets the filter pass; null when no temporary file can be had.
std::FILE* spoolToTemporaryFile(std::FILE* source) {
    std::FILE* spool = platform::openTemporaryFile();
    if (spool == nullptr) return nullptr;
    char buffer[1 << 16];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, source)) > 0) {
        if (std::fwrite(buffer, 1, got, spool) != got) {
            std::fclose(spool);
            return nullptr;
        }
    }
    std::rewind(spool);
    return spool;
}

void countLines(std::FILE* file, int plies, int count, std::size_t filterCounters, LineTable& table) {
    ExactCount exact{table, nullptr, 0};
    std::unique_ptr<LineFilter> filter;
    int64_t length = count > 1 ? platform::rereadableLength(file) : -1;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> spool(nullptr, std::fclose);
    if (count > 1 && length < 0) {
        spool.reset(spoolToTemporaryFile(file));
        // Without a temporary file the pipe is read once, counting every line exactly.
        if (spool) {
            file = spool.get();
            length = platform::rereadableLength(file);
        }
    }
    if (length >= 0) {
        filter = makeFilter(length, filterCounters);
        readPgnStream(file, plies, filterGame, filter.get());
        std::rewind(file);
        exact.filter = filter.get();
        exact.needed = std::min(static_cast<uint32_t>(count), kLineFilterCap);
    }
    readPgnStream(file, plies, countGame, &exact);
}

void enterLines(SearchEngine& engine, const LineTable& table, int count) {
    std::vector<Move> parsed(table.records.size(), NO_MOVE);
    for (uint32_t index = 0; index < table.records.size(); ++index) {
        if (static_cast<int32_t>(table.records[index].games) < count) continue;
        addLastMove(engine, table, index, parsed);
    }
}

}  // namespace

int buildBook(SearchEngine& engine, const char* pgnFile, const char* bookFile, int depth, int count,
              std::size_t filterCounters) {
    std::FILE* file = platform::openFile(pgnFile, "rb");
    if (file == nullptr) return 0;
    // A line holds at most 32 plies.
    const int plies = depth > kPgnMaxPlies ? kPgnMaxPlies : depth;
    int built = 1;
    try {
        LineTable table;
        countLines(file, plies, count, filterCounters, table);
        enterLines(engine, table, count);
    } catch (const std::bad_alloc&) {
        openingBook.clearBook();
        std::printf("out of memory\n");
        built = 0;
    }
    std::fclose(file);
    if (built) openingBook.saveBook(bookFile);
    engine.setStartPosition();
    generatePosition(engine.board, engine.scratchMoveList);
    return built;
}

}  // namespace tarvok
