// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/pgn_reader.h"

#include <cstring>

#include "platform/platform.h"

namespace tarvok {
namespace {

bool isResultToken(const char* token) {
    return std::strcmp(token, "1-0") == 0 || std::strcmp(token, "0-1") == 0 || std::strcmp(token, "1/2-1/2") == 0 ||
           std::strcmp(token, "*") == 0;
}

void copyBounded(char* target, const char* source, uint32_t length) {
    std::memcpy(target, source, length);
    target[length] = '\0';
}

}  // namespace

void PgnReader::start(int maxPliesWanted, PgnAccumulator gameAccumulator, void* accumulatorContext) {
    accumulator = gameAccumulator;
    context = accumulatorContext;
    maxPlies = static_cast<uint32_t>(maxPliesWanted < 0 ? 0 : maxPliesWanted > kPgnMaxPlies ? kPgnMaxPlies : maxPliesWanted);
    state = PGN_IDLE;
    phase = PHASE_NUMBER;
    depth = 0;
    savedState = PGN_IDLE;
    savedPhase = PHASE_NUMBER;
    plyCount = 0;
    glyphAfterWhite = false;
    commentInVariation = false;
    restOfLineComment = false;
    emptyToken();
    tagName[0] = '\0';
    tagValue[0] = '\0';
    clearGame();
}

void PgnReader::clearGame() { std::memset(&game, 0, sizeof game); }

void PgnReader::addToToken(char c, uint32_t limit) {
    if (tokenLength >= limit) return;  // over-long tokens keep their start
    token[tokenLength++] = c;
    token[tokenLength] = '\0';
}

void PgnReader::readPiece(const char* text, bool startsLine) {
    if (startsLine) {
        if (text[0] == '\0') return;
        emptyToken();
        restOfLineComment = false;
        // A tag line after the move text starts the next game's tags; a game
        // that was still being read there had no result and is discarded.
        if (text[0] == '[' && (state == PGN_SKIP || state == PGN_MOVES)) {
            if (state == PGN_MOVES) clearGame();
            plyCount = 0;
            glyphAfterWhite = false;
            state = PGN_IDLE;
        }
    }
    if (state == PGN_SKIP) return;
    for (const char* c = text; *c != '\0'; ++c) {
        handleCharacter(*c);
        if (state == PGN_SKIP) return;
    }
}

void PgnReader::finish() {
    if (state == PGN_MOVES && !restOfLineComment && tokenLength > 0) endMoveToken();
}

void PgnReader::handleCharacter(char c) {
    if (restOfLineComment) return;
    switch (state) {
        case PGN_IDLE: handleIdle(c); break;
        case PGN_TAG: handleTag(c); break;
        case PGN_VARIATION: handleVariation(c); break;
        case PGN_COMMENT: handleComment(c); break;
        case PGN_MOVES: handleMoves(c); break;
        case PGN_SKIP: break;
    }
}

void PgnReader::enterNested(PgnState nested) {
    if (++depth == 1) {
        savedState = state;
        savedPhase = phase;
    }
    state = nested;
    commentInVariation = false;
}

void PgnReader::leaveNested() {
    if (--depth == 0) {
        state = savedState;
        phase = savedPhase;
    }
}

void PgnReader::handleIdle(char c) {
    if (c == '[') {
        state = PGN_TAG;
        phase = PHASE_NUMBER;
        emptyToken();
        tagName[0] = '\0';
    } else if (c == '{') {
        enterNested(PGN_COMMENT);
    } else if (c == '(') {
        enterNested(PGN_VARIATION);
    } else if (c == ';') {
        restOfLineComment = true;
    } else if (c >= '1' && c <= '9') {
        emptyToken();
        addToToken(c, kPgnMaxMoveLength);
        state = PGN_MOVES;
    }
}

// Phase 0 reads the tag name, phase 1 the quoted value.
void PgnReader::handleTag(char c) {
    if (c == ']') {
        state = PGN_IDLE;
        phase = PHASE_NUMBER;
    } else if (phase == 0) {
        if (c == ' ' || c == '"') {
            // Blanks before the name or the value do not end an empty name.
            if (tokenLength > 0) copyBounded(tagName, token, tokenLength);
            emptyToken();
            if (c == '"') phase = 1;
        } else {
            addToToken(c, kPgnTagSize - 1);
        }
    } else if (c == '"') {
        copyBounded(tagValue, token, tokenLength);
        if (std::strcmp(tagName, "Result") == 0) {
            if (std::strcmp(tagValue, "1-0") == 0) ++game.whiteWins;
            if (std::strcmp(tagValue, "0-1") == 0) ++game.blackWins;
            if (std::strcmp(tagValue, "1/2-1/2") == 0) ++game.draws;
        }
        phase = 0;
        emptyToken();
    } else {
        addToToken(c, kPgnTagSize - 1);
    }
}

void PgnReader::handleVariation(char c) {
    if (commentInVariation) {
        // Parentheses inside a comment of a variation are text.
        if (c == '}') commentInVariation = false;
    } else if (c == '{') {
        commentInVariation = true;
    } else if (c == '(') {
        ++depth;
    } else if (c == ')') {
        leaveNested();
    } else if (c == ';') {
        restOfLineComment = true;
    }
}

void PgnReader::handleComment(char c) {
    if (c == '{') {
        ++depth;
    } else if (c == '}') {
        leaveNested();
    }
}

void PgnReader::handleMoves(char c) {
    switch (c) {
        case '(':
        case '{':
        case ';':
            // A move written right before a comment or variation is kept.
            if (tokenLength > 0) endMoveToken();
            if (state == PGN_MOVES) {
                if (c == ';') {
                    restOfLineComment = true;
                } else {
                    enterNested(c == '(' ? PGN_VARIATION : PGN_COMMENT);
                }
            } else {
                handleCharacter(c);
            }
            break;
        case '$':
            if (tokenLength > 0) endMoveToken();
            if (state != PGN_MOVES) break;
            if (phase == PHASE_BLACK) glyphAfterWhite = true;
            phase = PHASE_GLYPH;
            break;
        case '.':
            // In phase 0 the token is a move number; later dots (12... after
            // White's move) are dropped the same way.
            if (phase == PHASE_NUMBER) phase = glyphAfterWhite ? PHASE_BLACK : PHASE_WHITE;
            emptyToken();
            break;
        case ' ':
        case '\t':
        case '\r':
        case '\n':
            endMoveToken();
            break;
        default:
            addToToken(c, kPgnMaxMoveLength);
            break;
    }
}

void PgnReader::endMoveToken() {
    switch (phase) {
        case PHASE_NUMBER:
        case PHASE_WHITE:
        case PHASE_BLACK:
            if (isResultToken(token)) {
                // The game ended before maxPlies plies: it contributes nothing.
                clearGame();
                plyCount = 0;
                phase = PHASE_NUMBER;
                glyphAfterWhite = false;
                state = PGN_IDLE;
            } else if (phase != PHASE_NUMBER && tokenLength > 0) {
                storeMove();
            }
            break;
        case PHASE_GLYPH:
            // Black's move may follow a glyph on White's move without a number.
            phase = glyphAfterWhite ? PHASE_BLACK : PHASE_NUMBER;
            break;
    }
    emptyToken();
}

void PgnReader::storeMove() {
    if (plyCount < maxPlies) {
        copyBounded(game.moves[plyCount], token, tokenLength);
        game.moveCount = plyCount + 1;
    }
    ++plyCount;
    if (phase == PHASE_WHITE) {
        phase = PHASE_BLACK;
    } else {
        phase = PHASE_NUMBER;
        glyphAfterWhite = false;
    }
    if (plyCount == maxPlies) {
        if (accumulator != nullptr) accumulator(context, game);
        clearGame();
        state = PGN_SKIP;
    }
}

void readPgnStream(std::FILE* file, int maxPlies, PgnAccumulator accumulator, void* context) {
    PgnReader reader;
    reader.start(maxPlies, accumulator, context);
    char line[kPgnLineSize];
    bool startsLine = true;
    while (std::fgets(line, kPgnLineSize, file) != nullptr) {
        const size_t length = std::strlen(line);
        reader.readPiece(line, startsLine);
        // A full piece without its line feed is followed by the rest of the line.
        startsLine = length < static_cast<size_t>(kPgnLineSize - 1) || line[length - 1] == '\n';
    }
    reader.finish();
}

int readPgnGames(const char* path, int maxPlies, PgnAccumulator accumulator, void* context) {
    std::FILE* file = platform::openFile(path, "rb");
    if (file == nullptr) return 0;
    readPgnStream(file, maxPlies, accumulator, context);
    std::fclose(file);
    return 1;
}

}  // namespace tarvok
