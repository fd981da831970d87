// SPDX-License-Identifier: GPL-3.0-or-later
// tarvok.ini lookups over the table in tests/data/front/ini.txt.
#include "frontend/config_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "test_support/data_files.h"
#include "test_support/table_text.h"

namespace tarvok {
namespace {

TEST(ConfigFileTest, LookupsFromTheTable) {
    const test::TempDir tempDir;
    const std::string& directory = tempDir.path();
    ASSERT_FALSE(directory.empty());
    std::string path;
    std::string fileText;
    int rows = 0;
    for (const std::string& line : test::readDataLines("front/ini.txt")) {
        const size_t blank = line.find(' ');
        const std::string kind = line.substr(0, blank);
        const std::string rest = line.substr(blank + 1);
        if (kind == "file") {
            fileText = rest;
            path = directory + "/tarvok.ini";
            std::ofstream(path, std::ios::binary) << test::decodeText(rest);
        } else if (kind == "path") {
            fileText = rest;
            path = rest == "dir" ? directory : directory + "/" + rest;
        } else if (kind == "str" || kind == "int") {
            SCOPED_TRACE(fileText + "  " + line);
            const size_t first = rest.find('|');
            const size_t last = rest.rfind('|');
            const std::string section = rest.substr(0, first);
            const std::string key = test::decodeText(rest.substr(first + 1, last - first - 1));
            const std::string expected = test::decodeText(rest.substr(last + 1));
            char text[kConfigValueSize] = "untouched";
            int number = 555;
            const bool found = kind == "str" ? iniGetString(path.c_str(), section.c_str(), key.c_str(), text) != 0
                                             : iniGetInt(path.c_str(), section.c_str(), key.c_str(), number) != 0;
            const std::string value = kind == "str" ? std::string(text) : std::to_string(number);
            // Nothing found leaves the destination untouched.
            EXPECT_EQ(found ? value : value == "untouched" || value == "555" ? "<none>" : "touched", expected);
            ++rows;
        }
    }
    EXPECT_GT(rows, 40);
}

}  // namespace
}  // namespace tarvok
