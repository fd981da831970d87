// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/thinking_output.h"

#include <cstdio>
#include <cstring>

#include "board/move_text.h"
#include "frontend/frontend.h"

namespace tarvok {

namespace {

constexpr int kMateFormLimit = 31799;
constexpr int kPvTextSize = kPvLength * (kMoveTextSize + 1) + 1;

void appendMoves(const PvRow& pv, char* text, int size, void (*write)(Move, char*)) {
    int length = 0;
    text[0] = '\0';
    const uint32_t count = pv.length < static_cast<uint32_t>(kPvLength) ? pv.length : kPvLength;
    for (uint32_t i = 0; i < count; ++i) {
        char move[kMoveTextSize];
        write(pv.entries[i].move, move);
        const int moveLength = static_cast<int>(std::strlen(move));
        if (length + moveLength + 2 > size) break;
        std::memcpy(text + length, move, static_cast<size_t>(moveLength));
        length += moveLength;
        text[length++] = ' ';
        text[length] = '\0';
    }
}

}  // namespace

void formatPvCoordinates(const PvRow& pv, char* text, int size) { appendMoves(pv, text, size, moveToCoordinates); }

void printUciThinking(int depth, const PvRow& pv, uint64_t nodes, double elapsed) {
    char pvText[kPvTextSize];
    formatPvCoordinates(pv, pvText, sizeof pvText);
    const int score = pv.entries[0].score;
    const int milliseconds = static_cast<int>(elapsed * 0.001);
    // The quotient is cut to 64 bits and printed as a signed 32-bit value; a
    // zero time gives 0.
    int nps = 0;
    if (elapsed > 0.0) {
        const double rate = static_cast<double>(nodes) * 1000000.0 / elapsed;
        if (rate < 9.2e18) nps = static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(rate)));
    }
    const auto nodeCountValue = static_cast<unsigned long long>(nodes);
    if (score < -kMateFormLimit)
        sendLine("info depth %d score mate %d time %d nodes %llu nps %d pv %s", depth,
                 -SearchEngine::mateDistance(score), milliseconds, nodeCountValue, nps, pvText);
    else if (score > kMateFormLimit)
        sendLine("info depth %d score mate %d time %d nodes %llu nps %d pv %s", depth,
                 SearchEngine::mateDistance(score), milliseconds, nodeCountValue, nps, pvText);
    else
        sendLine("info depth %d score cp %d time %d nodes %llu nps %d pv %s", depth, score, milliseconds,
                 nodeCountValue, nps, pvText);
}

void printXboardThinking(int depth, const PvRow& pv, uint64_t nodes, double elapsed) {
    char pvText[kPvTextSize];
    formatPvCoordinates(pv, pvText, sizeof pvText);
    sendLine("%d %d %d %llu %s", depth, pv.entries[0].score, static_cast<int>(elapsed * 0.0001),
             static_cast<unsigned long long>(nodes), pvText);
}

void printConsoleThinking(int depth, const PvRow& pv, uint64_t nodes, double elapsed) {
    char pvText[kPvTextSize];
    appendMoves(pv, pvText, sizeof pvText, moveToText);
    const int milliseconds = static_cast<int>(elapsed * 0.001);
    char timeText[32];
    std::snprintf(timeText, sizeof timeText, "%02d:%02d:%03d", milliseconds / 60000, (milliseconds % 60000) / 1000,
                  milliseconds % 1000);
    const auto speed = static_cast<double>(static_cast<float>(static_cast<double>(nodes) * 1000.0 / elapsed));
    const int score = pv.entries[0].score;
    const auto nodeCountValue = static_cast<unsigned long long>(nodes);
    if (score < -kMateFormLimit)
        std::printf("%2d -M%d %s %8llu %.2f %s\n", depth, SearchEngine::mateDistance(score), timeText, nodeCountValue,
                    speed, pvText);
    else if (score < 0)
        std::printf("%2d %.2f %s %8llu %.2f %s\n", depth, static_cast<double>(static_cast<float>(score) * 0.01f),
                    timeText, nodeCountValue, speed, pvText);
    else if (score <= kMateFormLimit)
        std::printf("%2d +%.2f %s %8llu %.2f %s\n", depth, static_cast<double>(static_cast<float>(score) * 0.01f),
                    timeText, nodeCountValue, speed, pvText);
    else
        std::printf("%2d +M%d %s %8llu %.2f %s\n", depth, SearchEngine::mateDistance(score), timeText, nodeCountValue,
                    speed, pvText);
}

}  // namespace tarvok
