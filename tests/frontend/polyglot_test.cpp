// SPDX-License-Identifier: GPL-3.0-or-later
// A short game through Debian's polyglot adapter (XBoard in front, UCI to the
// engine), run by scripts/polyglot_game.py; skipped without polyglot.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "test_support/child_process.h"

namespace tarvok::test {

TEST(PolyglotGameTest, EveryMoveThroughPolyglotIsLegal) {
    const char* probe = "(command -v python3 && (command -v polyglot || test -x /usr/games/polyglot)) >/dev/null";
    if (std::system(probe) != 0) GTEST_SKIP() << "polyglot or python3 is not installed";
    const std::string script = std::string(TARVOK_TEST_DATA_DIR) + "/../../scripts/polyglot_game.py";
    ChildProcess child;
    ASSERT_TRUE(child.start("/usr/bin/env", {"python3", script, TARVOK_BINARY, "5"}));
    child.closeInput();
    const std::vector<std::string> lines = child.readAllLines(240000);
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    EXPECT_EQ(child.waitExit(10000), 0) << text;
    EXPECT_TRUE(!lines.empty() && lines.back().rfind("ok: 5 engine moves", 0) == 0) << text;
}

}  // namespace tarvok::test
