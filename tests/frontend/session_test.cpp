// SPDX-License-Identifier: GPL-3.0-or-later
// The binary driven through UCI and XBoard sessions and as a process; the
// scripts are in tests/data/front/.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "test_support/session_script.h"

namespace tarvok::test {
namespace {

class SessionTest : public ::testing::TestWithParam<SessionScript> {};

TEST_P(SessionTest, StaysInStep) {
    if (GetParam().name == "BookTooLargeForMemory") GTEST_SKIP() << "run by BookTooLargeForMemory below";
    runSessionScript(GetParam(), {{"long", std::string(10000, 'u')}, {"data", TARVOK_TEST_DATA_DIR}});
}

auto scriptName = [](const ::testing::TestParamInfo<SessionScript>& info) { return info.param.name; };
INSTANTIATE_TEST_SUITE_P(Uci, SessionTest, ::testing::ValuesIn(readSessionScripts("front/uci.txt")), scriptName);
INSTANTIATE_TEST_SUITE_P(Xboard, SessionTest, ::testing::ValuesIn(readSessionScripts("front/xboard.txt")), scriptName);
INSTANTIATE_TEST_SUITE_P(Process, SessionTest, ::testing::ValuesIn(readSessionScripts("front/process.txt")),
                         scriptName);

// A book of two million one-move nodes: 44 MB on disk, over 400 MB loaded.
TEST(SessionBookTest, BookTooLargeForMemory) {
    const std::vector<SessionScript> scripts = readSessionScripts("front/uci.txt");
    const auto script = std::find_if(scripts.begin(), scripts.end(),
                                     [](const SessionScript& s) { return s.name == "BookTooLargeForMemory"; });
    ASSERT_NE(script, scripts.end());
    std::string bytes = "BOOK";
    auto append = [&bytes](uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>(value >> (8 * i)));
    };
    constexpr uint32_t kNodes = 2000000;
    append(0x00010001);
    append(kNodes);
    for (uint32_t node = 1; node <= kNodes; ++node) {
        // key, key, one move, any move word (no position has these keys), weight
        for (uint32_t value : {node, 0u, 1u, 0x31Cu, 1u}) append(value);
        bytes += std::string(2, '\0');
    }
    const std::string path = "/tmp/tarvok_large_book_" + std::to_string(getpid()) + ".bin";
    std::ofstream(path, std::ios::binary) << bytes;
    runSessionScript(*script, {{"book", path}});
    std::remove(path.c_str());
}

}  // namespace
}  // namespace tarvok::test
