// SPDX-License-Identifier: GPL-3.0-or-later
// Time budget for a move and the periodic check that enforces limits and
// polls standard input during a search.
#include <algorithm>
#include <chrono>

#include "frontend/input_reader.h"
#include "search/search_engine.h"

namespace tarvok {

ClockTime readClock() {
    using namespace std::chrono;
    const auto now = duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    return {static_cast<int32_t>(now / 1000000), static_cast<int32_t>(now % 1000000)};
}

double elapsedMicroseconds(const ClockTime& start, const ClockTime& now) {
    return static_cast<double>(static_cast<int64_t>(now.seconds - start.seconds) * 1000000 +
                               (now.microseconds - start.microseconds));
}

namespace {
// Milliseconds of the clock never planned for (see setupTimeBudget).
constexpr double kClockReserveMs = 200.0;
}  // namespace

void SearchEngine::setupTimeBudget() {
    checkCounter = 0;
    lastInputCheck = readClock();
    stopState = STOP_NONE;
    activeLimitMode = limitMode;
    switch (limitMode) {
        case LIMIT_DEPTH:
            return;
        case LIMIT_MOVETIME:
            timeBudget = moveTime;
            break;
        case LIMIT_CLOCK: {
            const int side = static_cast<int>(board.side);
            const double clock = static_cast<double>(clockTime[side]);
            double budget;
            if (movesToGo == 0) {
                budget = clock * 1000.0 / 40.0;
                if (clockIncrement[side] > 0) budget += clockIncrement[side] * 1000.0;
            } else if (movesToGo == 1) {
                budget = clock * 1000.0 * 0.5;
            } else {
                budget = clock * 1000.0 / movesToGo;
            }
            // The GUI's clock also runs while moves travel through pipes and
            // while the last check interval finishes, and on a short clock the
            // increment alone would exceed what is left: never plan into the
            // last kClockReserveMs of the clock.
            budget = std::min(budget, std::max(0.0, clock - kClockReserveMs) * 1000.0);
            // Truncated toward zero; a negative clock gives no time at all.
            timeBudget = budget <= 0.0 ? 0u : budget >= 4294967295.0 ? kNoTimeLimit : static_cast<uint32_t>(budget);
            break;
        }
        case LIMIT_INFINITE:
            timeBudget = kNoTimeLimit;
            break;
        default:
            break;
    }
    startTime = readClock();
}

bool SearchEngine::inputAvailable() { return standardInput().inputAvailable(); }

void SearchEngine::waitWhilePondering() {
    while ((pondering || analysing || untilStop) && stopState == STOP_NONE) {
        if (standardInput().waitForInput(50)) pollInput();
    }
}

// Input is looked at every checkInterval calls, and also once this long has
// passed since the last look, so that commands are answered promptly however
// slow the nodes are.
constexpr double kInputCheckMicroseconds = 10000.0;

int SearchEngine::checkLimitsAndInput(bool intervalElapsed) {
    if (intervalElapsed) checkCounter -= checkInterval;
    const bool clockDue = intervalElapsed || (checkCounter & kClockCheckMask) == 0;
    if (activeLimitMode == LIMIT_NODES && !pondering && nodeCount >= nodeLimit) {
        stopState = STOP_PLAY;
        return 0;
    }
    if (!clockDue) return 1;
    const ClockTime now = readClock();
    // Compared in full: a budget beyond 32 bits of microseconds (over 71
    // minutes) must still end.
    if (!pondering && activeLimitMode != LIMIT_DEPTH && activeLimitMode != LIMIT_INFINITE &&
        activeLimitMode != LIMIT_NODES && elapsedMicroseconds(startTime, now) >= static_cast<double>(timeBudget)) {
        stopState = STOP_PLAY;
        return 0;
    }
    if (!intervalElapsed && elapsedMicroseconds(lastInputCheck, now) < kInputCheckMicroseconds) return 1;
    lastInputCheck = now;
    if (!inputAvailable()) return 1;
    // Lines that arrived together (a GUI sends "time", "otim" and a move at
    // once) are all executed now, a bounded number per check.
    constexpr int kLinesPerCheck = 16;
    for (int line = 0; line < kLinesPerCheck && stopState == STOP_NONE; ++line) {
        pollInput();
        if (!inputAvailable()) break;
    }
    return stopState == STOP_NONE ? 1 : 0;
}

}  // namespace tarvok
