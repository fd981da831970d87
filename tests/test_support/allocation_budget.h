// SPDX-License-Identifier: GPL-3.0-or-later
// Running out of memory on demand: while an AllocationBudget lives, operator
// new throws std::bad_alloc once the bytes it has handed out since the
// budget began would exceed the budget.
//
//   { test::AllocationBudget budget(4096); buildBook(...); }   // limit lifted
#pragma once

#include <cstddef>

namespace tarvok::test {

class AllocationBudget {
   public:
    explicit AllocationBudget(std::size_t bytes);
    ~AllocationBudget();
    AllocationBudget(const AllocationBudget&) = delete;
    AllocationBudget& operator=(const AllocationBudget&) = delete;
};

}  // namespace tarvok::test
