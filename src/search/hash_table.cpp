// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/hash_table.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarvok {

HashTable hashTable;

// Plain allocation: resize zeroes (and so maps) every page itself.
void* defaultHashAllocator(std::size_t bytes) { return std::malloc(bytes); }

void HashTable::useSpareEntry() {
    spareEntry = HashEntry{};
    entries = &spareEntry;
    entryCount = 1;
    indexMask = 0;
    clean = true;
}

int HashTable::resize(int64_t requestedMegabytes) {
    free();
    const uint32_t wanted = hashSizeMegabytes(requestedMegabytes);
    for (uint32_t size = wanted; size >= kMinHashMegabytes; size >>= 1) {
        const uint32_t count = hashEntryCount(size);
        const uint64_t bytes = static_cast<uint64_t>(count) * sizeof(HashEntry);
        void* storage = bytes <= SIZE_MAX ? allocate(static_cast<std::size_t>(bytes)) : nullptr;
        if (storage == nullptr) {
            if (size == wanted) std::printf("Hash table : out of memory\n");
            continue;
        }
        // Every page is touched now, before any clock runs: otherwise the
        // first search pays for mapping the whole table.
        std::memset(storage, 0, static_cast<std::size_t>(bytes));
        entries = static_cast<HashEntry*>(storage);
        entryCount = count;
        indexMask = count - 1;
        clean = true;
        return size == wanted ? 1 : 0;
    }
    return 0;
}

void HashTable::clear() {
    if (clean) return;
    std::memset(entries, 0, static_cast<std::size_t>(entryCount) * sizeof(HashEntry));
    clean = true;
}

void HashTable::free() {
    if (hasStorage()) std::free(entries);
    useSpareEntry();
}

}  // namespace tarvok
