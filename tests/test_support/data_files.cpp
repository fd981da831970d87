// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_support/data_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tarvok::test {

std::string testDataPath(const std::string& name) { return std::string(TARVOK_TEST_DATA_DIR) + "/" + name; }

std::vector<std::string> readDataLines(const std::string& name) {
    std::vector<std::string> lines;
    std::ifstream in(testDataPath(name));
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    if (lines.empty()) ADD_FAILURE() << "no data in " << testDataPath(name);
    return lines;
}

std::vector<PerftCase> readPerftCases(const std::string& name) {
    std::vector<PerftCase> cases;
    for (const std::string& line : readDataLines(name)) {
        std::istringstream fields(line);
        PerftCase perftCase;
        std::getline(fields, perftCase.fen, ';');
        std::string field;
        while (std::getline(fields, field, ';')) {
            // "D<depth> <count>"; depths are listed in order from 1.
            const size_t blank = field.find(' ');
            if (field.size() < 2 || field[0] != 'D' || blank == std::string::npos) continue;
            const int depth = std::atoi(field.c_str() + 1);
            if (depth != static_cast<int>(perftCase.counts.size()) + 1) break;
            perftCase.counts.push_back(std::strtoull(field.c_str() + blank + 1, nullptr, 10));
        }
        cases.push_back(perftCase);
    }
    return cases;
}

}  // namespace tarvok::test
