// SPDX-License-Identifier: GPL-3.0-or-later
// Test tables kept as text files under tests/data/: one case a line, fields
// separated by " | ", '#' lines are comments. Texts may hold escapes:
// \n \r \t \0 \\ and \*N<text> for text repeated N times.
//
//   for (const auto& row : readTable("book/san.txt")) { row[0]; row[1]; ... }
//   decodeText("a\\*3<b>") == "abbb"
#pragma once

#include <string>
#include <vector>

namespace tarvok::test {

std::string decodeText(const std::string& text);
std::vector<std::string> split(const std::string& text, const std::string& separator);
// The whole data file, and every line of it (comments and empty lines included).
std::string readAllText(const std::string& name);
std::vector<std::string> readAllDataLines(const std::string& name);
// Rows of a table file, split into fields.
std::vector<std::vector<std::string>> readTable(const std::string& name);

}  // namespace tarvok::test
