// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the test data files in tests/data/: plain lines and perft cases.
//
//   std::string testDataPath(name);
//   std::vector<std::string> readDataLines(name);    // non-empty lines, no "\r\n"
//   std::vector<PerftCase> readPerftCases(name);      // "FEN;D1 n;D2 n;..." lines
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvok::test {

struct PerftCase {
    std::string fen;
    std::vector<uint64_t> counts;  // counts[d - 1] is the leaf count at depth d
};

std::string testDataPath(const std::string& name);
// A missing or empty file fails the test (and gives no lines).
std::vector<std::string> readDataLines(const std::string& name);
std::vector<PerftCase> readPerftCases(const std::string& name = "perft.txt");

}  // namespace tarvok::test
