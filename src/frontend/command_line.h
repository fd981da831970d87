// SPDX-License-Identifier: GPL-3.0-or-later
// Command-line options: "-help", the tool modes, or the interactive mode.
#pragma once

namespace tarvok {

// Runs what the arguments ask for and returns the process exit status.
int runCommandLine(int argc, char** argv);

}  // namespace tarvok
