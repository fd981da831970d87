// SPDX-License-Identifier: GPL-3.0-or-later
// A short game through Debian's polyglot adapter (XBoard in front, UCI to the
// engine), run by scripts/polyglot_game.py; skipped without polyglot.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "test_support/child_process.h"

namespace tarvok::test {
namespace {

bool installed(const char* command) {
    const std::string probe = std::string("command -v ") + command + " >/dev/null 2>&1 || test -x /usr/games/" + command;
    return std::system(probe.c_str()) == 0;
}

TEST(PolyglotGameTest, EveryMoveThroughPolyglotIsLegal) {
    if (!installed("polyglot")) GTEST_SKIP() << "polyglot is not installed";
    if (!installed("python3")) GTEST_SKIP() << "python3 is not installed";
    const std::string script = std::string(TARVOK_TEST_DATA_DIR) + "/../../scripts/polyglot_game.py";
    ChildProcess child;
    ASSERT_TRUE(child.start("/usr/bin/env", {"python3", script, TARVOK_BINARY, "5"}));
    child.closeInput();
    const std::vector<std::string> output = child.readAllLines(240000);
    std::string text;
    for (const std::string& line : output) text += line + "\n";
    EXPECT_EQ(child.waitExit(10000), 0) << text;
    ASSERT_FALSE(output.empty());
    EXPECT_EQ(output.back().rfind("ok: 5 engine moves", 0), 0u) << text;
}

}  // namespace
}  // namespace tarvok::test
