// SPDX-License-Identifier: GPL-3.0-or-later
// The opening book: position keys mapped to up to 16 weighted moves, with its
// binary file format (little-endian, magic "BOOK").
//
//   openingBook.loadBook(name)     1 when the whole file was read
//   openingBook.addBookMove(key, move, games, whiteWinPercent, blackWinPercent)
//   openingBook.saveBook(name)     sorts, writes; 1 on success
//   openingBook.chooseBookMove(board, scratch)   weighted legal move or NO_MOVE
//   openingBook.findNode(key)      bisection over the sorted nodes
//   openingBook.clearBook()
//
// File: "BOOK", version 0x00010001, node count N, then N records of
// {key (8), move count M (4), M x {move (4), games (4), white % (1), black % (1)}}.
#pragma once

#include <cstdint>
#include <cstdio>
#include <unordered_map>
#include <vector>

#include "board/board.h"
#include "board/move.h"
#include "board/types.h"

namespace tarvok {

constexpr uint32_t kMaxBookMoves = 16;
constexpr uint32_t kBookVersion = 0x00010001;

struct BookMove {
    Move move;
    uint32_t games;
    uint8_t whiteWinPercent;
    uint8_t blackWinPercent;
};

struct BookNode {
    HashKey key;
    uint32_t nodeMoveCount;
    BookMove moves[kMaxBookMoves];
};

class OpeningBook {
   public:
    // Replaces the contents with the file's. A missing file, a wrong magic or
    // a file cut short leaves the book empty and returns 0; so does a book
    // too large for memory, after printing "out of memory".
    int loadBook(const char* fileName);
    // Merges one move into the node of key (appended when new). The first
    // record of a move wins; a 17th distinct move is dropped.
    void addBookMove(HashKey key, Move move, uint32_t games, uint8_t whiteWinPercent, uint8_t blackWinPercent);
    // Sorts each node's moves by descending games and the nodes by ascending
    // key, then writes the file. 0 when the file cannot be created or written
    // (the book is left unsorted when it cannot be created).
    int saveBook(const char* fileName);
    // A move for the board's position, drawn at random weighted by games
    // among the node's slots that are legal here; NO_MOVE when there is none.
    // Fills scratch with the position's moves.
    Move chooseBookMove(Board& board, MoveList& scratch) const;
    // The node with this key, by bisection; the nodes must be in ascending key
    // order, as saveBook and files written by it leave them.
    const BookNode* findNode(HashKey key) const;
    void clearBook();

    const std::vector<BookNode>& nodes() const { return bookNodes; }

   private:
    // Reads the header and nodes of an open file; false when it is damaged.
    bool readNodes(std::FILE* file);
    std::vector<BookNode> bookNodes;
    // Position of each key's node, so that adding a move does not scan the
    // array; gives the node the linear scan from the start would find.
    std::unordered_map<HashKey, uint32_t> nodeIndex;
};

extern OpeningBook openingBook;

// Seeds the random draws of chooseBookMove (enableBook seeds with the time).
void seedBookRandom(uint64_t seed);

}  // namespace tarvok
