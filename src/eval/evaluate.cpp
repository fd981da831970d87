// SPDX-License-Identifier: GPL-3.0-or-later
// The evaluation driver: early exits, material and blend, then the pattern,
// pawn, piece and king terms in their fixed order, and the final assembly.
#include "eval/evaluate.h"

#include "eval/draw_score.h"
#include "eval/eval_weights.h"
#include "eval/king_safety.h"
#include "eval/pawn_cache.h"
#include "eval/pawn_structure.h"
#include "eval/piece_activity.h"

namespace tarvok {

bool hasInsufficientMaterial(const Board& board, int colour) {
    const int32_t* count = board.pieceCount[colour];
    return count[PAWN] == 0 && count[QUEEN] == 0 && count[ROOK] == 0 && count[BISHOP] <= 1 && count[KNIGHT] <= 2 &&
           !(count[KNIGHT] > 0 && count[BISHOP] > 0);
}

namespace {

PawnCache pawnCache;

inline int adjustedMaterial(const Board& board, int colour) {
    int value = board.material[colour];
    if (board.pieceCount[colour][BISHOP] >= 2) value += kBishopPairBonus;
    if (board.pieceCount[colour][PAWN] == 0) value -= kNoPawnsMalus;
    return value;
}

inline int pieceSquareBlend(const Board& board, int colour) {
    int phase = board.phaseCount[colour];
    if (phase < 0) phase = 0;
    if (phase >= kBlendScaleSize) phase = kBlendScaleSize - 1;
    const int weight = kBlendScale[phase];
    return (board.middleGameSum[colour] * weight + board.endgameSum[colour] * (kBlendFull - weight)) / kBlendFull;
}

// The whole evaluation, accumulating straight into terms. Both entry points
// inline it, so the plain evaluate keeps the sums in locals as it must anyway.
// The plain evaluate takes the pawn summary from the cache; the one with terms
// builds it afresh, which is what the cache must agree with.
template <bool cached>
[[gnu::always_inline]] inline int evaluateInto(const Board& board, int alpha, int beta, int lazy, EvalTerms& terms) {
    terms = EvalTerms{};
    const int side = board.side == WHITE ? WHITE : BLACK;
    const unsigned stage = board.stage > 3 ? 3 : board.stage;

    if (stage >= 2 && hasInsufficientMaterial(board, side)) {
        terms.exit = EVAL_EXIT_INSUFFICIENT;
        return drawScore;
    }

    for (int colour = BLACK; colour <= WHITE; ++colour) {
        terms.material[colour] = adjustedMaterial(board, colour);
        terms.blend[colour] = pieceSquareBlend(board, colour);
    }
    const int base = terms.blend[WHITE] - terms.blend[BLACK] + terms.material[WHITE] - terms.material[BLACK];

    if (lazy == 1) {
        const int estimate = side == WHITE ? base : -base;
        if (estimate - kLazyMargin > beta || estimate + kLazyMargin < alpha) {
            terms.exit = EVAL_EXIT_LAZY;
            return estimate;
        }
    }

    blockedCentrePawns(board, terms);
    trappedPieces(board, terms);
    if (stage <= 1) shutInRooks(board, terms);

    const Bitboard whitePawns = board.pieces[WHITE][PAWN], blackPawns = board.pieces[BLACK][PAWN];
    PawnSummary fresh;
    EvalWork work;
    if constexpr (cached) {
        work.pawns = &pawnCache.summary(whitePawns, blackPawns);
    } else {
        buildPawnSummary(whitePawns, blackPawns, fresh);
        work.pawns = &fresh;
    }
    const PawnSummary& pawns = *work.pawns;
    terms.pawnStructure[WHITE] = scorePawns<WHITE>(board, pawns);
    terms.pawnStructure[BLACK] = scorePawns<BLACK>(board, pawns);

    // Knights and bishops are safe from enemy pawns, rooks from enemy pawns and
    // minors, queens from everything but the enemy queen and king.
    const Bitboard whiteKnights = scorePieces<WHITE, KNIGHT>(board, work, pawns.pawnSet[BLACK], terms);
    const Bitboard blackKnights = scorePieces<BLACK, KNIGHT>(board, work, pawns.pawnSet[WHITE], terms);
    const Bitboard whiteBishops = scorePieces<WHITE, BISHOP>(board, work, pawns.pawnSet[BLACK], terms);
    const Bitboard blackBishops = scorePieces<BLACK, BISHOP>(board, work, pawns.pawnSet[WHITE], terms);
    work.minorSet[WHITE] = pawns.pawnSet[WHITE] | whiteKnights | whiteBishops;
    work.minorSet[BLACK] = pawns.pawnSet[BLACK] | blackKnights | blackBishops;
    const Bitboard whiteRooks = scorePieces<WHITE, ROOK>(board, work, work.minorSet[BLACK], terms);
    const Bitboard blackRooks = scorePieces<BLACK, ROOK>(board, work, work.minorSet[WHITE], terms);
    work.rookSet[WHITE] = work.minorSet[WHITE] | whiteRooks;
    work.rookSet[BLACK] = work.minorSet[BLACK] | blackRooks;
    const Bitboard whiteQueens = scorePieces<WHITE, QUEEN>(board, work, work.rookSet[BLACK], terms);
    const Bitboard blackQueens = scorePieces<BLACK, QUEEN>(board, work, work.rookSet[WHITE], terms);
    work.fullSet[WHITE] = work.rookSet[WHITE] | whiteQueens;
    work.fullSet[BLACK] = work.rookSet[BLACK] | blackQueens;

    scoreKingSafety(board, work, stage, terms);

    int total = base;
    for (int colour = BLACK; colour <= WHITE; ++colour) {
        const int sum = terms.placement[colour] + terms.mobility[colour] + 2 * terms.safeMobility[colour] +
                        terms.tropism[colour] + terms.kingSafety[colour] + terms.patterns[colour] +
                        terms.pawnStructure[colour];
        total += colour == WHITE ? sum : -sum;
    }
    terms.exit = EVAL_EXIT_FULL;
    return side == WHITE ? total : -total;
}

}  // namespace

int evaluate(const Board& board, int alpha, int beta, int lazy) {
    EvalTerms terms;
    return evaluateInto<true>(board, alpha, beta, lazy, terms);
}

int evaluateWithTerms(const Board& board, int alpha, int beta, int lazy, EvalTerms& terms) {
    return evaluateInto<false>(board, alpha, beta, lazy, terms);
}

}  // namespace tarvok
