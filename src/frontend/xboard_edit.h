// SPDX-License-Identifier: GPL-3.0-or-later
// XBoard's edit mode, which GUIs use to set up a position when they have not
// (yet) seen "setboard=1": "edit" starts from the current position, "#"
// empties the board, "c" switches the colour of the pieces placed next
// (White first), "Pa4" puts a piece on a square ("xa4" empties it), and "."
// ends the mode. The side to move stays as it was; castling is allowed where
// king and rook stand on their home squares; there is no en-passant square.
//
//   edit.begin(fen)               starts from a position's FEN
//   edit.apply(line)              true when the line was an edit command
//   edit.finish(buffer, size)     the edited position's FEN; leaves the mode
#pragma once

namespace tarvok {

struct BoardEdit {
    bool active = false;
    bool placingWhite = true;
    char sideToMove = 'w';
    char squares[64] = {};  // FEN piece letter per square (a1 = 0), 0 when empty

    void begin(const char* fen);
    bool apply(const char* line);
    void finish(char* buffer, int size);
};

}  // namespace tarvok
