// SPDX-License-Identifier: GPL-3.0-or-later
// Sessions with the binary written as scripts in data files, as a GUI or a
// script would drive it. A file holds cases, each "case <name>" followed by
// steps, one a line ("#" starts a comment line):
//   ini <text>        tarvok.ini for the next start ("\n" escapes; empty: none)
//   ulimit <kb>       address-space cap for the next start (skipped under ASan)
//   start [args]      starts the binary with the arguments; reads nothing
//   > <line>          sends a line; "$hint" is the expected reply, "$under" it with
//                     another promotion piece, "$miss" another legal move
//   raw <text>        sends text as it is ("\r", "\n" escapes)
//   < <regex>         waits for a line that starts with a match ("<@ms" sets the time-out)
//   = <text>          the next line is exactly text ("~ <regex>": matches regex)
//   mark              starts the lines the next "!" looks at
//   ! <regex>         a ping (XBoard) or isready (UCI) is answered, and no line since
//                     the last mark or check started with a match
//   lastpv <ms>       the last PV that comes within ms is legal on the GUI's board
//   wait <ms>         reads whatever comes within ms
//   idle              the engine uses no processor time for a second
//   close             closes the engine's input
//   exit <n>          the engine ends with status n
//   end               nothing more comes out
//   repeat <n> <k>    the last n steps again, k more times
// In every step "$<var>" stands for a variable's value. The first line sent
// picks the protocol. Every line read passes the GUI's board, which follows
// the game and fails any move nobody asked for and any illegal move or ponder move.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tarvok::test {

struct SessionScript {
    std::string name;
    std::vector<std::string> steps;
    friend void PrintTo(const SessionScript& script, std::ostream* out) { *out << script.name; }
};

std::vector<SessionScript> readSessionScripts(const std::string& dataFile);
void runSessionScript(const SessionScript& script, const std::map<std::string, std::string>& vars = {});

}  // namespace tarvok::test
