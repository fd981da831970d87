// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point: the command-line tools or the interactive mode.
#include "frontend/command_line.h"

int main(int argc, char** argv) { return tarvok::runCommandLine(argc, argv); }
