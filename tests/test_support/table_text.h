// SPDX-License-Identifier: GPL-3.0-or-later
// Test tables kept as text files under tests/data/: one case a line, fields
// separated by " | ", '#' lines are comments. Texts may hold the escapes
// \n \r \t \0 \xHH \\ and \*N<text> for text repeated N times.
#pragma once

#include <string>
#include <vector>

namespace tarvok::test {

std::string decodeText(const std::string& text);
std::vector<std::string> split(const std::string& text, const std::string& separator);
// A fresh folder under /tmp, removed with all it holds when the object goes;
// path() is empty when no folder could be made.
class TempDir {
   public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

   private:
    std::string path_;
};

// A file's bytes, and a file written with them.
std::string fileBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);
// Every line of the data file, comments and empty lines included.
std::vector<std::string> readAllDataLines(const std::string& name);
// Rows of a table file, split into fields.
std::vector<std::vector<std::string>> readTable(const std::string& name);

}  // namespace tarvok::test
