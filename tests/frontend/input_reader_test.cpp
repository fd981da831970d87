// SPDX-License-Identifier: GPL-3.0-or-later
// InputReader on a pipe: lines split across writes, buffered lines seen by
// inputAvailable, over-long lines in pieces, the end of input.
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
        if (fds[1] >= 0) ::close(fds[1]);
        ::close(fds[0]);
    }
    void send(const std::string& text) {
        ASSERT_EQ(::write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    std::string next(int size = kInputLineSize) {
        return reader->readLine(line, size) ? std::string(line) : "<none>";
    }
    int fds[2] = {-1, -1};
    std::unique_ptr<InputReader> reader;
    char line[kInputLineSize];
};

TEST_F(InputReaderPipe, LinesSplitAcrossWritesAndBuffered) {
    send("p");  // a one-byte read is input, not the end
    EXPECT_FALSE(reader->inputAvailable());
    send("osition startpos\nis");
    EXPECT_TRUE(reader->inputAvailable());
    EXPECT_EQ(next(), "position startpos\n");
    EXPECT_FALSE(reader->inputAvailable());  // only "is" so far
    send("ready\n");
    EXPECT_EQ(next(), "isready\n");
    // Nothing left on the descriptor, but whole lines are buffered, however short.
    send("stop\n\n");
    EXPECT_EQ(next(), "stop\n");
    EXPECT_TRUE(reader->inputAvailable());
    EXPECT_EQ(next(), "\n");
    EXPECT_FALSE(reader->inputAvailable());
}

TEST_F(InputReaderPipe, LongLinesComeInPiecesOfAtMost4095) {
    send(std::string(10000, 'x') + "\nnext\nabcdefgh\n");
    EXPECT_EQ(next(), std::string(4095, 'x'));
    EXPECT_EQ(next(), std::string(4095, 'x'));
    EXPECT_EQ(next(), std::string(10000 - 2 * 4095, 'x') + "\n");
    EXPECT_EQ(next(), "next\n");
    EXPECT_EQ(next(4), "abc");  // a smaller destination is respected too
}

TEST_F(InputReaderPipe, EndOfInput) {
    send("last line without newline");
    EXPECT_FALSE(reader->inputAvailable());
    ::close(fds[1]);
    fds[1] = -1;
    EXPECT_TRUE(reader->inputAvailable());
    EXPECT_EQ(next(), "last line without newline");
    EXPECT_EQ(next(), "<none>");
    EXPECT_TRUE(reader->atEnd());
    // At the end reading does not block, and inputAvailable keeps saying so.
    EXPECT_EQ(next(), "<none>");
    EXPECT_TRUE(reader->inputAvailable());
    EXPECT_TRUE(reader->inputAvailable());
}

}  // namespace
}  // namespace tarvok::test
