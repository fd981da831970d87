// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/legal_count.h"

#include "board/movegen.h"

namespace tarvok {

namespace {


// Whether square is attacked by colour with the given occupancy (the king
// that moves is removed from it, so it cannot hide behind itself).
inline bool attackedWith(const Board& board, int square, int colour, Bitboard occupancy) {
    const Bitboard* attacker = board.pieces[colour];
    return (pawnAttacks[colour ^ 1][square] & attacker[PAWN]) || (knightAttacks[square] & attacker[KNIGHT]) ||
           (kingAttacks[square] & attacker[KING]) ||
           (bishopAttacks(square, occupancy) & (attacker[BISHOP] | attacker[QUEEN])) ||
           (rookAttacks(square, occupancy) & (attacker[ROOK] | attacker[QUEEN]));
}

// Counts pawn moves onto targets, promotions counting four.
inline int countPawnTargets(Bitboard targets, Bitboard lastRank) {
    return popCount(targets & ~lastRank) + 4 * popCount(targets & lastRank);
}

}  // namespace

int countLegalMovesFast(const Board& board) {
    const int side = static_cast<int>(board.side);
    const int enemy = side ^ 1;
    if (!board.hasKing(side)) {
        // Without a king every generated move is legal.
        MoveList list;
        return generateAll(board, list, 0, false);
    }
    const Bitboard* own = board.pieces[side];
    const Bitboard* theirs = board.pieces[enemy];
    const Bitboard ownPieces = board.colourOccupied[side];
    const Bitboard enemyPieces = board.colourOccupied[enemy];
    const Bitboard occupied = board.occupied;
    const int king = static_cast<int>(board.kingSquare[side]);

    const Bitboard checkers = (pawnAttacks[side][king] & theirs[PAWN]) | (knightAttacks[king] & theirs[KNIGHT]) |
                              (bishopAttacks(king, occupied) & (theirs[BISHOP] | theirs[QUEEN])) |
                              (rookAttacks(king, occupied) & (theirs[ROOK] | theirs[QUEEN]));

    // King moves: the destination must be safe with the king lifted.
    int count = 0;
    const Bitboard withoutKing = occupied ^ squareBit[king];
    for (Bitboard targets = kingAttacks[king] & ~ownPieces; targets;) {
        const int target = popLowest(targets);
        if (!attackedWith(board, target, enemy, withoutKing)) ++count;
    }
    if (popCount(checkers) > 1) return count;

    // Squares that other moves may reach: anywhere, or the checker and the
    // squares between it and the king.
    Bitboard allowed = ~ownPieces;
    if (checkers) allowed &= checkers | betweenSquares[king][lowestSquare(checkers)];

    // Pinned pieces may move only along the line of their pin.
    Bitboard pinned = 0;
    const Bitboard pinners = (bishopAttacks(king, enemyPieces) & (theirs[BISHOP] | theirs[QUEEN])) |
                             (rookAttacks(king, enemyPieces) & (theirs[ROOK] | theirs[QUEEN]));
    for (Bitboard candidates = pinners; candidates;) {
        const Bitboard between = betweenSquares[king][popLowest(candidates)] & occupied;
        if (between && !(between & (between - 1)) && (between & ownPieces)) pinned |= between;
    }

    for (int type = KNIGHT; type <= QUEEN; ++type) {
        for (Bitboard from = own[type]; from;) {
            const int square = popLowest(from);
            Bitboard targets;
            switch (type) {
                case KNIGHT: targets = knightAttacks[square]; break;
                case BISHOP: targets = bishopAttacks(square, occupied); break;
                case ROOK: targets = rookAttacks(square, occupied); break;
                default: targets = queenAttacks(square, occupied); break;
            }
            targets &= allowed;
            if (pinned & squareBit[square]) targets &= lineThrough[king][square];
            count += popCount(targets);
        }
    }

    // Pawns: free pawns by whole sets, pinned ones one by one.
    const Bitboard lastRank = side == WHITE ? kRank8 : kRank1;
    const Bitboard startRank = side == WHITE ? kRank2 : kRank7;
    const Bitboard empty = ~occupied;
    auto forward = [side](Bitboard set) { return side == WHITE ? set << 8 : set >> 8; };
    auto pawnMoves = [&](Bitboard pawns) {
        const Bitboard singles = forward(pawns) & empty;
        const Bitboard doubles = forward(forward(pawns & startRank) & empty) & empty;
        int moves = countPawnTargets(singles & allowed, lastRank) + popCount(doubles & allowed);
        // Captures to the left and right of the mover.
        const Bitboard leftFile = 0x0101010101010101ULL, rightFile = 0x8080808080808080ULL;
        const Bitboard towardsLowFile = side == WHITE ? (pawns & ~leftFile) << 7 : (pawns & ~leftFile) >> 9;
        const Bitboard towardsHighFile = side == WHITE ? (pawns & ~rightFile) << 9 : (pawns & ~rightFile) >> 7;
        moves += countPawnTargets(towardsLowFile & enemyPieces & allowed, lastRank);
        moves += countPawnTargets(towardsHighFile & enemyPieces & allowed, lastRank);
        return moves;
    };
    count += pawnMoves(own[PAWN] & ~pinned);
    for (Bitboard from = own[PAWN] & pinned; from;) {
        const int square = popLowest(from);
        const Bitboard line = lineThrough[king][square];
        const Bitboard savedAllowed = allowed;
        allowed &= line;
        count += pawnMoves(squareBit[square]);
        allowed = savedAllowed;
    }

    // En passant: decided by lifting both pawns and testing the king.
    if (board.epFile != 0) {
        const int target = (side == WHITE ? 40 : 16) + board.epFile - 1;
        const int capturedSquare = side == WHITE ? target - 8 : target + 8;
        for (Bitboard from = own[PAWN] & pawnAttacks[enemy][target]; from;) {
            const int square = popLowest(from);
            const Bitboard after =
                (occupied ^ squareBit[square] ^ squareBit[capturedSquare]) | squareBit[target];
            const bool exposed =
                (bishopAttacks(king, after) & (theirs[BISHOP] | theirs[QUEEN])) ||
                (rookAttacks(king, after) & (theirs[ROOK] | theirs[QUEEN])) ||
                (knightAttacks[king] & theirs[KNIGHT]) ||
                (pawnAttacks[side][king] & theirs[PAWN] & ~squareBit[capturedSquare]);
            if (!exposed) ++count;
        }
    }

    // Castling: the generator's own conditions already make it legal.
    if (!checkers) {
        const int base = side == WHITE ? 0 : 56;
        const uint8_t kingSide = side == WHITE ? CASTLE_WK : CASTLE_BK;
        const uint8_t queenSide = side == WHITE ? CASTLE_WQ : CASTLE_BQ;
        if ((board.castleRights & kingSide) && (empty & squareBit[base + 5]) && (empty & squareBit[base + 6]) &&
            !isSquareAttacked(board, base + 5, enemy) && !isSquareAttacked(board, base + 6, enemy))
            ++count;
        if ((board.castleRights & queenSide) && (empty & squareBit[base + 1]) && (empty & squareBit[base + 2]) &&
            (empty & squareBit[base + 3]) && !isSquareAttacked(board, base + 3, enemy) &&
            !isSquareAttacked(board, base + 2, enemy))
            ++count;
    }
    return count;
}

}  // namespace tarvok
