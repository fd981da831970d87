// SPDX-License-Identifier: GPL-3.0-or-later
// Per-iteration thinking lines in UCI, XBoard and console form.
#pragma once

#include <cstdint>

#include "search/search_engine.h"

namespace tarvok {

// Coordinate text of every PV move, each followed by one blank; bounded by size.
void formatPvCoordinates(const PvRow& pv, char* text, int size);

void printUciThinking(int depth, const PvRow& pv, uint64_t nodes, double elapsedMicroseconds);
void printXboardThinking(int depth, const PvRow& pv, uint64_t nodes, double elapsedMicroseconds);
void printConsoleThinking(int depth, const PvRow& pv, uint64_t nodes, double elapsedMicroseconds);

}  // namespace tarvok
