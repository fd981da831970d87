// SPDX-License-Identifier: GPL-3.0-or-later
// Checks of the time line that perft and divide print.
#pragma once

#include <cctype>
#include <string>

namespace tarvok::test {

// "Time = mm:ss:mmm, speed = N.NNN"; with zeroSpeed the speed must be 0.000.
inline bool isTimeLine(const std::string& line, bool zeroSpeed = false) {
    const std::string prefix = "Time = ", middle = ", speed = ";
    if (line.size() < prefix.size() + 9 + middle.size() + 5 || line.compare(0, prefix.size(), prefix) != 0) return false;
    const std::string clock = line.substr(prefix.size(), 9);
    for (size_t i = 0; i < clock.size(); ++i)
        if ((i == 2 || i == 5) ? clock[i] != ':' : !std::isdigit(static_cast<unsigned char>(clock[i]))) return false;
    if (line.compare(prefix.size() + 9, middle.size(), middle) != 0) return false;
    const std::string speed = line.substr(prefix.size() + 9 + middle.size());
    const size_t point = speed.find('.');
    if (point == std::string::npos || point == 0 || speed.size() != point + 4) return false;
    for (size_t i = 0; i < speed.size(); ++i)
        if (i != point && !std::isdigit(static_cast<unsigned char>(speed[i]))) return false;
    return !zeroSpeed || speed == "0.000";
}

}  // namespace tarvok::test
