// Opening-book builder: counts the opening lines of the games in a PGN file
// and enters every line played often enough into the opening book.
//
//   buildBook(engine, pgnFile, bookFile, depth, count)   1, or 0 when the PGN
//                                                        file cannot be read
//
// Every prefix of the first depth plies of every game at least that long is a
// line; a line played in at least count games is replayed from the starting
// position and each of its moves is added under the key of the position
// before it, with the line's game count and win percentages (the first line
// in table order that plays a move in a position gives its counts). Lines are
// found through an index keyed by (parent line, move token), so the cost
// grows linearly with the input; the result is the same as looking every
// prefix up in the table in order of first appearance.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "book/pgn_reader.h"

namespace tarvok {

class SearchEngine;

// One counted opening line: its last move token and the line it extends.
struct LineRecord {
    int32_t parent;  // index of the line one ply shorter, -1 for the first ply
    uint32_t moveCount;
    char token[kPgnTokenSize];
    uint32_t games;
    uint32_t blackWins;
    uint32_t whiteWins;
    uint32_t draws;
};

struct LineKey {
    int32_t parent;
    char token[kPgnTokenSize];
    bool operator==(const LineKey& other) const;
};

struct LineKeyHash {
    size_t operator()(const LineKey& key) const;
};

// The line table, in order of first appearance, with its index.
struct LineTable {
    std::vector<LineRecord> records;
    std::unordered_map<LineKey, uint32_t, LineKeyHash> index;
};

// Counts every prefix of game into table.
void addGameLines(LineTable& table, const PgnGame& game);

int buildBook(SearchEngine& engine, const char* pgnFile, const char* bookFile, int depth, int count);

}  // namespace tarvok
