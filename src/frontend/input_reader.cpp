// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/input_reader.h"

#include <cstring>

#include "platform/platform.h"

namespace tarvok {

bool InputReader::hasCompleteLine(int size) const {
    if (length_ >= size - 1) return true;  // a full piece of an over-long line
    return std::memchr(buffer_ + start_, '\n', static_cast<size_t>(length_)) != nullptr;
}

bool InputReader::fill() {
    if (ended_) return false;
    if (start_ > 0) {
        std::memmove(buffer_, buffer_ + start_, static_cast<size_t>(length_));
        start_ = 0;
    }
    if (length_ == kBufferSize) return true;
    const long got = platform::readInput(descriptor_, buffer_ + length_, static_cast<size_t>(kBufferSize - length_));
    if (got > 0) {
        length_ += static_cast<int>(got);
        return true;
    }
    ended_ = true;
    return false;
}

bool InputReader::readLine(char* line, int size) {
    if (size < 2) return false;
    while (!hasCompleteLine(size) && fill()) {
    }
    if (length_ == 0) return false;
    int take = length_ < size - 1 ? length_ : size - 1;
    const char* newline = static_cast<const char*>(std::memchr(buffer_ + start_, '\n', static_cast<size_t>(take)));
    if (newline != nullptr) take = static_cast<int>(newline - (buffer_ + start_)) + 1;
    std::memcpy(line, buffer_ + start_, static_cast<size_t>(take));
    line[take] = '\0';
    start_ += take;
    length_ -= take;
    if (length_ == 0) start_ = 0;
    return true;
}

bool InputReader::inputAvailable() {
    // At the end of input a read does not block either: it reports the end.
    if (ended_ || (length_ > 0 && hasCompleteLine(kInputLineSize))) return true;
    if (!platform::waitReadable(descriptor_, 0)) return false;
    // Data (or the end of input) is waiting; pull it in so that a partial
    // line is not mistaken for a complete one.
    fill();
    return ended_ || hasCompleteLine(kInputLineSize);
}

bool InputReader::waitForInput(int milliseconds) {
    if (inputAvailable()) return true;
    platform::waitReadable(descriptor_, milliseconds);
    return inputAvailable();
}

InputReader& standardInput() {
    static InputReader reader(0);
    return reader;
}

}  // namespace tarvok
