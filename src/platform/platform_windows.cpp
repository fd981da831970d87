// SPDX-License-Identifier: GPL-3.0-or-later
// Windows.
//
// Standard input comes from an anonymous pipe (GUIs), a console (a person
// typing) or a redirected file (scripts). None of them can be polled the same
// way: PeekNamedPipe fails on consoles and files, a console handle signals on
// every key and mouse event rather than on a whole line, a file handle is
// always signalled, and Wine's pipes are unreliable under PeekNamedPipe. So
// each descriptor that is read gets one thread that does nothing but blocking
// ReadFile calls and appends what arrives to a bounded buffer; readInput takes
// from that buffer and waitReadable waits on it. Everything else (search, protocol)
// stays on the main thread.
#include <windows.h>
#include <io.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>

#include "platform/platform.h"

namespace tarvok::platform {

// Fresh pages from VirtualAlloc are zero.
void* allocateTable(std::size_t bytes) {
    return VirtualAlloc(nullptr, bytes == 0 ? 1 : bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void releaseTable(void* storage, std::size_t) {
    if (storage != nullptr) VirtualFree(storage, 0, MEM_RELEASE);
}

// Large pages need a privilege that ordinary accounts lack; none are asked for.
void adviseHugePages(void*, std::size_t) {}

namespace {

class InputPump {
   public:
    explicit InputPump(HANDLE handle) : handle_(handle) {}

    // The thread lives as long as the process: a blocking console read
    // cannot be cancelled, and process exit ends the thread. False when no
    // thread could be started.
    bool start() {
        try {
            std::thread([this] { run(); }).detach();
            return true;
        } catch (...) {
            return false;
        }
    }

    long read(char* buffer, std::size_t size) {
        std::unique_lock<std::mutex> hold(lock_);
        arrived_.wait(hold, [this] { return count_ > 0 || ended_; });
        std::size_t take = 0;
        // At most two pieces: up to the end of the ring, then from its start.
        while (take < size && count_ > 0) {
            const std::size_t piece = std::min({size - take, count_, kCapacity - head_});
            std::memcpy(buffer + take, ring_ + head_, piece);
            head_ = (head_ + piece) % kCapacity;
            count_ -= piece;
            take += piece;
        }
        if (take > 0) room_.notify_all();
        return take > 0 ? static_cast<long>(take) : ended_ && !failed_ ? 0 : -1;
    }

    bool wait(int milliseconds) {
        std::unique_lock<std::mutex> hold(lock_);
        return arrived_.wait_for(hold, std::chrono::milliseconds(milliseconds < 0 ? 0 : milliseconds),
                                 [this] { return count_ > 0 || ended_; });
    }

   private:
    // Input waiting to be read is capped: when the ring is full the thread
    // stops reading until the engine has taken some, and the writer waits on
    // the full pipe as it would on Linux.
    static constexpr std::size_t kCapacity = std::size_t{1} << 20;

    void run() {
        char chunk[4096];
        for (;;) {
            DWORD got = 0;
            const BOOL ok = ReadFile(handle_, chunk, sizeof chunk, &got, nullptr);
            // A closed pipe reports ERROR_BROKEN_PIPE: the end of input, as is
            // a read of nothing from a file; Ctrl+Z in a console reads nothing.
            const bool end = ok ? got == 0 : GetLastError() == ERROR_BROKEN_PIPE || GetLastError() == ERROR_HANDLE_EOF;
            std::unique_lock<std::mutex> hold(lock_);
            for (std::size_t done = 0; ok && done < got;) {
                room_.wait(hold, [this] { return count_ < kCapacity; });
                const std::size_t tail = (head_ + count_) % kCapacity;
                const std::size_t piece = std::min({got - done, kCapacity - count_, kCapacity - tail});
                std::memcpy(ring_ + tail, chunk + done, piece);
                count_ += piece;
                done += piece;
                arrived_.notify_all();
            }
            if (!ok || got == 0) {
                ended_ = true;
                failed_ = !end;
                arrived_.notify_all();
                return;
            }
        }
    }

    HANDLE handle_;
    std::mutex lock_;
    std::condition_variable arrived_;
    std::condition_variable room_;
    char ring_[kCapacity];
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    bool ended_ = false;
    bool failed_ = false;
};

constexpr int kPumpedDescriptors = 64;

// The pump of descriptor, started on first use; null for a descriptor with no
// handle.
InputPump* pumpOf(int descriptor) {
    static std::mutex lock;
    static InputPump* pumps[kPumpedDescriptors] = {};
    if (descriptor < 0 || descriptor >= kPumpedDescriptors) return nullptr;
    std::lock_guard<std::mutex> hold(lock);
    if (pumps[descriptor] == nullptr) {
        const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
        if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return nullptr;
        // Kept for the life of the process; without memory or a thread, reads fail.
        auto* pump = new (std::nothrow) InputPump(handle);
        if (pump == nullptr || !pump->start()) return nullptr;
        pumps[descriptor] = pump;
    }
    return pumps[descriptor];
}

}  // namespace

long readInput(int descriptor, char* buffer, std::size_t size) {
    InputPump* pump = pumpOf(descriptor);
    return pump != nullptr ? pump->read(buffer, size) : -1;
}

bool waitReadable(int descriptor, int milliseconds) {
    InputPump* pump = pumpOf(descriptor);
    // Without a handle a read fails at once, so it does not block either.
    return pump == nullptr || pump->wait(milliseconds);
}

int64_t rereadableLength(std::FILE* file) {
    // A pipe's or console's position means nothing even where seeking succeeds.
    if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) != FILE_TYPE_DISK) return -1;
    if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
    const int64_t length = _ftelli64(file);
    return length >= 0 && _fseeki64(file, 0, SEEK_SET) == 0 ? length : -1;
}

// tmpfile() creates its file in the root folder of the current drive, which
// ordinary accounts often may not write.
std::FILE* openTemporaryFile() {
    wchar_t folder[MAX_PATH + 1];
    wchar_t path[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"tvk", 0, path) == 0) return nullptr;
    // "D": deleted when closed; "T": kept in memory where the system can.
    std::FILE* file = _wfopen(path, L"w+bTD");
    if (file == nullptr) DeleteFileW(path);
    return file;
}

std::FILE* openFile(const char* utf8Path, const char* mode) {
    // Names up to Windows' longest path; the mode is plain ASCII.
    wchar_t widePath[32768];
    wchar_t wideMode[16];
    const int pathLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8Path, -1, widePath, 32768);
    const int modeLength = MultiByteToWideChar(CP_UTF8, 0, mode, -1, wideMode, 16);
    if (pathLength == 0 || modeLength == 0) return std::fopen(utf8Path, mode);
    return _wfopen(widePath, wideMode);
}

}  // namespace tarvok::platform
