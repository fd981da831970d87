// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/hash_table.h"

#include <cstdint>
#include <cstdio>

namespace tarvok {

HashTable hashTable;

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
    if (!hasStorage()) {
        useSpareEntry();
        return;
    }
    const uint32_t size = megabytes();
    platform::releaseTable(entries, storageBytes());
    if (void* storage = allocate(storageBytes())) {
        entries = static_cast<HashEntry*>(storage);
        clean = true;
        return;
    }
    // The pages just given back could not be had again: take what can be.
    useSpareEntry();
    resize(size);
}

void HashTable::free() {
    if (hasStorage()) platform::releaseTable(entries, storageBytes());
    useSpareEntry();
}

}  // namespace tarvok
