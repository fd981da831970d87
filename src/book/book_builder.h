// SPDX-License-Identifier: GPL-3.0-or-later
// Opening-book builder: counts the opening lines of the games in a PGN file
// and enters every line played often enough into the opening book.
//
//   buildBook(engine, pgnFile, bookFile, depth, count)   1, or 0 when the PGN
//                                                        file cannot be read
//                                                        or memory runs out
//
// Every prefix of the first depth plies of every game at least that long is a
// line; a line played in at least count games is replayed from the starting
// position and each of its moves is added under the key of the position
// before it, with the line's game count and win percentages (the first line
// in table order that plays a move in a position gives its counts).
//
// Most lines of a large file are played once, so with count above 1 the file
// is read twice (a pipe only once, counting every line exactly): the first
// pass counts every line approximately in a LineFilter, the second counts
// exactly only the lines whose approximate count reaches count. Lines are found through an index keyed by (parent
// line, move token); the table keeps the order of first appearance, so the
// book is the same as looking every prefix up in one table in order.
// When memory runs out, "out of memory" is printed, the book is emptied and
// no file is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "book/line_filter.h"
#include "book/pgn_reader.h"

namespace tarvok {

class SearchEngine;

// One counted opening line: its last move token and the line it extends.
struct LineRecord {
    int32_t parent;  // index of the line one ply shorter, -1 for the first ply
    uint32_t moveCount;
    char token[kPgnTokenSize];  // NUL-padded
    uint32_t games;
    uint32_t blackWins;
    uint32_t whiteWins;
    uint32_t draws;
};

// The line table, in order of first appearance, with its index: open
// addressing over record numbers plus one (0 marks a free slot), at most
// half full.
struct LineTable {
    std::vector<LineRecord> records;
    std::vector<uint32_t> slots;
};

// Counts the prefixes of game into table. With a filter, stops at the first
// prefix whose estimate is below needed: neither it nor any longer line
// through it was played in needed games.
void addGameLines(LineTable& table, const PgnGame& game, const LineFilter* filter = nullptr, uint32_t needed = 0);

// filterCounters: the filter's size (a power of two, at least 64); 0 sizes it
// from the PGN file's length.
int buildBook(SearchEngine& engine, const char* pgnFile, const char* bookFile, int depth, int count,
              std::size_t filterCounters = 0);

}  // namespace tarvok
