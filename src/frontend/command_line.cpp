// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/command_line.h"

#include <cstdio>
#include <cstring>

#include "frontend/frontend.h"
#include "frontend/number_text.h"
#include "frontend/tool_modes.h"

namespace tarvok {

namespace {

void printHelp() {
    std::printf("%s %s (%s) by %s\n", kEngineName, kVersion, frontEnd.platformName, kAuthor);
    std::printf("\n");
    std::printf("Tarvok -testsuite <filename.epd> <time>\n");
    std::printf("Tarvok -perft <depth>\n");
    std::printf("Tarvok -perft <depth> -fen \"<fen-string>\"\n");
    std::printf("Tarvok -divide <depth>\n");
    std::printf("Tarvok -divide <depth> -fen \"<fen-string>\"\n");
    std::printf("Tarvok -buildbook <file.pgn> <file.bin> <depth> <count>\n");
}

}  // namespace

int runCommandLine(int argc, char** argv) {
    std::strcpy(frontEnd.platformName, "32 bits");
    if (argc >= 2 && std::strcmp(argv[1], "-help") == 0) {
        printHelp();
        return 1;
    }
    if (argc >= 2) {
        const char* option = argv[1];
        if (std::strcmp(option, "-testsuite") == 0 && (argc == 3 || argc == 4))
            return runTestSuiteMode(argv[2], argc == 4 ? readSaturatedInt(argv[3]) : 5);
        if (std::strcmp(option, "-evalsuite") == 0 && argc == 3) return runEvalSuiteMode(argv[2]);
        // The book builder's result does not matter: the interactive mode follows.
        if (std::strcmp(option, "-buildbook") == 0 && argc == 6)
            runBuildBookMode(argv[2], argv[3], readSaturatedInt(argv[4]), readSaturatedInt(argv[5]));
        const bool perft = std::strcmp(option, "-perft") == 0;
        const bool divide = std::strcmp(option, "-divide") == 0;
        if (perft || divide) {
            const char* fen = nullptr;
            bool shapeOk = argc == 3;
            if (argc == 5 && std::strcmp(argv[3], "-fen") == 0) {
                fen = argv[4];
                shapeOk = true;
            }
            if (shapeOk) {
                const int depth = readSaturatedInt(argv[2]);
                return perft ? runPerftMode(depth, fen) : runDivideMode(depth, fen);
            }
        }
    }
    return runInteractiveMode();
}

}  // namespace tarvok
