// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/config_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace tarvok {
namespace {

// Each test writes its ini file into a fresh temporary directory.
class ConfigFileTest : public ::testing::Test {
   protected:
    void SetUp() override {
        char pattern[] = "/tmp/tarvok-ini-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        path = directory + "/tarvok.ini";
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    void write(const std::string& contents) {
        std::ofstream out(path, std::ios::binary);
        out << contents;
    }

    // The value of key in section, or "<none>" when not found (the buffer
    // must then be untouched).
    std::string lookup(const char* section, const char* key) {
        char value[kConfigValueSize] = "untouched";
        if (iniGetString(path.c_str(), section, key, value) == 0) {
            EXPECT_STREQ(value, "untouched");
            return "<none>";
        }
        return value;
    }
    std::string lookup(const char* key) { return lookup("Engine", key); }

    std::string directory;
    std::string path;
};

TEST_F(ConfigFileTest, ReadsValuesOfTheSectionWithBlanksInside) {
    write("[Engine]\nHash=64\nBook=1\nBookFile=my book.bin\n");
    EXPECT_EQ(lookup("Hash"), "64");
    EXPECT_EQ(lookup("Book"), "1");
    EXPECT_EQ(lookup("BookFile"), "my book.bin");
    int hash = 128;
    EXPECT_EQ(iniGetInt(path.c_str(), "Engine", "Hash", hash), 1);
    EXPECT_EQ(hash, 64);
}

TEST_F(ConfigFileTest, KeysAndSectionsMatchExactly) {
    write("[Engine]\nHash = 64\nhash=32\nBook =1\n Book=2\nBookFile= x \n");
    EXPECT_EQ(lookup("Hash"), "<none>");  // the key is "Hash "
    EXPECT_EQ(lookup("Hash "), " 64");
    EXPECT_EQ(lookup("Book"), "<none>");
    EXPECT_EQ(lookup("BookFile"), " x ");
    EXPECT_EQ(lookup("engine", "hash"), "<none>");
    int hash = 128;
    EXPECT_EQ(iniGetInt(path.c_str(), "Engine", "Hash ", hash), 1);
    EXPECT_EQ(hash, 64);  // leading blanks of the value are skipped
}

TEST_F(ConfigFileTest, FirstMatchingLineWins) {
    write("[Engine]\nHash=16\nHash=32\n[Engine]\nHash=64\n");
    EXPECT_EQ(lookup("Hash"), "16");
}

TEST_F(ConfigFileTest, KeysOutsideTheSectionAreIgnored) {
    write("Hash=1\n[Other]\nHash=2\n[Engine]\nBook=1\n");
    EXPECT_EQ(lookup("Hash"), "<none>");
    EXPECT_EQ(lookup("Other", "Hash"), "2");
    write("Hash=1\n[Other]\nHash=2\n");
    EXPECT_EQ(lookup("Book"), "<none>");
}

TEST_F(ConfigFileTest, LaterHeaderWithAnotherNameKeepsTheSection) {
    write("[Engine]\nHash=8\n[Book]\nBook=1\nBookFile=other.bin\n");
    EXPECT_EQ(lookup("Book"), "1");
    EXPECT_EQ(lookup("BookFile"), "other.bin");
    // And a header naming another section does not end up as that section
    // when the requested one came first.
    EXPECT_EQ(lookup("Book", "Hash"), "<none>");
    EXPECT_EQ(lookup("Book", "Book"), "1");
}

TEST_F(ConfigFileTest, HeaderDropsItsLastCharacterWhateverItIs) {
    write("[Engine\nHash=64\n");
    EXPECT_EQ(lookup("Hash"), "<none>");
    EXPECT_EQ(lookup("Engin", "Hash"), "64");
    write("[Engine] \nHash=64\n");
    EXPECT_EQ(lookup("Hash"), "<none>");
    EXPECT_EQ(lookup("Engine]", "Hash"), "64");
    write("[\nHash=5\n[]\nBook=1\n");
    EXPECT_EQ(lookup("", "Hash"), "5");  // before any header the section is empty
    EXPECT_EQ(lookup("", "Book"), "1");
}

TEST_F(ConfigFileTest, WindowsLineEndsWork) {
    write("[Engine]\r\nHash=64\r\nBookFile=book.bin\r\n");
    EXPECT_EQ(lookup("Hash"), "64");
    EXPECT_EQ(lookup("BookFile"), "book.bin");
}

TEST_F(ConfigFileTest, ControlAndHighBytesCutTheLine) {
    write("[Engine]\nHash=64\tcomment\nBookFile=caf\xc3\xa9.bin\nBook=1\x01junk\nPonder=\x7f\n");
    EXPECT_EQ(lookup("Hash"), "64");
    EXPECT_EQ(lookup("BookFile"), "caf");
    EXPECT_EQ(lookup("Book"), "1");
    EXPECT_EQ(lookup("Ponder"), "\x7f");  // 127 is not cut
    // A cut before the "=" leaves a line without value.
    write("[Engine]\nHa\tsh=1\nHash\xe9=2\n\tHash=3\nHash=4\n");
    EXPECT_EQ(lookup("Hash"), "4");
    EXPECT_EQ(lookup("Ha"), "<none>");
}

TEST_F(ConfigFileTest, LongLinesAreReadInPieces) {
    // 255 characters, then "Hash=77" as the next piece.
    write("[Engine]\n" + std::string(255, 'x') + "Hash=77\n");
    EXPECT_EQ(lookup("Hash"), "77");
    // A long value is cut after 255 characters of the line; the rest of the
    // line is a piece of its own.
    const std::string value(300, 'v');
    write("[Engine]\nBookFile=" + value + "=tail\n");
    EXPECT_EQ(lookup("BookFile"), value.substr(0, 255 - 9));
    EXPECT_EQ(lookup(std::string(300 - 246, 'v').c_str()), "tail");
}

TEST_F(ConfigFileTest, EmptyValueAndLinesWithoutEqualsSign) {
    write("[Engine]\nHash\n\nBook=\nBookFile==x\n");
    EXPECT_EQ(lookup("Hash"), "<none>");
    EXPECT_EQ(lookup("Book"), "");
    EXPECT_EQ(lookup("BookFile"), "=x");
    int book = 7;
    EXPECT_EQ(iniGetInt(path.c_str(), "Engine", "Book", book), 1);
    EXPECT_EQ(book, 0);
}

TEST_F(ConfigFileTest, IntegerValuesFromTheirLeadingDigits) {
    write("[Engine]\nA=abc\nB=-12x\nC=+7\nD=  42 MB\nE=0099\nF=4294967360\nG=-99999999999999999999\n");
    const struct {
        const char* key;
        int value;
    } cases[] = {{"A", 0}, {"B", -12}, {"C", 7}, {"D", 42}, {"E", 99}, {"F", INT_MAX}, {"G", INT_MIN}};
    for (const auto& c : cases) {
        int value = 555;
        EXPECT_EQ(iniGetInt(path.c_str(), "Engine", c.key, value), 1) << c.key;
        EXPECT_EQ(value, c.value) << c.key;
    }
    int missing = 128;
    EXPECT_EQ(iniGetInt(path.c_str(), "Engine", "Hash", missing), 0);
    EXPECT_EQ(missing, 128);
}

TEST_F(ConfigFileTest, MissingFileKeepsTheDefaults) {
    EXPECT_EQ(lookup("Hash"), "<none>");
    int hash = 128;
    EXPECT_EQ(iniGetInt((directory + "/absent.ini").c_str(), "Engine", "Hash", hash), 0);
    EXPECT_EQ(hash, 128);
    EXPECT_EQ(iniGetInt(directory.c_str(), "Engine", "Hash", hash), 0);  // a directory, not a file
    EXPECT_EQ(hash, 128);
}

}  // namespace
}  // namespace tarvok
