// SPDX-License-Identifier: GPL-3.0-or-later
// The configuration reader on arbitrary file contents.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frontend/config_file.h"

using namespace tarvok;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static char path[] = "/tmp/tarvok_fuzz_ini_XXXXXX";
    static int descriptor = mkstemp(path);
    if (descriptor < 0) return 0;
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    char value[kConfigValueSize + 16];
    std::memset(value, 'x', sizeof value);
    const char* keys[] = {"Hash", "Book", "BookFile", "", "Hash "};
    for (const char* key : keys) {
        if (iniGetString(path, "Engine", key, value) && std::strlen(value) >= kConfigValueSize) __builtin_trap();
        int number = 7;
        iniGetInt(path, "Engine", key, number);
    }
    return 0;
}
