// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/movegen.h"

namespace tarvok {

namespace {


// Appends moves; once the list is full, further moves land in the spare
// entry past the end and are dropped.
struct MoveWriter {
    MoveEntry* entries;
    int index;
    int first;

    MoveWriter(MoveList& list, int start)
        : entries(list.entries), index(start < kMaxMoves ? start : kMaxMoves), first(index) {}

    void add(Move move) {
        entries[index].move = move;
        index += index < kMaxMoves;
    }
    void addPromotions(int from, int to, int captured) {
        static constexpr int kOrder[4] = {QUEEN, ROOK, KNIGHT, BISHOP};
        for (int promotion : kOrder) add(makeMoveWord(from, to, PAWN, captured, promotion));
    }
    int written() const { return index - first; }
};

// Pawn geometry of the side to move.
struct PawnDirections {
    int forward;          // +8 for White, -8 for Black
    Bitboard seventhRank;  // the rank before promotion
    Bitboard secondRank;   // the start rank
    Bitboard lastRank;
};

inline PawnDirections pawnDirections(int side) {
    if (side == WHITE) return {8, kRank7, kRank2, kRank8};
    return {-8, kRank2, kRank7, kRank1};
}

inline Bitboard shiftForward(Bitboard set, int side) { return side == WHITE ? set << 8 : set >> 8; }

inline Bitboard pieceAttacks(int type, int square, Bitboard occupancy) {
    switch (type) {
        case KNIGHT: return knightAttacks[square];
        case BISHOP: return bishopAttacks(square, occupancy);
        case ROOK: return rookAttacks(square, occupancy);
        case QUEEN: return queenAttacks(square, occupancy);
        default: return kingAttacks[square];
    }
}

// Knights, bishops, rooks, queens and the king onto the target set.
inline void addPieceMoves(const Board& board, MoveWriter& out, Bitboard targets) {
    const Bitboard* own = board.pieces[board.side];
    for (int type = KNIGHT; type <= KING; ++type) {
        for (Bitboard from = own[type]; from;) {
            int fromSquare = popLowest(from);
            for (Bitboard to = pieceAttacks(type, fromSquare, board.occupied) & targets; to;) {
                int toSquare = popLowest(to);
                out.add(makeMoveWord(fromSquare, toSquare, type, board.mailbox[toSquare]));
            }
        }
    }
}

}  // namespace

int generateCaptures(const Board& board, MoveList& list, int first) {
    MoveWriter out(list, first);
    const int side = static_cast<int>(board.side);
    const PawnDirections dir = pawnDirections(side);
    const Bitboard enemy = board.colourOccupied[board.xside];
    const Bitboard empty = ~board.occupied;
    const Bitboard pawns = board.pieces[side][PAWN];

    addPieceMoves(board, out, enemy);

    for (Bitboard to = shiftForward(pawns & dir.seventhRank, side) & empty; to;) {
        int toSquare = popLowest(to);
        out.addPromotions(toSquare - dir.forward, toSquare, NO_PIECE);
    }
    for (Bitboard from = pawns; from;) {
        int fromSquare = popLowest(from);
        for (Bitboard to = pawnAttacks[side][fromSquare] & enemy; to;) {
            int toSquare = popLowest(to);
            int captured = board.mailbox[toSquare];
            if (squareBit[toSquare] & dir.lastRank) out.addPromotions(fromSquare, toSquare, captured);
            else out.add(makeMoveWord(fromSquare, toSquare, PAWN, captured));
        }
    }
    if (board.epFile != 0) {
        int target = (side == WHITE ? 40 : 16) + board.epFile - 1;
        for (Bitboard from = pawns & pawnAttacks[side ^ 1][target]; from;)
            out.add(makeMoveWord(popLowest(from), target, PAWN, PAWN, 0, MOVE_EN_PASSANT));
    }
    return out.written();
}

int generateQuiets(const Board& board, MoveList& list, int first) {
    MoveWriter out(list, first);
    const int side = static_cast<int>(board.side);
    const int enemy = side ^ 1;
    const PawnDirections dir = pawnDirections(side);
    const Bitboard empty = ~board.occupied;
    const Bitboard pawns = board.pieces[side][PAWN];

    // Castling: emptiness, then safety square by square, king side first.
    const int base = side == WHITE ? 0 : 56;
    const uint8_t kingSide = side == WHITE ? CASTLE_WK : CASTLE_BK;
    const uint8_t queenSide = side == WHITE ? CASTLE_WQ : CASTLE_BQ;
    if ((board.castleRights & kingSide) && (empty & squareBit[base + 5]) && (empty & squareBit[base + 6]) &&
        !isSquareAttacked(board, base + 4, enemy) && !isSquareAttacked(board, base + 5, enemy) &&
        !isSquareAttacked(board, base + 6, enemy))
        out.add(makeMoveWord(base + 4, base + 6, KING, 0, 0, MOVE_CASTLE));
    if ((board.castleRights & queenSide) && (empty & squareBit[base + 1]) && (empty & squareBit[base + 2]) &&
        (empty & squareBit[base + 3]) && !isSquareAttacked(board, base + 4, enemy) &&
        !isSquareAttacked(board, base + 3, enemy) && !isSquareAttacked(board, base + 2, enemy))
        out.add(makeMoveWord(base + 4, base + 2, KING, 0, 0, MOVE_CASTLE));

    addPieceMoves(board, out, empty);

    const Bitboard singles = shiftForward(pawns & ~dir.seventhRank, side) & empty;
    for (Bitboard to = singles; to;) {
        int toSquare = popLowest(to);
        out.add(makeMoveWord(toSquare - dir.forward, toSquare, PAWN));
    }
    for (Bitboard to = shiftForward(shiftForward(pawns & dir.secondRank, side) & empty, side) & empty; to;) {
        int toSquare = popLowest(to);
        out.add(makeMoveWord(toSquare - 2 * dir.forward, toSquare, PAWN, 0, 0, MOVE_DOUBLE_PUSH));
    }
    return out.written();
}

bool blocksCheck(const Board& board, int square, int colour) {
    const int line = lineType[square][board.kingSquare[colour]];
    if (line == LINE_NONE) return false;
    const Bitboard* enemy = board.pieces[colour ^ 1];
    const Bitboard king = board.pieces[colour][KING];
    if (line == LINE_FILE || line == LINE_RANK) {
        Bitboard seen = rookAttacks(square, board.occupied);
        return (seen & king) && (seen & (enemy[ROOK] | enemy[QUEEN]));
    }
    Bitboard seen = bishopAttacks(square, board.occupied);
    return (seen & king) && (seen & (enemy[BISHOP] | enemy[QUEEN]));
}

int generateEvasions(const Board& board, MoveList& list, int first) {
    MoveWriter out(list, first);
    const int side = static_cast<int>(board.side);
    const int enemy = side ^ 1;
    const PawnDirections dir = pawnDirections(side);
    const Bitboard* own = board.pieces[side];
    const Bitboard* theirs = board.pieces[enemy];
    const Bitboard ownPieces = board.colourOccupied[side];
    const Bitboard empty = ~board.occupied;
    if (!board.hasKing(side)) return 0;
    const int king = static_cast<int>(board.kingSquare[side]);

    const Bitboard diagonal = bishopAttacks(king, board.occupied);
    const Bitboard straight = rookAttacks(king, board.occupied);
    const Bitboard sliderCheckers =
        (straight & (theirs[ROOK] | theirs[QUEEN])) | (diagonal & (theirs[BISHOP] | theirs[QUEEN]));
    const Bitboard checkers =
        (knightAttacks[king] & theirs[KNIGHT]) | (pawnAttacks[side][king] & theirs[PAWN]) | sliderCheckers;

    for (Bitboard to = kingAttacks[king] & ~ownPieces; to;) {
        int toSquare = popLowest(to);
        if (!isSquareAttacked(board, toSquare, enemy))
            out.add(makeMoveWord(king, toSquare, KING, board.mailbox[toSquare]));
    }
    if (popCount(checkers) != 1) return out.written();
    const int checker = lowestSquare(checkers);
    const Bitboard checkerBit = checkers;  // exactly one square

    if ((checkers & sliderCheckers) && !(kingAttacks[king] & checkerBit)) {
        const Bitboard pawns = own[PAWN];
        for (Bitboard to = shiftForward(pawns, side) & empty; to;) {
            int toSquare = popLowest(to);
            if (!blocksCheck(board, toSquare, side)) continue;
            int fromSquare = toSquare - dir.forward;
            if (squareBit[toSquare] & dir.lastRank) out.addPromotions(fromSquare, toSquare, NO_PIECE);
            else out.add(makeMoveWord(fromSquare, toSquare, PAWN));
        }
        for (Bitboard to = shiftForward(shiftForward(pawns & dir.secondRank, side) & empty, side) & empty; to;) {
            int toSquare = popLowest(to);
            if (blocksCheck(board, toSquare, side))
                out.add(makeMoveWord(toSquare - 2 * dir.forward, toSquare, PAWN, 0, 0, MOVE_DOUBLE_PUSH));
        }
        const Bitboard allowed = ~ownPieces & ~checkerBit;
        for (int type = KNIGHT; type <= QUEEN; ++type) {
            for (Bitboard from = own[type]; from;) {
                int fromSquare = popLowest(from);
                for (Bitboard to = pieceAttacks(type, fromSquare, board.occupied) & allowed; to;) {
                    int toSquare = popLowest(to);
                    if (blocksCheck(board, toSquare, side))
                        out.add(makeMoveWord(fromSquare, toSquare, type, board.mailbox[toSquare]));
                }
            }
        }
    }

    const int capturedType = board.mailbox[checker];
    for (Bitboard from = own[PAWN] & pawnAttacks[enemy][checker]; from;) {
        int fromSquare = popLowest(from);
        if (checkerBit & dir.lastRank) out.addPromotions(fromSquare, checker, capturedType);
        else out.add(makeMoveWord(fromSquare, checker, PAWN, capturedType));
    }
    if (board.epFile != 0) {
        int target = (side == WHITE ? 40 : 16) + board.epFile - 1;
        if (target - dir.forward == checker) {
            for (Bitboard from = own[PAWN] & pawnAttacks[enemy][target]; from;)
                out.add(makeMoveWord(popLowest(from), target, PAWN, PAWN, 0, MOVE_EN_PASSANT));
        }
    }
    for (int type = KNIGHT; type <= QUEEN; ++type) {
        for (Bitboard from = own[type]; from;) {
            int fromSquare = popLowest(from);
            if (pieceAttacks(type, fromSquare, board.occupied) & checkerBit)
                out.add(makeMoveWord(fromSquare, checker, type, capturedType));
        }
    }
    return out.written();
}

int generateAll(const Board& board, MoveList& list, int first, bool inCheck) {
    if (inCheck) return generateEvasions(board, list, first);
    int count = generateCaptures(board, list, first);
    return count + generateQuiets(board, list, first + count);
}

bool isValidMove(const Board& board, Move move) {
    if (move == NO_MOVE) return false;
    const int side = static_cast<int>(board.side);
    const int enemy = side ^ 1;
    const int from = moveFrom(move), to = moveTo(move), piece = movePiece(move), captured = moveCaptured(move);
    if (piece < PAWN || piece > KING || !(board.pieces[side][piece] & squareBit[from])) return false;
    // A pawn move must go the mover's way; a move word of the other colour
    // (met through a key collision) would otherwise set a false en-passant file.
    if (piece == PAWN && (side == WHITE ? to <= from : to >= from)) return false;
    if (isDoublePush(move) && (piece != PAWN || to != (side == WHITE ? from + 16 : from - 16))) return false;
    if (isEnPassant(move)) {
        int behind = side == WHITE ? to - 8 : to + 8;
        return board.epFile != 0 && !(board.occupied & squareBit[to]) && behind >= 0 && behind < 64 &&
               (board.pieces[enemy][PAWN] & squareBit[behind]) &&
               to == (side == WHITE ? 40 : 16) + board.epFile - 1 && piece == PAWN;
    }
    if (piece == BISHOP && !(bishopAttacks(from, board.occupied) & squareBit[to])) return false;
    if (piece == ROOK && !(rookAttacks(from, board.occupied) & squareBit[to])) return false;
    if (piece == QUEEN && !(queenAttacks(from, board.occupied) & squareBit[to])) return false;
    if (isDoublePush(move)) {
        int passed = side == WHITE ? to - 8 : to + 8;
        if (passed < 0 || passed > 63 || (board.occupied & squareBit[passed])) return false;
    }
    if (captured != NO_PIECE) return captured <= KING && (board.pieces[enemy][captured] & squareBit[to]) != 0;
    if (board.occupied & squareBit[to]) return false;
    if (!isCastle(move)) return true;

    if (isInCheck(board, side)) return false;
    const int base = side == WHITE ? 0 : 56;
    if (piece != KING || from != base + 4 || board.mailbox[base + 4] != KING) return false;
    const Bitboard ownRooks = board.pieces[side][ROOK];
    if (to == base + 6) {
        uint8_t right = side == WHITE ? CASTLE_WK : CASTLE_BK;
        return (board.castleRights & right) && !(board.occupied & squareBit[base + 5]) &&
               (ownRooks & squareBit[base + 7]) && !isSquareAttacked(board, base + 5, enemy) &&
               !isSquareAttacked(board, base + 4, enemy);
    }
    if (to == base + 2) {
        uint8_t right = side == WHITE ? CASTLE_WQ : CASTLE_BQ;
        return (board.castleRights & right) && !(board.occupied & squareBit[base + 1]) &&
               !(board.occupied & squareBit[base + 3]) && (ownRooks & squareBit[base]) &&
               !isSquareAttacked(board, base + 3, enemy) && !isSquareAttacked(board, base + 4, enemy);
    }
    return false;
}

}  // namespace tarvok
