// SPDX-License-Identifier: GPL-3.0-or-later
// Field-by-field comparison of two Boards for tests (no memcmp: the structs
// have padding); only the live parts of the ply and key stacks count.
//
//   EXPECT_TRUE(sameBoard(before, after));
#pragma once

#include <gtest/gtest.h>

#include "board/board.h"

namespace tarvok::test {

// Success, or a failure naming the first field that differs.
::testing::AssertionResult sameBoard(const Board& expected, const Board& actual);

}  // namespace tarvok::test
