// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/board.h"

#include <cstring>

#include "board/bitboard.h"
#include "board/zobrist.h"
#include "eval/piece_square.h"

namespace tarvok {

namespace {

constexpr char kBlackLetters[] = " pnbrqk";
constexpr char kWhiteLetters[] = " PNBRQK";

int pieceFromLetter(char c, int& colour) {
    for (int type = PAWN; type <= KING; ++type) {
        if (c == kBlackLetters[type]) {
            colour = BLACK;
            return type;
        }
        if (c == kWhiteLetters[type]) {
            colour = WHITE;
            return type;
        }
    }
    return NO_PIECE;
}

}  // namespace

void Board::clear() {
    occupied = 0;
    colourOccupied[0] = colourOccupied[1] = 0;
    std::memset(pieces, 0, sizeof pieces);
    hashKey = 0;
    material[0] = material[1] = 0;
    side = WHITE;
    xside = BLACK;
    stage = stageOfPhase(0);
    phaseCount[0] = phaseCount[1] = 0;
    middleGameSum[0] = middleGameSum[1] = 0;
    endgameSum[0] = endgameSum[1] = 0;
    std::memset(pieceCount, 0, sizeof pieceCount);
    castleRights = 0;
    epFile = 0;
    halfmoveClock = 0;
    kingSquare[BLACK] = 60;
    kingSquare[WHITE] = 4;
    std::memset(mailbox, 0, sizeof mailbox);
    plyCount = 0;
    keyHistoryCount = 0;
    hashKey = computeKey();
}

void Board::recomputeSums() {
    middleGameSum[0] = middleGameSum[1] = 0;
    endgameSum[0] = endgameSum[1] = 0;
    for (int square = 0; square < 64; ++square) {
        int type = mailbox[square];
        if (type == NO_PIECE) continue;
        int colour = pieceColourAt(square);
        middleGameSum[colour] += kPieceSquare.middleGame[colour][type][square];
        endgameSum[colour] += kPieceSquare.endgame[colour][type][square];
    }
}

void Board::setStartArray() {
    static constexpr int kBackRank[8] = {ROOK, KNIGHT, BISHOP, QUEEN, KING, BISHOP, KNIGHT, ROOK};
    clear();
    castleRights = CASTLE_WK | CASTLE_WQ | CASTLE_BK | CASTLE_BQ;
    for (int file = 0; file < 8; ++file) {
        const int placements[4][3] = {{WHITE, kBackRank[file], makeSquare(file, 0)},
                                      {WHITE, PAWN, makeSquare(file, 1)},
                                      {BLACK, PAWN, makeSquare(file, 6)},
                                      {BLACK, kBackRank[file], makeSquare(file, 7)}};
        for (const auto& [colour, type, square] : placements) {
            pieces[colour][type] |= squareBit[square];
            colourOccupied[colour] |= squareBit[square];
            mailbox[square] = static_cast<uint8_t>(type);
        }
    }
    occupied = colourOccupied[0] | colourOccupied[1];
    kingSquare[WHITE] = 4;
    kingSquare[BLACK] = 60;
    for (int colour = 0; colour < 2; ++colour) {
        pieceCount[colour][PAWN] = 8;
        pieceCount[colour][KNIGHT] = 2;
        pieceCount[colour][BISHOP] = 2;
        pieceCount[colour][ROOK] = 2;
        pieceCount[colour][QUEEN] = 1;
        pieceCount[colour][KING] = 1;
        material[colour] = 4075;
        phaseCount[colour] = 12;
    }
    stage = stageOfPhase(24);
    recomputeSums();
    hashKey = computeKey();
}

int Board::setFromFen(const char* text) {
    if (text == nullptr) return 0;
    uint8_t placed[64] = {};
    uint8_t placedColour[64] = {};
    int counts[2][8] = {};
    const char* p = text;

    // Placement, rank 8 to rank 1, file a to h.
    int rank = 7, file = 0;
    for (;; ++p) {
        char c = *p;
        if (file == 8 && c != (rank > 0 ? '/' : ' ')) return 0;
        if (c == ' ') break;
        if (c == '/') {
            if (rank == 0) return 0;
            --rank;
            file = 0;
        } else if (c >= '1' && c <= '8') {
            file += c - '0';
            if (file > 8) return 0;
        } else {
            int colour = 0;
            int type = pieceFromLetter(c, colour);
            if (type == NO_PIECE || file >= 8) return 0;
            int limit = type == PAWN ? 8 : type == KING ? 1 : 9;
            if (++counts[colour][type] > limit) return 0;
            placed[makeSquare(file, rank)] = static_cast<uint8_t>(type);
            placedColour[makeSquare(file, rank)] = static_cast<uint8_t>(colour);
            ++file;
        }
    }
    ++p;

    // Side to move and exactly one blank.
    int sideToMove;
    if (*p == 'w') sideToMove = WHITE;
    else if (*p == 'b') sideToMove = BLACK;
    else return 0;
    if (*++p != ' ') return 0;
    ++p;

    // Castling rights.
    int rights = 0;
    for (;; ++p) {
        char c = *p;
        if (c == ' ') break;
        if (c == 'K') rights |= CASTLE_WK;
        else if (c == 'Q') rights |= CASTLE_WQ;
        else if (c == 'k') rights |= CASTLE_BK;
        else if (c == 'q') rights |= CASTLE_BQ;
        else if (c != '-') return 0;
    }
    ++p;

    // En passant: '-', or a file letter with an optional rank digit. An empty
    // field (a blank straight away) means none. The text may end right after
    // a non-empty field: EPD-style FENs leave out the two move counters.
    int enPassantFile = 0;
    bool sawDash = false, sawDigit = false;
    for (;; ++p) {
        char c = *p;
        if (c == ' ') break;
        if (c == '\0' && (sawDash || enPassantFile != 0)) break;
        if (c == ';') continue;
        if (c == '-' && !sawDash && enPassantFile == 0) {
            sawDash = true;
        } else if (c >= 'a' && c <= 'h' && !sawDash && enPassantFile == 0) {
            enPassantFile = c - 'a' + 1;
        } else if (c >= '1' && c <= '8' && enPassantFile != 0 && !sawDigit) {
            sawDigit = true;
        } else {
            return 0;  // includes the end of the text in an empty field
        }
    }
    if (*p != '\0') ++p;

    // Halfmove clock (up to 30 digits, kept modulo 256), then the move number;
    // anything else ends the reading (EPD operations follow).
    int clock = 0, digits = 0;
    for (;; ++p) {
        char c = *p;
        if (c >= '0' && c <= '9') {
            if (++digits > 30) return 0;
            clock = (clock * 10 + (c - '0')) & 255;
            continue;
        }
        if (c != ' ') clock = 0;  // the field did not end with a blank
        break;
    }

    // Accepted: set the board up.
    plyCount = 0;
    keyHistoryCount = 0;
    occupied = 0;
    colourOccupied[0] = colourOccupied[1] = 0;
    std::memset(pieces, 0, sizeof pieces);
    std::memset(mailbox, 0, sizeof mailbox);
    std::memset(pieceCount, 0, sizeof pieceCount);
    material[0] = material[1] = 0;
    phaseCount[0] = phaseCount[1] = 0;
    // A side without a king keeps its usual start square; nothing reads it
    // as a king because hasKing() is false.
    kingSquare[WHITE] = 4;
    kingSquare[BLACK] = 60;
    for (int square = 0; square < 64; ++square) {
        int type = placed[square];
        if (type == NO_PIECE) continue;
        int colour = placedColour[square];
        pieces[colour][type] |= squareBit[square];
        colourOccupied[colour] |= squareBit[square];
        mailbox[square] = static_cast<uint8_t>(type);
        material[colour] += kPieceValue[type];
        phaseCount[colour] += kPhaseWeight[type];
        if (type == KING) kingSquare[colour] = static_cast<uint32_t>(square);
    }
    occupied = colourOccupied[0] | colourOccupied[1];
    for (int colour = 0; colour < 2; ++colour)
        for (int type = PAWN; type <= KING; ++type) pieceCount[colour][type] = counts[colour][type];

    // Castling rights that the pieces cannot support would make the generator
    // move a king or rook that is not there: keep only the supported ones.
    auto has = [&](int colour, int type, int square) {
        return placed[square] == type && placedColour[square] == colour;
    };
    if (!has(WHITE, KING, 4)) rights &= ~(CASTLE_WK | CASTLE_WQ);
    if (!has(WHITE, ROOK, 7)) rights &= ~CASTLE_WK;
    if (!has(WHITE, ROOK, 0)) rights &= ~CASTLE_WQ;
    if (!has(BLACK, KING, 60)) rights &= ~(CASTLE_BK | CASTLE_BQ);
    if (!has(BLACK, ROOK, 63)) rights &= ~CASTLE_BK;
    if (!has(BLACK, ROOK, 56)) rights &= ~CASTLE_BQ;
    castleRights = static_cast<uint8_t>(rights);

    side = static_cast<uint32_t>(sideToMove);
    xside = side ^ 1;
    stage = stageOfPhase(phaseCount[0] + phaseCount[1]);

    // An en-passant file is kept only when a double push could have produced
    // it (the pawn that advanced stands behind an empty target square);
    // otherwise an en-passant capture would remove a pawn that is not there.
    if (enPassantFile != 0) {
        int target = sideToMove == WHITE ? 40 + enPassantFile - 1 : 16 + enPassantFile - 1;
        int pawnSquare = sideToMove == WHITE ? target - 8 : target + 8;
        int originSquare = sideToMove == WHITE ? target + 8 : target - 8;
        if (!has(sideToMove ^ 1, PAWN, pawnSquare) || placed[target] != NO_PIECE || placed[originSquare] != NO_PIECE)
            enPassantFile = 0;
    }
    epFile = static_cast<uint8_t>(enPassantFile);
    halfmoveClock = static_cast<uint8_t>(clock);
    recomputeSums();
    hashKey = computeKey();
    return 1;
}

void Board::writeFen(char* buffer) const {
    char* out = buffer;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            int square = makeSquare(file, rank);
            int type = mailbox[square];
            if (type == NO_PIECE) {
                ++empty;
                continue;
            }
            if (empty) *out++ = static_cast<char>('0' + empty);
            empty = 0;
            *out++ = (colourOccupied[WHITE] & squareBit[square]) ? kWhiteLetters[type] : kBlackLetters[type];
        }
        if (empty) *out++ = static_cast<char>('0' + empty);
        if (rank > 0) *out++ = '/';
    }
    *out++ = ' ';
    *out++ = side == WHITE ? 'w' : 'b';
    *out++ = ' ';
    if (castleRights == 0) *out++ = '-';
    if (castleRights & CASTLE_WK) *out++ = 'K';
    if (castleRights & CASTLE_WQ) *out++ = 'Q';
    if (castleRights & CASTLE_BK) *out++ = 'k';
    if (castleRights & CASTLE_BQ) *out++ = 'q';
    *out++ = ' ';
    if (epFile == 0) {
        *out++ = '-';
    } else {
        *out++ = static_cast<char>('a' - 1 + epFile);
        *out++ = side == WHITE ? '6' : '3';
    }
    std::memcpy(out, " 0 1 ", 6);
}

