// SPDX-License-Identifier: GPL-3.0-or-later
// Reading PGN game files for the book builder: per game, the counts of its
// "Result" tags and the first plies of its main line as raw move tokens.
// Move numbers, comments ({...} and ; to the end of the line), variations
// and numeric annotation glyphs are skipped; positions are not built.
//
//   int readPgnGames(path, maxPlies, accumulator, context);   // 0: cannot open
//   int readPgnGames(path, maxPlies, callable);               // callable(const PgnGame&)
//   void readPgnStream(FILE*, maxPlies, accumulator, context);
//
// The accumulator is called once per game that has at least maxPlies plies
// (1 to kPgnMaxPlies; larger values are limited to it, smaller ones hand
// over nothing), with exactly its first maxPlies tokens. The file is read in
// pieces of at most kPgnLineSize - 1 characters; a longer line continues
// across pieces without splitting its tokens.
#pragma once

#include <cstdint>
#include <cstdio>

namespace tarvok {

constexpr int kPgnMaxPlies = 32;
constexpr int kPgnTokenSize = 16;       // one move slot of PgnGame
constexpr int kPgnMaxMoveLength = 9;    // longer move tokens are truncated
constexpr int kPgnTagSize = 256;        // tag names and values: 255 characters and NUL
constexpr int kPgnLineSize = 4096;

struct PgnGame {
    char moves[kPgnMaxPlies][kPgnTokenSize];  // NUL-terminated, as written
    uint32_t moveCount;
    uint32_t games;  // always 0 here; the builder's line records count games in it
    uint32_t blackWins;
    uint32_t whiteWins;
    uint32_t draws;
};

enum PgnState : int { PGN_IDLE, PGN_TAG, PGN_VARIATION, PGN_COMMENT, PGN_MOVES, PGN_SKIP };

using PgnAccumulator = void (*)(void* context, const PgnGame& game);

// The reader's state machine; readPgnStream drives it line by line.
struct PgnReader {
    // Phases: expecting a move number, White's move, Black's move, or inside
    // a numeric annotation glyph.
    enum Phase : int { PHASE_NUMBER = 0, PHASE_WHITE = 1, PHASE_BLACK = 2, PHASE_GLYPH = 3 };

    PgnAccumulator accumulator;
    void* context;
    uint32_t maxPlies;

    PgnState state;
    int phase;
    uint32_t depth;  // nesting of variations and comments
    PgnState savedState;
    int savedPhase;
    uint32_t plyCount;
    bool glyphAfterWhite;
    bool commentInVariation;  // inside {...} within a variation
    bool restOfLineComment;   // after ';' until the line ends
    char token[kPgnTagSize];
    uint32_t tokenLength;
    char tagName[kPgnTagSize];
    char tagValue[kPgnTagSize];
    PgnGame game;

    void start(int maxPliesWanted, PgnAccumulator gameAccumulator, void* accumulatorContext);
    // One piece of a line; startsLine is false for the continuation of a
    // line longer than one piece.
    void readPiece(const char* text, bool startsLine);
    // End of input: a pending token ends as at the end of a line.
    void finish();

   private:
    void handleCharacter(char c);
    void handleIdle(char c);
    void handleTag(char c);
    void handleVariation(char c);
    void handleComment(char c);
    void handleMoves(char c);
    void endMoveToken();
    void storeMove();
    void clearGame();
    void enterNested(PgnState nested);
    void leaveNested();
    void addToToken(char c, uint32_t limit);
    void emptyToken() {
        tokenLength = 0;
        token[0] = '\0';
    }
};

void readPgnStream(std::FILE* file, int maxPlies, PgnAccumulator accumulator, void* context);
int readPgnGames(const char* path, int maxPlies, PgnAccumulator accumulator, void* context);

template <typename Callable>
int readPgnGames(const char* path, int maxPlies, Callable& onGame) {
    return readPgnGames(
        path, maxPlies, [](void* context, const PgnGame& game) { (*static_cast<Callable*>(context))(game); },
        &onGame);
}

}  // namespace tarvok
