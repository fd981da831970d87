// SPDX-License-Identifier: GPL-3.0-or-later
// Multiplier pairs of the slider attack lookups, one per square (a1 first).
// Produced by scripts/find_magics.cpp, which also verifies them.
#pragma once

#include <cstdint>

namespace tarvok {

struct MagicConstant {
    uint32_t multiplierLow;
    uint32_t multiplierHigh;
};

#include "board/magic_table.inc"

}  // namespace tarvok
