// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/xboard_edit.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace tarvok {

void BoardEdit::begin(const char* fen) {
    active = true;
    placingWhite = true;
    std::memset(squares, 0, sizeof squares);
    int rank = 7, file = 0;
    const char* c = fen;
    for (; *c != '\0' && *c != ' '; ++c) {
        if (*c == '/') {
            --rank;
            file = 0;
        } else if (std::isdigit(static_cast<unsigned char>(*c))) {
            file += *c - '0';
        } else if (rank >= 0 && file < 8) {
            squares[rank * 8 + file++] = *c;
        }
    }
    sideToMove = c[0] == ' ' && c[1] == 'b' ? 'b' : 'w';
}

bool BoardEdit::apply(const char* line) {
    if (std::strcmp(line, "#") == 0) {
        std::memset(squares, 0, sizeof squares);
        return true;
    }
    if (std::strcmp(line, "c") == 0) {
        placingWhite = !placingWhite;
        return true;
    }
    const bool onSquare = std::strlen(line) == 3 && line[1] >= 'a' && line[1] <= 'h' && line[2] >= '1' && line[2] <= '8';
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
    if (!onSquare || std::strchr("PNBRQKX", letter) == nullptr) return false;
    const int square = (line[2] - '1') * 8 + (line[1] - 'a');
    if (letter == 'X') squares[square] = 0;
    else squares[square] = placingWhite ? letter : static_cast<char>(std::tolower(letter));
    return true;
}

void BoardEdit::finish(char* buffer, int size) {
    active = false;
    char placement[80];
    int length = 0;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const char piece = squares[rank * 8 + file];
            if (piece == 0) {
                ++empty;
                continue;
            }
            if (empty > 0) placement[length++] = static_cast<char>('0' + empty);
            empty = 0;
            placement[length++] = piece;
        }
        if (empty > 0) placement[length++] = static_cast<char>('0' + empty);
        if (rank > 0) placement[length++] = '/';
    }
    placement[length] = '\0';
    // Castling wherever king and rook still stand at home.
    char castling[5];
    int rights = 0;
    if (squares[4] == 'K' && squares[7] == 'R') castling[rights++] = 'K';
    if (squares[4] == 'K' && squares[0] == 'R') castling[rights++] = 'Q';
    if (squares[60] == 'k' && squares[63] == 'r') castling[rights++] = 'k';
    if (squares[60] == 'k' && squares[56] == 'r') castling[rights++] = 'q';
    if (rights == 0) castling[rights++] = '-';
    castling[rights] = '\0';
    std::snprintf(buffer, static_cast<size_t>(size), "%s %c %s - 0 1", placement, sideToMove, castling);
}

}  // namespace tarvok