HashKey Board::computeKey() const {
    HashKey key = 0;
    for (int square = 0; square < 64; ++square) {
        int type = mailbox[square];
        if (type == NO_PIECE) continue;
        if (colourOccupied[WHITE] & squareBit[square]) key ^= pieceKey(WHITE, type, square);
        else if (colourOccupied[BLACK] & squareBit[square]) key ^= pieceKey(BLACK, type, square);
    }
    key ^= kZobrist.castle[castleRights & 15];
    if (epFile != 0) key ^= kZobrist.enPassant[epFile - 1];
    if (side == BLACK) key ^= kZobrist.side;
    return key;
}

bool Board::isConsistent() const {
    Bitboard colours[2] = {0, 0};
    int32_t counted[2][8] = {};
    int32_t materialSum[2] = {0, 0}, phaseSum[2] = {0, 0}, middle[2] = {0, 0}, end[2] = {0, 0};
    for (int colour = 0; colour < 2; ++colour) {
        if (pieces[colour][0] != 0 || pieces[colour][7] != 0) return false;
        for (int type = PAWN; type <= KING; ++type) {
            if (pieces[colour][type] & colours[colour]) return false;
            colours[colour] |= pieces[colour][type];
        }
    }
    if (colours[0] != colourOccupied[0] || colours[1] != colourOccupied[1]) return false;
    if ((colours[0] & colours[1]) != 0 || occupied != (colours[0] | colours[1])) return false;
    for (int square = 0; square < 64; ++square) {
        int type = mailbox[square];
        if (type > KING) return false;
        if (type == NO_PIECE) {
            if (occupied & squareBit[square]) return false;
            continue;
        }
        int colour = pieceColourAt(square);
        if (!(pieces[colour][type] & squareBit[square])) return false;
        ++counted[colour][type];
        materialSum[colour] += kPieceValue[type];
        phaseSum[colour] += kPhaseWeight[type];
        middle[colour] += kPieceSquare.middleGame[colour][type][square];
        end[colour] += kPieceSquare.endgame[colour][type][square];
    }
    for (int colour = 0; colour < 2; ++colour) {
        for (int type = 0; type < 8; ++type)
            if (counted[colour][type] != pieceCount[colour][type]) return false;
        if (materialSum[colour] != material[colour] || phaseSum[colour] != phaseCount[colour]) return false;
        if (middle[colour] != middleGameSum[colour] || end[colour] != endgameSum[colour]) return false;
        if (kingSquare[colour] > 63) return false;
        if (hasKing(colour) && !(pieces[colour][KING] & squareBit[kingSquare[colour]])) return false;
    }
    if (xside != (side ^ 1) || side > 1) return false;
    if (stage != stageOfPhase(phaseCount[0] + phaseCount[1])) return false;
    if (epFile > 8 || castleRights > 15) return false;
    if (plyCount > static_cast<uint32_t>(kMaxPlyRecords) || keyHistoryCount > static_cast<uint32_t>(kMaxPlyRecords))
        return false;
    return hashKey == computeKey();
}

