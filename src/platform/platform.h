// SPDX-License-Identifier: GPL-3.0-or-later
// Operating-system services: large zero-filled tables, standard-input reads
// and waits, file lengths past 2 GiB, temporary files and files named in
// UTF-8. The rest of the program calls only these; each platform has one
// source file (platform_posix.cpp, platform_windows.cpp) and CMake builds the
// one that fits the target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace tarvok::platform {

// Zero-filled storage of bytes for a large table, with huge pages asked for
// where the system has them; nullptr when the system cannot give it. The
// storage is fresh from the system and not written here, so allocating costs
// nothing up front: each page is paid for when first written.
void* allocateTable(std::size_t bytes);
// Releases what allocateTable returned, with the same byte count.
void releaseTable(void* storage, std::size_t bytes);
// Asks for huge pages over the whole 2 MB pages inside an existing block,
// before it is first written; a no-op where the system has no such advice.
void adviseHugePages(void* storage, std::size_t bytes);

// Reads up to size bytes from descriptor, retrying interrupted reads:
// the byte count, 0 at the end of input, -1 on an error.
long readInput(int descriptor, char* buffer, std::size_t size);
// True when a read from descriptor would not block (data or the end of input
// waiting), waiting at most milliseconds for it; 0 polls.
bool waitReadable(int descriptor, int milliseconds);

// The length in bytes of an open file, which is left at its start; -1 when it
// cannot be read twice (a pipe, a terminal). Counts past 2 GiB everywhere.
int64_t rereadableLength(std::FILE* file);
// A new, empty temporary file open for reading and writing in binary mode,
// in the system's folder for temporary files (TMPDIR, or TMP and TEMP on
// Windows) and gone once closed; nullptr when none can be made.
std::FILE* openTemporaryFile();
// fopen of a file named in UTF-8 (what GUIs send and Linux uses); on Windows
// a name that is not valid UTF-8 is taken in the system's code page, as
// command-line arguments arrive.
std::FILE* openFile(const char* utf8Path, const char* mode);

}  // namespace tarvok::platform
