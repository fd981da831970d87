// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_support/table_text.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "test_support/data_files.h"

namespace tarvok::test {

std::string decodeText(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == '*') {
            const std::size_t open = text.find('<', i), close = text.find('>', open);
            const std::string piece = decodeText(text.substr(open + 1, close - open - 1));
            for (long n = std::strtol(text.c_str() + i + 1, nullptr, 10); n > 0; --n) out += piece;
            i = close;
        } else if (c == 'x') {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c == '0' ? '\0' : c;
        }
    }
    return out;
}

std::vector<std::string> split(const std::string& text, const std::string& separator) {
    std::vector<std::string> fields;
    std::size_t begin = 0;
    for (std::size_t at; (at = text.find(separator, begin)) != std::string::npos; begin = at + separator.size())
        fields.push_back(text.substr(begin, at - begin));
    fields.push_back(text.substr(begin));
    return fields;
}

TempDir::TempDir() {
    char pattern[] = "/tmp/tarvok-test-XXXXXX";
    if (::mkdtemp(pattern) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string fileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void writeBytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::vector<std::string> readAllDataLines(const std::string& name) {
    std::vector<std::string> lines;
    std::ifstream file(testDataPath(name));
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    if (lines.empty()) ADD_FAILURE() << "no data in " << testDataPath(name);
    return lines;
}

std::vector<std::vector<std::string>> readTable(const std::string& name) {
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : readAllDataLines(name))
        if (!line.empty() && line[0] != '#') rows.push_back(split(line, " | "));
    return rows;
}

}  // namespace tarvok::test