int mirrorFen(const char* fen, char* buffer, int size) {
    if (size <= 0) return 0;
    buffer[0] = '\0';
    if (fen == nullptr) return 0;
    // Locate the eight ranks of the placement.
    const char* rankStart[8];
    int rankLength[8];
    int ranks = 0;
    const char* p = fen;
    rankStart[0] = p;
    for (;; ++p) {
        if (*p == '\0') return 0;
        if (*p == '/' || *p == ' ') {
            rankLength[ranks] = static_cast<int>(p - rankStart[ranks]);
            ++ranks;
            if (*p == ' ') break;
            if (ranks == 8) return 0;
            rankStart[ranks] = p + 1;
        }
    }
    if (ranks != 8) return 0;
    int length = 0;
    auto put = [&](char c) {
        if (length < size - 1) buffer[length++] = c;
    };
    for (int rank = 7; rank >= 0; --rank) {
        for (int i = 0; i < rankLength[rank]; ++i) {
            char c = rankStart[rank][i];
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            put(c);
        }
        if (rank > 0) put('/');
    }
    for (; *p != '\0'; ++p) {
        char c = *p;
        switch (c) {
            case 'w': c = 'b'; break;
            case 'b': c = 'w'; break;
            case 'K': c = 'k'; break;
            case 'k': c = 'K'; break;
            case 'Q': c = 'q'; break;
            case 'q': c = 'Q'; break;
            default: break;
        }
        put(c);
    }
    buffer[length] = '\0';
    return 1;
}

}  // namespace tarvok
