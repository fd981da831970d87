// SPDX-License-Identifier: GPL-3.0-or-later
// Checks of the platform layer's file services that hold on every system the
// engine is built for; built without GoogleTest so that the cross builds run
// it too (under Wine and qemu). Run in a writable folder; exit status 0 when
// every check passes.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/platform.h"

#ifdef _WIN32
#include <windows.h>
#include <io.h>
#endif

namespace {

int checks = 0;
int failures = 0;

void check(bool ok, const char* what) {
    ++checks;
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    if (!ok) ++failures;
}

// The path of an open file, as the system reports it.
std::string pathOf(std::FILE* file) {
#ifdef _WIN32
    char path[MAX_PATH * 2];
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    const DWORD length = GetFinalPathNameByHandleA(handle, path, sizeof path, 0);
    return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
#else
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fileno(file)), error).string();
#endif
}

void setTemporaryFolder(const std::string& folder) {
#ifdef _WIN32
    _putenv_s("TMP", folder.c_str());
    _putenv_s("TEMP", folder.c_str());
#else
    setenv("TMPDIR", folder.c_str(), 1);
#endif
}

}  // namespace

int main() {
    namespace fs = std::filesystem;
    const fs::path folder = fs::absolute("platform-check-files");
    fs::remove_all(folder);
    fs::create_directories(folder / "temporary");

    // A PGN file past 2 and 4 GiB (sparse, so it costs no disk) keeps its
    // length where long has 32 bits.
    const fs::path large = folder / "large.pgn";
    const auto largeLength = (std::uintmax_t{5} << 30) + 17;
    { std::FILE* create = std::fopen(large.string().c_str(), "wb"); if (create) std::fclose(create); }
    std::error_code error;
    fs::resize_file(large, largeLength, error);
    std::FILE* file = std::fopen(large.string().c_str(), "rb");
    check(!error && file != nullptr && tarvok::platform::rereadableLength(file) == static_cast<int64_t>(largeLength), "length of a 5 GiB file");
    if (file != nullptr) std::fclose(file);
    fs::remove(large, error);

    // The temporary file lives in the system's folder for them, and reads
    // back what was written.
    setTemporaryFolder((folder / "temporary").string());
    std::FILE* spool = tarvok::platform::openTemporaryFile();
    bool readBack = false;
    std::string where;
    if (spool != nullptr) {
        where = pathOf(spool);
        std::fputs("1. e4 e5 *\n", spool);
        std::rewind(spool);
        char line[32] = {};
        readBack = std::fgets(line, sizeof line, spool) != nullptr && std::string(line) == "1. e4 e5 *\n";
        std::fclose(spool);
    }
    check(readBack, "temporary file reads back");
    const std::string expected = (folder / "temporary").filename().string();
    check(where.find(expected) != std::string::npos, ("temporary file in the named folder: " + where).c_str());
    check(fs::is_empty(folder / "temporary", error) && !error, "temporary file gone once closed");

    // A file named in UTF-8 outside ASCII (as GUIs send book names) is written
    // and read back under that name, not under its bytes in another code page.
    const char8_t* utf8Name = u8"b\u00fcch\u00e9r \u00c6\u20ac.bin";
    const fs::path named = folder / fs::path(utf8Name);
    const std::u8string namedText = named.u8string();
    const std::string utf8Path(namedText.begin(), namedText.end());
    bool roundTrip = false;
    if (std::FILE* out = tarvok::platform::openFile(utf8Path.c_str(), "wb")) {
        roundTrip = std::fputs("book", out) >= 0;
        roundTrip = std::fclose(out) == 0 && roundTrip;
    }
    if (std::FILE* in = tarvok::platform::openFile(utf8Path.c_str(), "rb")) {
        char text[8] = {};
        roundTrip = roundTrip && std::fread(text, 1, sizeof text, in) == 4 && std::string(text) == "book";
        std::fclose(in);
    }
    check(roundTrip && fs::exists(named, error), "file with a UTF-8 name outside ASCII");

    fs::remove_all(folder, error);
    std::printf("platform checks: %d of %d failed\n", failures, checks);
    return failures == 0 ? 0 : 1;
}
