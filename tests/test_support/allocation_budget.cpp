// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_support/allocation_budget.h"

#include <cstdlib>
#include <new>

namespace {

bool limited = false;
std::size_t remaining = 0;

void* allocate(std::size_t size) {
    if (limited) {
        if (size > remaining) throw std::bad_alloc();
        remaining -= size;
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}

}  // namespace

namespace tarvok::test {

AllocationBudget::AllocationBudget(std::size_t bytes) {
    remaining = bytes;
    limited = true;
}

AllocationBudget::~AllocationBudget() { limited = false; }

}  // namespace tarvok::test

// Every form of new and delete, so that all of them pair malloc with free.
void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
