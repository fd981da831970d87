// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a stream of protocol lines through the real command loop against a
// live engine. The lines are served on standard input, so commands that
// arrive during a search go through the search's own input poll. Searches
// are kept to a few thousand nodes by polling input often, and commands that
// would run for long (deep perft, huge hash tables) are filtered out.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "frontend/frontend.h"
#include "frontend/input_reader.h"
#include "frontend/protocol_engine.h"
#include "fuzz/fuzz_support.h"

namespace tarvok::fuzz {

// Keeps a line unless it would make one input run for seconds.
inline bool acceptableLine(const std::string& line) {
    // Perft and divide read their depth after the first blank and cannot be
    // interrupted: keep them shallow.
    if (line.compare(0, 5, "perft") == 0 || line.compare(0, 6, "divide") == 0) {
        const size_t blank = line.find(' ');
        if (blank != std::string::npos && std::strtol(line.c_str() + blank + 1, nullptr, 10) > 3) return false;
    }
    if (line.find("Hash") != std::string::npos && line.find("setoption") != std::string::npos) {
        const size_t value = line.find("value ");
        if (value != std::string::npos && std::strtol(line.c_str() + value + 6, nullptr, 10) > 16) return false;
    }
    return line.size() < 512;
}

inline void prepareWorkingDirectory() {
    static bool done = false;
    if (done) return;
    done = true;
    // A small table for XBoard mode, which reads its size from tarvok.ini.
    char directory[] = "/tmp/tarvok_fuzz_XXXXXX";
    if (mkdtemp(directory) == nullptr || chdir(directory) != 0) std::abort();
    FILE* ini = std::fopen("tarvok.ini", "w");
    if (ini == nullptr) std::abort();
    std::fputs("[Engine]\nHash=2\n", ini);
    std::fclose(ini);
}

inline int runProtocolStream(const char* firstLine, const uint8_t* data, size_t size) {
    initOnce();
    prepareWorkingDirectory();
    std::string input = std::string(firstLine) + "\n";
    std::string line;
    for (size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == '\n') {
            if (acceptableLine(line)) input += line + "\n";
            line.clear();
        } else {
            line += static_cast<char>(data[i]);
        }
    }
    if (input.size() > 60000) return 0;  // more than a pipe holds at once

    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) std::abort();
    if (write(pipeEnds[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) std::abort();
    close(pipeEnds[1]);
    dup2(pipeEnds[0], 0);
    close(pipeEnds[0]);
    standardInput().reset(0);

    static char inputLine[kInputLineSize];
    frontEnd = FrontEndState{};
    frontEnd.inputLine = inputLine;
    FILE* quiet = std::freopen("/dev/null", "w", stdout);
    (void)quiet;
    for (int steps = 0; !frontEnd.quitRequested && steps < 10000; ++steps) {
        if (frontEnd.engine != nullptr) {
            frontEnd.engine->checkInterval = 200;
            requireConsistent(frontEnd.engine->board, "protocol line");
            if (frontEnd.engine->searching) std::abort();
        }
        if (!readAndDispatch()) break;
    }
    if (frontEnd.engine != nullptr) {
        requireConsistent(frontEnd.engine->board, "end of stream");
        frontEnd.engine->release();
        delete frontEnd.engine;
    }
    frontEnd = FrontEndState{};
    return 0;
}

}  // namespace tarvok::fuzz
