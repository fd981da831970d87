// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers in command text (protocol commands, command-line arguments and
// tarvok.ini values).
#pragma once

#include <climits>
#include <cstdlib>

namespace tarvok {

// Base-10 value of the leading digits (after blanks, with an optional sign),
// 0 without any. Values beyond the int range saturate, so that a huge depth,
// node count or clock stays huge rather than wrapping round to a small one.
inline int readSaturatedInt(const char* text) {
    const long long value = std::strtoll(text, nullptr, 10);
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

}  // namespace tarvok
