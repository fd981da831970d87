#include "book/book_builder.h"

#include <cstring>

#include "board/movegen.h"
#include "book/opening_book.h"
#include "book/san.h"
#include "search/search_engine.h"

namespace tarvok {

bool LineKey::operator==(const LineKey& other) const {
    return parent == other.parent && std::strncmp(token, other.token, kPgnTokenSize) == 0;
}

size_t LineKeyHash::operator()(const LineKey& key) const {
    // FNV-1a over the parent index and the token text.
    uint64_t hash = 1469598103934665603ULL ^ static_cast<uint32_t>(key.parent);
    hash *= 1099511628211ULL;
    for (int i = 0; i < kPgnTokenSize && key.token[i] != '\0'; ++i) {
        hash ^= static_cast<unsigned char>(key.token[i]);
        hash *= 1099511628211ULL;
    }
    return static_cast<size_t>(hash);
}

void addGameLines(LineTable& table, const PgnGame& game) {
    int32_t parent = -1;
    for (uint32_t n = 0; n < game.moveCount && n < static_cast<uint32_t>(kPgnMaxPlies); ++n) {
        LineKey key{};
        key.parent = parent;
        std::strncpy(key.token, game.moves[n], kPgnTokenSize - 1);
        auto [slot, inserted] = table.index.try_emplace(key, static_cast<uint32_t>(table.records.size()));
        if (inserted) {
            LineRecord record{};
            record.parent = parent;
            record.moveCount = n + 1;
            std::memcpy(record.token, key.token, kPgnTokenSize);
            record.games = 1;
            record.blackWins = game.blackWins;
            record.whiteWins = game.whiteWins;
            record.draws = game.draws;
            table.records.push_back(record);
        } else {
            LineRecord& record = table.records[slot->second];
            ++record.games;
            record.blackWins += game.blackWins;
            record.whiteWins += game.whiteWins;
            record.draws += game.draws;
        }
        parent = static_cast<int32_t>(slot->second);
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

}  // namespace

int buildBook(SearchEngine& engine, const char* pgnFile, const char* bookFile, int depth, int count) {
    LineTable table;
    auto collect = [&table](const PgnGame& game) { addGameLines(table, game); };
    // A line holds at most 32 plies.
    if (!readPgnGames(pgnFile, depth > kPgnMaxPlies ? kPgnMaxPlies : depth, collect)) return 0;
    std::vector<Move> parsed(table.records.size(), NO_MOVE);
    for (uint32_t index = 0; index < table.records.size(); ++index) {
        if (static_cast<int32_t>(table.records[index].games) < count) continue;
        addLastMove(engine, table, index, parsed);
    }
    openingBook.saveBook(bookFile);
    engine.setStartPosition();
    generatePosition(engine.board, engine.scratchMoveList);
    return 1;
}

}  // namespace tarvok
