// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/san.h"

#include <cstring>

namespace tarvok {
namespace {

constexpr bool isFileLetter(char c) { return c >= 'a' && c <= 'h'; }
constexpr bool isRankDigit(char c) { return c >= '1' && c <= '8'; }

constexpr int pieceOfLetter(char c) {
    switch (c) {
        case 'N': return KNIGHT;
        case 'B': return BISHOP;
        case 'R': return ROOK;
        case 'Q': return QUEEN;
        case 'K': return KING;
        default: return NO_PIECE;
    }
}

constexpr int promotionOfLetter(char c) {
    switch (c) {
        case 'N': return KNIGHT;
        case 'B': return BISHOP;
        case 'R': return ROOK;
        case 'Q': return QUEEN;
        default: return NO_PIECE;
    }
}

// What a token asks for; -1 means the origin's file or rank is not given.
struct SanPattern {
    int piece = NO_PIECE;
    int to = 0;
    int fromFile = -1;
    int fromRank = -1;
    int promotion = NO_PIECE;
    bool castle = false;
};

bool matches(Move move, const SanPattern& pattern) {
    if (isCastle(move) != pattern.castle) return false;
    if (movePiece(move) != pattern.piece || moveTo(move) != pattern.to) return false;
    if (pattern.fromFile >= 0 && fileOf(moveFrom(move)) != pattern.fromFile) return false;
    if (pattern.fromRank >= 0 && rankOf(moveFrom(move)) != pattern.fromRank) return false;
    // A pawn reaching the last rank must name its promotion piece, and only
    // such a pawn move may name one.
    return movePromotion(move) == pattern.promotion;
}

bool isLegal(Board& board, Move move) {
    if (!board.hasRoomForPly()) return false;
    const int legal = board.makeMove(move);
    board.unmakeMove(move);
    return legal != 0;
}

// First legal move of the list, in list order, that fits the pattern.
int findMove(Board& board, const MoveList& scratch, const SanPattern& pattern, Move& move) {
    const uint32_t count = scratch.count < static_cast<uint32_t>(kMaxMoves) ? scratch.count : kMaxMoves;
    for (uint32_t i = 0; i < count; ++i) {
        const Move candidate = scratch.entries[i].move;
        if (matches(candidate, pattern) && isLegal(board, candidate)) {
            move = candidate;
            return 1;
        }
    }
    return 0;
}

// Fills pattern from a non-castling token; false when the text is not SAN.
bool readPattern(const char* text, SanPattern& pattern) {
    size_t index = 0;
    pattern.piece = pieceOfLetter(text[0]);
    if (pattern.piece != NO_PIECE) {
        index = 1;
    } else if (isFileLetter(text[0])) {
        pattern.piece = PAWN;
    } else {
        return false;
    }

    // Origin: a rank, a file, or a whole square, each followed by more text.
    const char first = text[index];
    if (isRankDigit(first)) {
        pattern.fromRank = first - '1';
        ++index;
    } else if (isFileLetter(first)) {
        const char second = text[index + 1];
        if (isFileLetter(second) || second == 'x') {
            pattern.fromFile = first - 'a';
            ++index;
        } else if (isRankDigit(second) && (isFileLetter(text[index + 2]) || text[index + 2] == 'x')) {
            pattern.fromFile = first - 'a';
            pattern.fromRank = second - '1';
            index += 2;
        }
    }
    if (text[index] == 'x') ++index;

    if (!isFileLetter(text[index]) || !isRankDigit(text[index + 1])) return false;
    pattern.to = makeSquare(text[index] - 'a', text[index + 1] - '1');
    index += 2;
    // A pawn token without its file ("d5") takes the first pawn move to that
    // square, a capture included: a push and a capture never share a
    // destination, so a correct push is always the one found.

    // "=Q", or the bare letter after a pawn's move to the last rank ("e8Q").
    if (text[index] == '=') {
        pattern.promotion = promotionOfLetter(text[index + 1]);
        if (pattern.promotion == NO_PIECE) return false;
    } else if (pattern.piece == PAWN && (rankOf(pattern.to) == 0 || rankOf(pattern.to) == 7)) {
        pattern.promotion = promotionOfLetter(text[index]);
    }
    // Check, mate and annotation marks that follow are ignored.
    return true;
}

}  // namespace

int parseSan(Board& board, const MoveList& scratch, const char* text, Move& move) {
    SanPattern pattern;
    const bool shortCastle = std::strcmp(text, "O-O") == 0;
    if (shortCastle || std::strcmp(text, "O-O-O") == 0) {
        const int homeRank = board.side == WHITE ? 0 : 7;
        pattern.piece = KING;
        pattern.to = makeSquare(shortCastle ? 6 : 2, homeRank);
        pattern.fromFile = 4;
        pattern.fromRank = homeRank;
        pattern.castle = true;
    } else if (!readPattern(text, pattern)) {
        return 0;
    }
    return findMove(board, scratch, pattern, move);
}

}  // namespace tarvok
