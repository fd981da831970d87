// SPDX-License-Identifier: GPL-3.0-or-later
// Line reader for standard input, shared by the command loop and the search's
// input poll. It keeps its own buffer, so a poll sees lines that have already
// been read from the descriptor but not yet executed.
#pragma once

#include <cstddef>

namespace tarvok {

constexpr int kInputLineSize = 4096;  // a line holds at most 4095 characters

class InputReader {
   public:
    explicit InputReader(int descriptor = 0) : descriptor_(descriptor) {}

    // Reads the next line (up to and including its newline, at most size - 1
    // characters) into line, NUL-terminated. Blocks until a line, a final
    // piece without newline or the end of input arrives; returns false only
    // when nothing could be read.
    bool readLine(char* line, int size);
    // True when readLine would not block: a buffered line, the end of input,
    // or data waiting on the descriptor (zero time-out).
    bool inputAvailable();
    // Waits up to milliseconds for inputAvailable to become true.
    bool waitForInput(int milliseconds);
    bool atEnd() const { return ended_ && length_ == 0; }
    // Forgets buffered data and reads from descriptor from now on.
    void reset(int descriptor) {
        descriptor_ = descriptor;
        start_ = length_ = 0;
        ended_ = false;
    }

   private:
    bool hasCompleteLine(int size) const;
    bool fill();  // one read() into the buffer; false at end of input or error

    static constexpr int kBufferSize = 1 << 16;
    int descriptor_;
    char buffer_[kBufferSize];
    int start_ = 0;
    int length_ = 0;
    bool ended_ = false;
};

// The reader of the process's standard input.
InputReader& standardInput();

}  // namespace tarvok
