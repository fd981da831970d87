// SPDX-License-Identifier: GPL-3.0-or-later
// The process-wide score of a drawn position, from the side to move's view.
// The search owns and defines it; the evaluation's insufficient-material exit
// returns it.
#pragma once

#include <cstdint>

namespace tarvok {

extern int32_t drawScore;

}  // namespace tarvok
