// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/test_suite.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "board/move_text.h"
#include "board/movegen.h"
#include "book/diagnostic_log.h"
#include "eval/evaluate.h"
#include "frontend/frontend.h"
#include "platform/platform.h"
#include "tools/epd_line.h"
#include "tools/san_writer.h"

namespace tarvok {

namespace {

constexpr const char* kSeparator = "-------------------------------------------------------------------------------";

// Calls visit for every operation of every line of the file, counting lines.
template <typename Visit>
void forEachOperation(std::FILE* file, SuiteTally& tally, bool logLines, Visit visit) {
    std::string line;
    EpdOperation op;
    while (readEpdLine(file, line)) {
        if (logLines) diagnosticLog("(%s)", line.c_str());
        std::size_t scan = 0;
        while (nextEpdOperation(line, scan, op)) visit(op);
        ++tally.lines;
    }
}

// The legal moves among the generated ones, so that a pinned piece does not
// make another piece's move look ambiguous.
int keepLegalMoves(Board& board, const MoveList& generated, int count, MoveList& legal) {
    int legalCount = 0;
    for (int i = 0; i < count && board.hasRoomForPly(); ++i) {
        const Move move = generated.entries[i].move;
        if (board.makeMove(move)) legal.entries[legalCount++] = generated.entries[i];
        board.unmakeMove(move);
    }
    legal.count = static_cast<uint32_t>(legalCount);
    return legalCount;
}

void searchTestPosition(SearchEngine& engine, const EpdOperation& op, SuiteTally& tally) {
    std::printf("%s\n", kSeparator);
    std::printf("%s bm %s; id %s;\n\n", op.position.c_str(), op.bestMoves, op.identifier);
    engine.clearHash();
    if (!engine.setFromFen(op.position.c_str())) {
        std::printf("ERROR : bad FEN !\n");
        tally.failures.emplace_back(op.identifier);
        return;
    }

    Board& board = engine.board;
    MoveList& rootList = engine.moveLists[0];
    const int generated = generateAll(board, rootList, 0, isInCheck(board, static_cast<int>(board.side)));
    rootList.count = static_cast<uint32_t>(generated);
    MoveList legal;
    const int legalCount = keepLegalMoves(board, rootList, generated, legal);

    engine.startSearch(false);

    // The search recorded its move as the only game move; an aborted search
    // or a position without legal moves leaves the record empty.
    GameRecord& game = engine.game;
    const Move played = game.lastRecorded();
    char san[kSanSize];
    writeSan(played, san, legal, legalCount);
    if (game.gameIndex > 0) std::memcpy(game.gameMoves[game.gameIndex - 1].extra, san, kSanSize);
    char longText[kMoveTextSize];
    moveToText(played, longText);

    // Substring tests on purpose; an empty text would match anything, so no
    // move is never a solution.
    const bool good = played != NO_MOVE &&
                      (std::strstr(op.bestMoves, san) != nullptr || std::strstr(op.bestMoves, longText) != nullptr);
    if (good) {
        std::printf("result => '%s' : ok\n", san);
        ++tally.good;
    } else {
        std::printf("result => '%s' : bad\n", san);
        tally.failures.emplace_back(op.identifier);
    }
}

void evaluateTestPosition(SearchEngine& engine, const EpdOperation& op, SuiteTally& tally) {
    diagnosticLog("%s : '%s' : '%s'", op.position.c_str(), op.bestMoves, op.identifier);
    engine.clearHash();
    if (!engine.setFromFen(op.position.c_str())) {
        diagnosticLog("ERROR : bad FEN string !");
        tally.failures.emplace_back(op.identifier);
        return;
    }
    const std::string mirrored = mirrorPositionText(op.position);
    const int score = evaluate(engine.board, -32000, 32000, 0);
    // A twin the parser rejects would leave the original on the board and
    // compare it with itself; it counts as a failure instead.
    const bool twinSet = engine.setFromFen(mirrored.c_str()) != 0;
    const int twinScore = twinSet ? evaluate(engine.board, -32000, 32000, 0) : 0;
    diagnosticLog("eval = %d, reverse eval = %d\n", score, twinScore);
    if (twinSet && score == twinScore) {
        diagnosticLog("ok");
        ++tally.good;
    } else {
        diagnosticLog("bad");
        tally.failures.push_back(op.position);
    }
}

// Blank-separated fields of text: their start offsets and lengths.
struct Field {
    std::size_t begin;
    std::size_t length;
};

std::vector<Field> splitFields(const std::string& text) {
    std::vector<Field> fields;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        const std::size_t begin = i;
        while (i < text.size() && text[i] != ' ') ++i;
        if (i > begin) fields.push_back({begin, i - begin});
    }
    return fields;
}

}  // namespace

std::string mirrorPositionText(const std::string& position) {
    std::vector<char> buffer(position.size() + 1);
    if (!mirrorFen(position.c_str(), buffer.data(), static_cast<int>(buffer.size()))) return std::string();
    std::string mirrored(buffer.data());
    // The letter exchange turned a b-file square into "w"; put it back and
    // move the square to the other side's third rank.
    const std::vector<Field> fields = splitFields(mirrored);
    if (fields.size() >= 4 && fields[3].length == 2) {
        char& file = mirrored[fields[3].begin];
        char& rank = mirrored[fields[3].begin + 1];
        if (file == 'w') file = 'b';
        if (file >= 'a' && file <= 'h' && (rank == '3' || rank == '6')) rank = rank == '3' ? '6' : '3';
    }
    return mirrored;
}

int runTestSuite(SearchEngine& engine, const char* fileName) {
    std::FILE* file = platform::openFile(fileName, "rt");
    if (file == nullptr) return 0;
    diagnosticLog("Run testsuite : '%s'", fileName);
    engine.consoleOutput = 1;
    std::printf("Tarvok version %s\n\n", kVersion);
    std::printf("Test suite : %s\n\n", fileName);

    SuiteTally tally;
    forEachOperation(file, tally, true, [&](const EpdOperation& op) { searchTestPosition(engine, op, tally); });

    std::printf("\nScore = %d / %d\n", tally.good, tally.lines);
    std::printf("\nBad results : \n\n");
    for (const std::string& failure : tally.failures) std::printf("%s\n", failure.c_str());
    std::fclose(file);
    engine.consoleOutput = 0;
    return 1;
}

int runEvalSuite(SearchEngine& engine, const char* fileName, SuiteTally* result) {
    std::FILE* file = platform::openFile(fileName, "rt");
    if (file == nullptr) return 0;
    diagnosticLog("Run eval testsuite : %s", fileName);

    SuiteTally tally;
    forEachOperation(file, tally, false, [&](const EpdOperation& op) { evaluateTestPosition(engine, op, tally); });

    std::string joined;
    for (std::size_t i = 0; i < tally.failures.size(); ++i) {
        if (i > 0) joined += ", ";
        joined += tally.failures[i];
    }
    diagnosticLog("Score = %d / %d", tally.good, tally.lines);
    diagnosticLog("Bad result => %s", joined.c_str());
    std::fclose(file);
    if (result != nullptr) *result = tally;
    return 1;
}

}  // namespace tarvok
