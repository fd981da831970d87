// SPDX-License-Identifier: GPL-3.0-or-later
// Linux and other POSIX systems.
// 64-bit file offsets on 32-bit systems too.
#define _FILE_OFFSET_BITS 64
#include <sys/mman.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace tarvok::platform {

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}

// Fresh anonymous pages read as zero and cost nothing until first written;
// the table is never written here. The mapping is aligned to 2 MB so that
// transparent huge pages can back all of it.
void* allocateTable(std::size_t bytes) {
    if (bytes == 0 || bytes > SIZE_MAX - kHugePage) return nullptr;
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    bytes = (bytes + page - 1) / page * page;
    const std::size_t mapped = bytes + kHugePage;
    void* block = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return nullptr;
    const auto begin = reinterpret_cast<uintptr_t>(block);
    const uintptr_t aligned = (begin + kHugePage - 1) & ~(uintptr_t{kHugePage} - 1);
    // The unaligned head and the tail beyond the table go back at once.
    if (aligned > begin) munmap(block, aligned - begin);
    const uintptr_t tail = aligned + bytes;
    if (begin + mapped > tail) munmap(reinterpret_cast<void*>(tail), begin + mapped - tail);
    void* storage = reinterpret_cast<void*>(aligned);
    adviseHugePages(storage, bytes);
    return storage;
}

void releaseTable(void* storage, std::size_t bytes) {
    if (storage == nullptr) return;
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    munmap(storage, (bytes + page - 1) / page * page);
}

void adviseHugePages(void* storage, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    const auto begin = reinterpret_cast<uintptr_t>(storage);
    const uintptr_t alignedBegin = (begin + kHugePage - 1) & ~(uintptr_t{kHugePage} - 1);
    const uintptr_t end = (begin + bytes) & ~(uintptr_t{kHugePage} - 1);
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

int64_t rereadableLength(std::FILE* file) {
    if (::fseeko(file, 0, SEEK_END) != 0) return -1;
    const off_t length = ::ftello(file);
    return length >= 0 && ::fseeko(file, 0, SEEK_SET) == 0 ? static_cast<int64_t>(length) : -1;
}

// tmpfile() would ignore TMPDIR and insist on /tmp.
std::FILE* openTemporaryFile() {
    const char* folder = std::getenv("TMPDIR");
    std::string path = folder != nullptr && folder[0] != '\0' ? folder : "/tmp";
    path += "/tarvok-XXXXXX";
    const int descriptor = ::mkstemp(path.data());
    if (descriptor < 0) return nullptr;
    ::unlink(path.c_str());  // the open descriptor keeps the file until it is closed
    std::FILE* file = ::fdopen(descriptor, "w+b");
    if (file == nullptr) ::close(descriptor);
    return file;
}

std::FILE* openFile(const char* utf8Path, const char* mode) { return std::fopen(utf8Path, mode); }

}  // namespace tarvok::platform
