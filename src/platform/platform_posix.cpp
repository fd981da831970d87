// SPDX-License-Identifier: GPL-3.0-or-later
// Linux and other POSIX systems.
#include <sys/mman.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "platform/platform.h"

namespace tarvok::platform {

void* allocateTable(std::size_t bytes) { return std::calloc(bytes, 1); }

void releaseTable(void* storage, std::size_t) { std::free(storage); }

void adviseHugePages(void* storage, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
    const auto begin = reinterpret_cast<uintptr_t>(storage);
    const uintptr_t alignedBegin = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t end = (begin + bytes) & ~(kHugePage - 1);
    if (end > alignedBegin) madvise(reinterpret_cast<void*>(alignedBegin), end - alignedBegin, MADV_HUGEPAGE);
#else
    (void)storage;
    (void)bytes;
#endif
}

long readInput(int descriptor, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(descriptor, buffer, size);
        if (got >= 0) return static_cast<long>(got);
        if (errno != EINTR) return -1;
    }
}

bool waitReadable(int descriptor, int milliseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(descriptor, &readable);
    timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return ::select(descriptor + 1, &readable, nullptr, nullptr, &timeout) > 0;
}

}  // namespace tarvok::platform
