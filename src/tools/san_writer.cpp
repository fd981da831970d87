// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/san_writer.h"

#include "board/types.h"

namespace tarvok {

namespace {

constexpr char kPieceLetters[8] = {'?', '?', 'N', 'B', 'R', 'Q', 'K', '?'};

char fileLetter(int square) { return static_cast<char>('a' + fileOf(square)); }
char rankDigit(int square) { return static_cast<char>('1' + rankOf(square)); }

}  // namespace

void writeSan(Move move, char (&text)[kSanSize], const MoveList& list, int count) {
    int length = 0;
    // Every write goes through put, which keeps the terminator inside text.
    auto put = [&](char c) {
        if (length < kSanSize - 1) text[length++] = c;
    };
    auto putText = [&](const char* s) {
        while (*s != '\0') put(*s++);
    };

    if (move != NO_MOVE && isCastle(move)) {
        putText(fileOf(moveTo(move)) < fileOf(moveFrom(move)) ? "O-O-O" : "O-O");
    } else if (move != NO_MOVE) {
        const int from = moveFrom(move);
        const int to = moveTo(move);
        const int piece = movePiece(move);
        if (piece != PAWN) {
            put(kPieceLetters[piece]);
            if (count > kMaxMoves) count = kMaxMoves;
            bool fileNeeded = false, rankNeeded = false, ambiguous = false;
            for (int i = 0; i < count; ++i) {
                const Move other = list.entries[i].move;
                if (movePiece(other) != piece || moveTo(other) != to || moveFrom(other) == from) continue;
                ambiguous = true;
                if (rankOf(moveFrom(other)) == rankOf(from)) fileNeeded = true;
                if (fileOf(moveFrom(other)) == fileOf(from)) rankNeeded = true;
                if (!fileNeeded && !rankNeeded) fileNeeded = true;
            }
            if (ambiguous && fileNeeded) put(fileLetter(from));
            if (ambiguous && rankNeeded) put(rankDigit(from));
        }
        if (moveCaptured(move) != NO_PIECE) {
            if (piece == PAWN) put(fileLetter(from));
            put('x');
        }
        put(fileLetter(to));
        put(rankDigit(to));
        if (isEnPassant(move)) putText("e.p");
        if (movePromotion(move) != NO_PIECE) {
            put('=');
            put(kPieceLetters[movePromotion(move)]);
        }
    }
    text[length] = '\0';
}

}  // namespace tarvok
