// SPDX-License-Identifier: GPL-3.0-or-later
// InputReader on a pipe: lines split across writes, over-long lines in
// pieces, buffered lines seen by inputAvailable, the end of input.
#include "frontend/input_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

namespace tarvok::test {
namespace {

class InputReaderPipe : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_EQ(::pipe(fds), 0);
        reader = std::make_unique<InputReader>(fds[0]);
    }
    void TearDown() override {
        closeWriter();
        ::close(fds[0]);
    }
    void send(const std::string& text) {
        ASSERT_EQ(::write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void closeWriter() {
        if (fds[1] >= 0) ::close(fds[1]);
        fds[1] = -1;
    }
    std::string next() {
        if (!reader->readLine(line, kInputLineSize)) return "<none>";
        return line;
    }
    int fds[2] = {-1, -1};
    std::unique_ptr<InputReader> reader;
    char line[kInputLineSize];
};

TEST_F(InputReaderPipe, LineSplitAcrossWrites) {
    send("posit");
    EXPECT_FALSE(reader->inputAvailable());
    send("ion startpos\nis");
    EXPECT_TRUE(reader->inputAvailable());
    EXPECT_EQ(next(), "position startpos\n");
    EXPECT_FALSE(reader->inputAvailable());  // only "is" so far
    send("ready\n");
    EXPECT_TRUE(reader->inputAvailable());
    EXPECT_EQ(next(), "isready\n");
    EXPECT_FALSE(reader->inputAvailable());
}

TEST_F(InputReaderPipe, SecondLineOfTheSameWriteIsSeenAsBuffered) {
    send("stop\nquit\n");
    EXPECT_EQ(next(), "stop\n");
    // Nothing is left on the descriptor, but a whole line is buffered.
    EXPECT_TRUE(reader->inputAvailable());
    EXPECT_EQ(next(), "quit\n");
    EXPECT_FALSE(reader->inputAvailable());
}

TEST_F(InputReaderPipe, LongLinesComeInPiecesOfAtMost4095) {
    const std::string longLine(10000, 'x');
    send(longLine + "\nnext\n");
    std::string joined;
    std::string piece = next();
    EXPECT_EQ(piece.size(), 4095u);
    joined += piece;
    piece = next();
    EXPECT_EQ(piece.size(), 4095u);
    joined += piece;
    piece = next();
    EXPECT_EQ(piece.size(), 10000u - 2 * 4095 + 1);
    joined += piece;
    EXPECT_EQ(joined, longLine + "\n");
    EXPECT_EQ(next(), "next\n");
    // A smaller destination is respected too.
    send("abcdefgh\n");
    ASSERT_TRUE(reader->readLine(line, 4));
    EXPECT_STREQ(line, "abc");
}

TEST_F(InputReaderPipe, EndOfInput) {
    send("last line without newline");
    EXPECT_FALSE(reader->inputAvailable());
    closeWriter();
    EXPECT_TRUE(reader->inputAvailable());
    EXPECT_EQ(next(), "last line without newline");
    EXPECT_EQ(next(), "<none>");
    EXPECT_TRUE(reader->atEnd());
    EXPECT_EQ(next(), "<none>");
    // At the end, readLine does not block, and inputAvailable keeps saying so.
    EXPECT_TRUE(reader->inputAvailable());
    EXPECT_TRUE(reader->inputAvailable());
}

}  // namespace
}  // namespace tarvok::test
