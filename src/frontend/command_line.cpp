#include "frontend/command_line.h"

#include <cstdio>
#include <cstring>

#include "frontend/frontend.h"

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
    return runInteractiveMode();
}

}  // namespace tarvok
