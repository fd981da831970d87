// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/move_text.h"

#include <cstring>

#include "board/movegen.h"

namespace tarvok {

namespace {

bool isFile(char c) { return c >= 'a' && c <= 'h'; }
bool isRank(char c) { return c >= '1' && c <= '8'; }

int promotionFromLetter(char c) {
    switch (c) {
        case 'q': return QUEEN;
        case 'r': return ROOK;
        case 'b': return BISHOP;
        case 'n': return KNIGHT;
        default: return -1;
    }
}

char* writeSquare(char* out, int square) {
    *out++ = static_cast<char>('a' + fileOf(square));
    *out++ = static_cast<char>('1' + rankOf(square));
    return out;
}

}  // namespace

Move findMoveText(const Board& board, MoveList& scratch, const char* text) {
    if (text == nullptr) return NO_MOVE;
    size_t length = strnlen(text, 6);
    if (length < 4 || length > 5) return NO_MOVE;
    if (!isFile(text[0]) || !isRank(text[1]) || !isFile(text[2]) || !isRank(text[3])) return NO_MOVE;
    int promotion = 0;
    if (length == 5) {
        promotion = promotionFromLetter(text[4]);
        if (promotion < 0) return NO_MOVE;
    }
    const int from = makeSquare(text[0] - 'a', text[1] - '1');
    const int to = makeSquare(text[2] - 'a', text[3] - '1');
    const int count = generateAll(board, scratch, 0, isInCheck(board, static_cast<int>(board.side)));
    scratch.count = static_cast<uint32_t>(count);
    for (int i = 0; i < count; ++i) {
        Move move = scratch.entries[i].move;
        if (moveFrom(move) == from && moveTo(move) == to && (promotion == 0 || movePromotion(move) == promotion))
            return move;
    }
    return NO_MOVE;
}

int playMoveText(Board& board, GameRecord& record, MoveList& scratch, const char* text) {
    Move move = findMoveText(board, scratch, text);
    if (move == NO_MOVE || record.isFull() || !board.hasRoomForPly()) return 0;
    if (!board.makeMove(move)) {
        board.unmakeMove(move);
        return 0;
    }
    record.append(move);
    return 1;
}

void moveToText(Move move, char* text) {
    static constexpr char kPieceLetters[] = "  NBRQK";
    static constexpr char kPromotionLetters[] = "  NBRQ  ";
    char* out = text;
    if (move == NO_MOVE) {
        *out = '\0';
        return;
    }
    if (isCastle(move)) {
        std::strcpy(text, fileOf(moveTo(move)) < fileOf(moveFrom(move)) ? "O-O-O" : "O-O");
        return;
    }
    if (movePiece(move) != PAWN) *out++ = kPieceLetters[movePiece(move)];
    out = writeSquare(out, moveFrom(move));
    *out++ = moveCaptured(move) != NO_PIECE ? 'x' : '-';
    out = writeSquare(out, moveTo(move));
    if (isEnPassant(move)) {
        std::memcpy(out, "e.p", 3);
        out += 3;
    }
    if (movePromotion(move) != NO_PIECE) {
        *out++ = '=';
        *out++ = kPromotionLetters[movePromotion(move)];
    }
    *out = '\0';
}

void moveToCoordinates(Move move, char* text) {
    static constexpr char kPromotionLetters[] = "  nbrq  ";
    char* out = writeSquare(text, moveFrom(move));
    out = writeSquare(out, moveTo(move));
    if (movePromotion(move) != NO_PIECE) *out++ = kPromotionLetters[movePromotion(move)];
    *out = '\0';
}

}  // namespace tarvok
