// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/opening_book.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "board/movegen.h"
#include "book/diagnostic_log.h"
#include "platform/platform.h"

namespace tarvok {

OpeningBook openingBook;

namespace {

constexpr std::size_t kNodeHeaderBytes = 12;
constexpr std::size_t kMoveRecordBytes = 10;

// The book's own random numbers (SplitMix64): the C library's rand() gives only
// 15 bits on Windows, fewer than the games of a popular position add up to.
uint64_t bookRandomState = 0;

uint64_t nextBookRandom() {
    uint64_t z = (bookRandomState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Uniform in 0 .. bound - 1: draws from the incomplete last block of bound
// values are redrawn, so no remainder is favoured.
uint64_t drawBelow(uint64_t bound) {
    const uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
    uint64_t draw = nextBookRandom();
    while (draw >= limit) draw = nextBookRandom();
    return draw % bound;
}

uint32_t readWord(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void writeWord(unsigned char* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

// Reads a file in large chunks; read() fails rather than return a short record.
class ChunkReader {
   public:
    explicit ChunkReader(std::FILE* source) : file(source) {}
    bool read(unsigned char* out, std::size_t size) {
        while (size > 0) {
            if (position == filled) {
                filled = std::fread(buffer, 1, sizeof buffer, file);
                position = 0;
                if (filled == 0) return false;
            }
            const std::size_t part = std::min(size, filled - position);
            std::memcpy(out, buffer + position, part);
            position += part;
            out += part;
            size -= part;
        }
        return true;
    }

   private:
    std::FILE* file;
    unsigned char buffer[1 << 16];
    std::size_t position = 0;
    std::size_t filled = 0;
};

// The exchange sort that fixes the file order of a node's moves, including
// the order of moves with equal games.
void sortMovesByGames(BookNode& node) {
    for (uint32_t i = 0; i < node.nodeMoveCount; ++i) {
        for (uint32_t j = i + 1; j < node.nodeMoveCount; ++j) {
            if (node.moves[i].games < node.moves[j].games) std::swap(node.moves[i], node.moves[j]);
        }
    }
}

// The generated move with the same squares and promotion, if it is legal.
Move legalMatch(Board& board, const MoveList& list, int count, Move wanted) {
    for (int i = 0; i < count; ++i) {
        const Move move = list.entries[i].move;
        if (moveFrom(move) != moveFrom(wanted) || moveTo(move) != moveTo(wanted) ||
            movePromotion(move) != movePromotion(wanted))
            continue;
        if (!board.hasRoomForPly()) return NO_MOVE;
        const int legal = board.makeMove(move);
        board.unmakeMove(move);
        return legal ? move : NO_MOVE;
    }
    return NO_MOVE;
}

}  // namespace

void OpeningBook::clearBook() {
    // Gives the memory back as well: a large book may have just failed to fit.
    std::vector<BookNode>().swap(bookNodes);
    std::unordered_map<HashKey, uint32_t>().swap(nodeIndex);
}

void OpeningBook::addBookMove(HashKey key, Move move, uint32_t games, uint8_t whiteWinPercent,
                              uint8_t blackWinPercent) {
    const auto [slot, isNew] = nodeIndex.try_emplace(key, static_cast<uint32_t>(bookNodes.size()));
    if (isNew) {
        BookNode fresh{};
        fresh.key = key;
        bookNodes.push_back(fresh);
    }
    BookNode& node = bookNodes[slot->second];
    for (uint32_t i = 0; i < node.nodeMoveCount; ++i) {
        if (node.moves[i].move == move) return;
    }
    if (node.nodeMoveCount == kMaxBookMoves) {
        diagnosticLog("max book node reached !!!");
        return;
    }
    node.moves[node.nodeMoveCount++] = BookMove{move, games, whiteWinPercent, blackWinPercent};
}

int OpeningBook::loadBook(const char* fileName) {
    clearBook();
    std::FILE* file = fileName != nullptr ? platform::openFile(fileName, "rb") : nullptr;
    if (file == nullptr) {
        diagnosticLog("Opening book file not found : %s", fileName != nullptr ? fileName : "");
        return 0;
    }
    bool complete = false;
    try {
        complete = readNodes(file);
    } catch (const std::bad_alloc&) {
        std::fclose(file);
        clearBook();
        std::printf("out of memory\n");
        return 0;
    }
    std::fclose(file);
    if (!complete) {
        // A damaged file is rejected as a whole, like one with a wrong magic.
        clearBook();
        diagnosticLog("Bad opening book format : %s", fileName);
        return 0;
    }
    return 1;
}

bool OpeningBook::readNodes(std::FILE* file) {
    ChunkReader reader(file);
    unsigned char header[12];
    bool complete = reader.read(header, 4) && std::memcmp(header, "BOOK", 4) == 0;
    if (complete && reader.read(header + 4, 8)) {
        const uint32_t nodeCount = readWord(header + 8);
        unsigned char record[kNodeHeaderBytes];
        for (uint32_t n = 0; complete && n < nodeCount; ++n) {
            if (!reader.read(record, kNodeHeaderBytes)) {
                complete = false;
                break;
            }
            const HashKey key = readWord(record) | static_cast<HashKey>(readWord(record + 4)) << 32;
            const uint32_t moveCount = readWord(record + 8);
            for (uint32_t m = 0; m < moveCount; ++m) {
                if (!reader.read(record, kMoveRecordBytes)) {
                    complete = false;
                    break;
                }
                addBookMove(key, readWord(record), readWord(record + 4), record[8], record[9]);
            }
        }
    } else {
        complete = false;
    }
    return complete;
}

int OpeningBook::saveBook(const char* fileName) {
    std::FILE* file = fileName != nullptr ? platform::openFile(fileName, "wb") : nullptr;
    if (file == nullptr) return 0;

    for (BookNode& node : bookNodes) sortMovesByGames(node);
    // Keys are unique (addBookMove merges equal keys), so any sort gives the
    // one ascending order the exchange sort would.
    std::sort(bookNodes.begin(), bookNodes.end(),
              [](const BookNode& a, const BookNode& b) { return a.key < b.key; });
    for (uint32_t i = 0; i < bookNodes.size(); ++i) nodeIndex[bookNodes[i].key] = i;

    unsigned char header[12];
    std::memcpy(header, "BOOK", 4);
    writeWord(header + 4, kBookVersion);
    writeWord(header + 8, static_cast<uint32_t>(bookNodes.size()));
    bool written = std::fwrite(header, 1, sizeof header, file) == sizeof header;

    unsigned char record[kNodeHeaderBytes + kMaxBookMoves * kMoveRecordBytes];
    for (const BookNode& node : bookNodes) {
        if (!written) break;
        writeWord(record, static_cast<uint32_t>(node.key));
        writeWord(record + 4, static_cast<uint32_t>(node.key >> 32));
        writeWord(record + 8, node.nodeMoveCount);
        unsigned char* out = record + kNodeHeaderBytes;
        for (uint32_t m = 0; m < node.nodeMoveCount; ++m, out += kMoveRecordBytes) {
            writeWord(out, node.moves[m].move);
            writeWord(out + 4, node.moves[m].games);
            out[8] = node.moves[m].whiteWinPercent;
            out[9] = node.moves[m].blackWinPercent;
        }
        const std::size_t size = static_cast<std::size_t>(out - record);
        written = std::fwrite(record, 1, size, file) == size;
    }
    const bool closed = std::fclose(file) == 0;
    return written && closed ? 1 : 0;
}

const BookNode* OpeningBook::findNode(HashKey key) const {
    std::size_t low = 0, high = bookNodes.size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (bookNodes[middle].key < key)
            low = middle + 1;
        else
            high = middle;
    }
    return low < bookNodes.size() && bookNodes[low].key == key ? &bookNodes[low] : nullptr;
}

Move OpeningBook::chooseBookMove(Board& board, MoveList& scratch) const {
    if (bookNodes.empty()) return NO_MOVE;
    const BookNode* node = findNode(board.hashKey);
    if (node == nullptr || node->nodeMoveCount == 0) return NO_MOVE;

    const bool inCheck = isInCheck(board, static_cast<int>(board.side));
    const int count = std::min(generateAll(board, scratch, 0, inCheck), kMaxMoves);
    scratch.count = static_cast<uint32_t>(count);

    // Each slot replaces the choice with probability games / running total;
    // a slot whose move is not legal here weighs 0. Draws start with the
    // first positive weight, so an all-zero node gives no move instead of a
    // modulus by zero.
    uint64_t total = 0;
    Move chosen = NO_MOVE;
    for (uint32_t i = 0; i < node->nodeMoveCount && i < kMaxBookMoves; ++i) {
        const Move legal = legalMatch(board, scratch, count, node->moves[i].move);
        const uint64_t weight = legal != NO_MOVE ? node->moves[i].games : 0;
        total += weight;
        if (total == 0) continue;
        const uint64_t draw = drawBelow(total);
        if (draw < weight) chosen = legal;
    }
    return chosen;
}

void seedBookRandom(uint64_t seed) { bookRandomState = seed; }

}  // namespace tarvok
