// SPDX-License-Identifier: GPL-3.0-or-later
// Move ordering: alpha-beta and quiescence scorers, the exchange sort, the
// static exchange evaluator, and the killer and history updates.
#include "board/bitboard.h"
#include "search/search_engine.h"

namespace tarvok {

namespace {

constexpr int kOrderingValue[8] = {0, 100, 325, 325, 500, 975, 0, 0};
constexpr int kExchangeValue[8] = {0, 100, 325, 325, 500, 975, 5000, 0};

constexpr int kHashMoveScore = 100000;
constexpr int kCaptureBase = 50000;
constexpr int kLosingCaptureBase = 2000;
constexpr int kFirstKillerScore = 45010;
constexpr int kSecondKillerScore = 45000;
constexpr int kQuietBase = 4000;
constexpr uint32_t kHistoryCeiling = 9999;

inline bool isOrderedAsCapture(Move move) {
    return moveCaptured(move) != NO_PIECE || movePromotion(move) == QUEEN;
}

inline int captureGain(Move move) {
    return kOrderingValue[moveCaptured(move)] - kOrderingValue[movePiece(move)] +
           kOrderingValue[movePromotion(move)];
}

}  // namespace

// The exchange sort: for each entry i, against every earlier entry j in turn,
// the two are swapped when entry j scores below entry i. Done literally that
// takes count² / 2 comparisons; this gives the same permutation with work
// only where entries move. The entries before i are always in descending
// order, so entry i lands on the first one scoring below it, and the entry it
// displaces travels on the same way: past entries scoring the same as itself,
// onto the next one scoring below it.
void SearchEngine::sortMoves(MoveList& list, int count) {
    MoveEntry* entries = list.entries;
    for (int i = 1; i < count; ++i) {
        int j = i;
        while (j > 0 && entries[j - 1].score < entries[i].score) --j;
        if (j == i) continue;
        MoveEntry held = entries[i];
        while (j < i) {
            const MoveEntry displaced = entries[j];
            entries[j] = held;
            held = displaced;
            ++j;
            while (j < i && entries[j].score == held.score) ++j;
        }
        entries[i] = held;
    }
}

// The sort moves an entry only past entries scoring below it, so the entries
// of the top score keep their list order: its first one comes first.
int SearchEngine::selectFirst(const MoveList& list, int count) {
    int best = 0;
    for (int i = 1; i < count; ++i)
        if (list.entries[i].score > list.entries[best].score) best = i;
    return best;
}

void SearchEngine::scoreMoves(MoveList& list, int count, Move hashMove, int ply) {
    const Move killer0 = killers[ply][0], killer1 = killers[ply][1];
    const auto& sideHistory = history[board.side];
    for (int i = 0; i < count; ++i) {
        MoveEntry& entry = list.entries[i];
        const Move move = entry.move;
        if (move == hashMove) entry.score = kHashMoveScore;
        else if (isOrderedAsCapture(move)) entry.score = kCaptureBase + captureGain(move);
        else if (move == killer0) entry.score = kFirstKillerScore;
        else if (move == killer1) entry.score = kSecondKillerScore;
        else entry.score = kQuietBase + static_cast<int32_t>(sideHistory[moveFrom(move)][moveTo(move)]);
    }
}

void SearchEngine::scoreCaptures(MoveList& list, int count) {
    for (int i = 0; i < count; ++i) {
        MoveEntry& entry = list.entries[i];
        if (isOrderedAsCapture(entry.move)) {
            const int gain = captureGain(entry.move);
            entry.score = gain >= 0 ? gain + kCaptureBase : gain + kLosingCaptureBase;
        } else {
            entry.score = -1;
        }
    }
}

void SearchEngine::updateKillersAndHistory(Move move, int depth, int ply) {
    if (move != killers[ply][0]) {
        killers[ply][1] = killers[ply][0];
        killers[ply][0] = move;
    }
    const uint32_t plies = static_cast<uint32_t>(depth / 4);
    uint32_t& counter = history[board.side][moveFrom(move)][moveTo(move)];
    if (counter + plies * plies <= kHistoryCeiling) counter += plies * plies;
}

// The exchange on the move's target square, each side capturing with its
// least valuable attacker and free to stop; gains[k] is the mover's balance
// after k + 1 captures. With SignOnly it answers only whether the exchange
// loses (1) or not (0), and stops once further captures cannot change that:
// after a capture by the side to move the other side may always stop, so a
// negative balance is final for it, and the next capture's balance bounds
// what continuing can bring.
template <bool SignOnly>
int SearchEngine::exchange(Move move) const {
    const int mover = static_cast<int>(board.side);
    const int from = moveFrom(move), to = moveTo(move);
    constexpr int kMaxGains = 64;
    int gains[kMaxGains];
    int count = 1;
    int valueOnSquare;
    if (movePromotion(move) != NO_PIECE) {
        gains[0] = kExchangeValue[movePromotion(move)] - kExchangeValue[PAWN];
        valueOnSquare = kExchangeValue[movePromotion(move)];
    } else {
        gains[0] = kExchangeValue[moveCaptured(move)];
        valueOnSquare = kExchangeValue[movePiece(move)];
    }
    if constexpr (SignOnly) {
        if (gains[0] < 0) return 1;
        if (gains[0] - valueOnSquare >= 0) return 0;
        // The opponent's first capture is with a pawn or knight when it has
        // one on the square, found without the slider lookups.
        const Bitboard* theirs = board.pieces[mover ^ 1];
        const int first = (pawnAttacks[mover][to] & theirs[PAWN])       ? PAWN
                          : (knightAttacks[to] & theirs[KNIGHT]) ? KNIGHT
                                                                 : NO_PIECE;
        if (first != NO_PIECE && gains[0] - valueOnSquare + kExchangeValue[first] < 0) return 1;
    }

    Bitboard occupancy = board.occupied & ~squareBit[from];
    if (isEnPassant(move)) occupancy &= ~squareBit[to + (mover == WHITE ? -8 : 8)];

    const Bitboard* white = board.pieces[WHITE];
    const Bitboard* black = board.pieces[BLACK];
    const Bitboard diagonalSliders = white[BISHOP] | white[QUEEN] | black[BISHOP] | black[QUEEN];
    const Bitboard straightSliders = white[ROOK] | white[QUEEN] | black[ROOK] | black[QUEEN];
    Bitboard attackers = (pawnAttacks[BLACK][to] & white[PAWN]) | (pawnAttacks[WHITE][to] & black[PAWN]) |
                         (knightAttacks[to] & (white[KNIGHT] | black[KNIGHT])) |
                         (kingAttacks[to] & (white[KING] | black[KING])) |
                         (bishopAttacks(to, occupancy) & diagonalSliders) |
                         (rookAttacks(to, occupancy) & straightSliders);
    attackers &= occupancy;


    int toCapture = mover ^ 1;
    while (count < kMaxGains - 1) {
        const Bitboard own = attackers & board.colourOccupied[toCapture];
        if (!own) break;
        int type = PAWN;
        while (!(own & board.pieces[toCapture][type])) ++type;
        const int square = lowestSquare(own & board.pieces[toCapture][type]);
        gains[count] = gains[count - 1] + (toCapture == mover ? valueOnSquare : -valueOnSquare);
        if constexpr (SignOnly) {
            // Odd entries are the opponent's captures, after which the mover
            // chooses; even entries the mover's, after which the opponent does.
            const int balance = gains[count], next = kExchangeValue[type];
            if (count & 1) {
                if (balance >= 0) return 0;
                if (balance + next < 0) return 1;
            } else {
                if (balance < 0) return 1;
                if (balance - next >= 0) return 0;
            }
        }
        ++count;
        occupancy &= ~squareBit[square];
        attackers &= ~squareBit[square];
        const int line = lineType[square][to];
        if (line == LINE_DIAGONAL || line == LINE_ANTIDIAGONAL)
            attackers |= bishopAttacks(to, occupancy) & diagonalSliders & occupancy;
        else if (line == LINE_FILE || line == LINE_RANK)
            attackers |= rookAttacks(to, occupancy) & straightSliders & occupancy;
        if (type == KING) {
            // A king may not capture into an attack: the other side would take it.
            if (attackers & board.colourOccupied[toCapture ^ 1]) {
                gains[count] = gains[count - 1] + (toCapture == mover ? -kExchangeValue[KING] : kExchangeValue[KING]);
                ++count;
            }
            break;
        }
        valueOnSquare = kExchangeValue[type];
        toCapture ^= 1;
    }

    // Resolve from the end: each side may decline to continue.
    for (int k = count - 1; k >= 1; --k) {
        const bool opponentCaptured = (k & 1) != 0;
        if (opponentCaptured) gains[k - 1] = gains[k - 1] < gains[k] ? gains[k - 1] : gains[k];
        else gains[k - 1] = gains[k - 1] > gains[k] ? gains[k - 1] : gains[k];
    }
    if constexpr (SignOnly) return gains[0] < 0 ? 1 : 0;
    return gains[0];
}

int SearchEngine::staticExchange(Move move) const { return exchange<false>(move); }

bool SearchEngine::exchangeLoses(Move move) const { return exchange<true>(move) != 0; }

}  // namespace tarvok
