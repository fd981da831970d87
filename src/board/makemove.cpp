// SPDX-License-Identifier: GPL-3.0-or-later
// makeMove and unmakeMove: every incremental field of the Board kept in step,
// the position before the move saved on the PlyRecord stack.
#include <cstdlib>

#include "board/board.h"
#include "board/movegen.h"
#include "board/zobrist.h"
#include "eval/piece_square.h"

namespace tarvok {

namespace {

// Castling rook squares by the king's target square.
struct CastleRook {
    int from;
    int to;
};

inline CastleRook castleRook(int kingTarget) {
    switch (kingTarget) {
        case 6: return {7, 5};     // White king side
        case 2: return {0, 3};     // White queen side
        case 62: return {63, 61};  // Black king side
        default: return {56, 59};  // Black queen side (58)
    }
}

// Rights lost when a piece leaves or arrives on a square: the king and rook
// start squares.
constexpr uint8_t rightsTouchedBy(int square) {
    switch (square) {
        case 0: return CASTLE_WQ;
        case 7: return CASTLE_WK;
        case 56: return CASTLE_BQ;
        case 63: return CASTLE_BK;
        default: return 0;
    }
}

inline int psqMiddle(int colour, int type, int square) { return kPieceSquare.middleGame[colour][type][square]; }
inline int psqEnd(int colour, int type, int square) { return kPieceSquare.endgame[colour][type][square]; }

}  // namespace

int Board::makeMove(Move move) {
    const int s = static_cast<int>(side), x = static_cast<int>(xside);
    const int from = moveFrom(move), to = moveTo(move);
    const int piece = movePiece(move), captured = moveCaptured(move), promotion = movePromotion(move);

    PlyRecord& record = plyRecords[plyCount];
    record.key = hashKey;
    record.move = move;
    record.castleRights = castleRights;
    record.epFile = epFile;
    record.halfmoveClock = halfmoveClock;
    keyHistory[keyHistoryCount++] = hashKey;
    ++plyCount;

    halfmoveClock = (captured != NO_PIECE || piece == PAWN) ? 0 : static_cast<uint8_t>(halfmoveClock + 1);

    // Lift the piece.
    const Bitboard fromBit = squareBit[from], toBit = squareBit[to];
    occupied &= ~fromBit;
    colourOccupied[s] &= ~fromBit;
    pieces[s][piece] &= ~fromBit;
    hashKey ^= pieceKey(s, piece, from);
    mailbox[from] = NO_PIECE;
    middleGameSum[s] -= psqMiddle(s, piece, from);
    endgameSum[s] -= psqEnd(s, piece, from);

    if (epFile != 0) hashKey ^= kZobrist.enPassant[epFile - 1];

    uint8_t rights = castleRights;
    if (captured != NO_PIECE) {
        int captureSquare = to;
        if (isEnPassant(move)) {
            captureSquare = to + (s == WHITE ? -8 : 8);
            occupied &= ~squareBit[captureSquare];
            mailbox[captureSquare] = NO_PIECE;
        }
        material[x] -= kPieceValue[captured];
        phaseCount[x] -= kPhaseWeight[captured];
        --pieceCount[x][captured];
        middleGameSum[x] -= psqMiddle(x, captured, captureSquare);
        endgameSum[x] -= psqEnd(x, captured, captureSquare);
        colourOccupied[x] &= ~squareBit[captureSquare];
        pieces[x][captured] &= ~squareBit[captureSquare];
        hashKey ^= pieceKey(x, captured, captureSquare);
        if (captured == ROOK) {
            uint8_t enemyRights = x == WHITE ? (CASTLE_WK | CASTLE_WQ) : (CASTLE_BK | CASTLE_BQ);
            rights &= static_cast<uint8_t>(~(rightsTouchedBy(captureSquare) & enemyRights));
        }
    }
    occupied |= toBit;

    int placedPiece = piece;
    if (promotion != NO_PIECE) {
        material[s] += kPieceValue[promotion] - kPieceValue[PAWN];
        phaseCount[s] += kPhaseWeight[promotion];
        --pieceCount[s][PAWN];
        ++pieceCount[s][promotion];
        placedPiece = promotion;
    }
    middleGameSum[s] += psqMiddle(s, placedPiece, to);
    endgameSum[s] += psqEnd(s, placedPiece, to);
    colourOccupied[s] |= toBit;
    pieces[s][placedPiece] |= toBit;
    hashKey ^= pieceKey(s, placedPiece, to);
    mailbox[to] = static_cast<uint8_t>(placedPiece);

    if (isDoublePush(move)) {
        epFile = static_cast<uint8_t>(fileOf(to) + 1);
        hashKey ^= kZobrist.enPassant[fileOf(to)];
    } else {
        epFile = 0;
    }

    if (isCastle(move)) {
        const CastleRook rook = castleRook(to);
        const Bitboard rookBits = squareBit[rook.from] | squareBit[rook.to];
        middleGameSum[s] += psqMiddle(s, ROOK, rook.to) - psqMiddle(s, ROOK, rook.from);
        endgameSum[s] += psqEnd(s, ROOK, rook.to) - psqEnd(s, ROOK, rook.from);
        occupied ^= rookBits;
        colourOccupied[s] ^= rookBits;
        pieces[s][ROOK] ^= rookBits;
        hashKey ^= pieceKey(s, ROOK, rook.from) ^ pieceKey(s, ROOK, rook.to);
        mailbox[rook.from] = NO_PIECE;
        mailbox[rook.to] = ROOK;
    }

    if (piece == KING) {
        kingSquare[s] = static_cast<uint32_t>(to);
        rights &= s == WHITE ? static_cast<uint8_t>(~(CASTLE_WK | CASTLE_WQ)) : static_cast<uint8_t>(~(CASTLE_BK | CASTLE_BQ));
    } else if (piece == ROOK) {
        // Only the mover's own corner squares can carry its rights.
        uint8_t touched = rightsTouchedBy(from);
        uint8_t ownRights = s == WHITE ? (CASTLE_WK | CASTLE_WQ) : (CASTLE_BK | CASTLE_BQ);
        rights &= static_cast<uint8_t>(~(touched & ownRights));
    }
    if (rights != castleRights) {
        hashKey ^= kZobrist.castle[castleRights] ^ kZobrist.castle[rights];
        castleRights = rights;
    }

    hashKey ^= kZobrist.side;
    stage = stageOfPhase(phaseCount[0] + phaseCount[1]);

    int legal = 1;
    if (pieces[s][KING]) {
        const int king = static_cast<int>(kingSquare[s]);
        legal = !((pawnAttacks[s][king] & pieces[x][PAWN]) || (knightAttacks[king] & pieces[x][KNIGHT]) ||
                  attackedBySliderOrKing(*this, king, x));
    }
    side = static_cast<uint32_t>(x);
    xside = static_cast<uint32_t>(s);
    if constexpr (kCheckInvariants) {
        if (!isConsistent()) std::abort();
    }
    return legal;
}

int Board::unmakeMove(Move move) {
    const int s = static_cast<int>(xside), x = static_cast<int>(side);
    const int from = moveFrom(move), to = moveTo(move);
    const int piece = movePiece(move), captured = moveCaptured(move), promotion = movePromotion(move);

    --keyHistoryCount;
    side = static_cast<uint32_t>(s);
    xside = static_cast<uint32_t>(x);

    const Bitboard fromBit = squareBit[from], toBit = squareBit[to];
    const int placedPiece = promotion != NO_PIECE ? promotion : piece;
    pieces[s][placedPiece] &= ~toBit;
    middleGameSum[s] -= psqMiddle(s, placedPiece, to);
    endgameSum[s] -= psqEnd(s, placedPiece, to);
    if (promotion != NO_PIECE) {
        material[s] += kPieceValue[PAWN] - kPieceValue[promotion];
        phaseCount[s] -= kPhaseWeight[promotion];
        --pieceCount[s][promotion];
        ++pieceCount[s][PAWN];
    }
    colourOccupied[s] &= ~toBit;
    if (captured == NO_PIECE || isEnPassant(move)) {
        occupied &= ~toBit;
        mailbox[to] = NO_PIECE;
    }
    if (captured != NO_PIECE) {
        const int captureSquare = isEnPassant(move) ? to + (s == WHITE ? -8 : 8) : to;
        const Bitboard captureBit = squareBit[captureSquare];
        material[x] += kPieceValue[captured];
        phaseCount[x] += kPhaseWeight[captured];
        ++pieceCount[x][captured];
        occupied |= captureBit;
        colourOccupied[x] |= captureBit;
        pieces[x][captured] |= captureBit;
        mailbox[captureSquare] = static_cast<uint8_t>(captured);
        middleGameSum[x] += psqMiddle(x, captured, captureSquare);
        endgameSum[x] += psqEnd(x, captured, captureSquare);
    }

    occupied |= fromBit;
    colourOccupied[s] |= fromBit;
    pieces[s][piece] |= fromBit;
    middleGameSum[s] += psqMiddle(s, piece, from);
    endgameSum[s] += psqEnd(s, piece, from);
    mailbox[from] = static_cast<uint8_t>(piece);

    if (isCastle(move)) {
        const CastleRook rook = castleRook(to);
        const Bitboard rookBits = squareBit[rook.from] | squareBit[rook.to];
        middleGameSum[s] += psqMiddle(s, ROOK, rook.from) - psqMiddle(s, ROOK, rook.to);
        endgameSum[s] += psqEnd(s, ROOK, rook.from) - psqEnd(s, ROOK, rook.to);
        occupied ^= rookBits;
        colourOccupied[s] ^= rookBits;
        pieces[s][ROOK] ^= rookBits;
        mailbox[rook.to] = NO_PIECE;
        mailbox[rook.from] = ROOK;
    }
    if (piece == KING) kingSquare[s] = static_cast<uint32_t>(from);

    --plyCount;
    const PlyRecord& record = plyRecords[plyCount];
    hashKey = record.key;
    castleRights = record.castleRights;
    epFile = record.epFile;
    halfmoveClock = record.halfmoveClock;
    stage = stageOfPhase(phaseCount[0] + phaseCount[1]);
    if constexpr (kCheckInvariants) {
        if (!isConsistent()) std::abort();
    }
    return 1;
}

}  // namespace tarvok
