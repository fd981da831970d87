// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/epd_line.h"

#include <algorithm>
#include <cstring>

namespace tarvok {

namespace {

// Copies line[begin, end) into field, cut to its capacity.
template <std::size_t N>
void copyField(const std::string& line, std::size_t begin, std::size_t end, char (&field)[N]) {
    const std::size_t length = std::min(end - begin, N - 1);
    std::memcpy(field, line.data() + begin, length);
    field[length] = '\0';
}

}  // namespace

bool nextEpdOperation(const std::string& line, std::size_t& scan, EpdOperation& op) {
    const std::size_t size = line.size();
    if (scan >= size) return false;
    const std::size_t bm = line.find("bm", scan);
    if (bm == std::string::npos) {
        scan = size;
        return false;
    }
    op.position.assign(line, 0, bm);

    const std::size_t movesBegin = std::min(bm + 3, size);
    const std::size_t semicolon = line.find(';', movesBegin);
    const std::size_t movesEnd = semicolon == std::string::npos ? size : semicolon;
    copyField(line, movesBegin, movesEnd, op.bestMoves);

    const std::size_t idBegin = semicolon == std::string::npos ? size : std::min(semicolon + 6, size);
    const std::size_t quote = line.find('"', idBegin);
    const std::size_t idEnd = quote == std::string::npos ? size : quote;
    copyField(line, idBegin, idEnd, op.identifier);

    scan = quote == std::string::npos ? size : quote + 1;
    return true;
}

bool readEpdLine(std::FILE* file, std::string& line) {
    line.clear();
    int c = std::getc(file);
    if (c == EOF) return false;
    while (c != EOF && c != '\n') {
        line.push_back(static_cast<char>(c));
        c = std::getc(file);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

}  // namespace tarvok
