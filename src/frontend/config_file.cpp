// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/config_file.h"

#include <cstdio>
#include <cstring>

#include "frontend/number_text.h"
#include "platform/platform.h"

namespace tarvok {

int iniGetString(const char* fileName, const char* section, const char* key, char* value) {
    FILE* file = platform::openFile(fileName, "r");
    if (file == nullptr) return 0;
    char currentSection[kConfigValueSize] = "";
    char line[kConfigValueSize];
    int found = 0;
    while (std::fgets(line, sizeof line, file) != nullptr) {
        // Any control character or byte above 127 ends the line.
        for (char* p = line; *p != '\0'; ++p) {
            if (static_cast<signed char>(*p) < 32) {
                *p = '\0';
                break;
            }
        }
        if (line[0] == '\0') continue;
        if (line[0] == '[') {
            const size_t length = std::strlen(line);
            char name[kConfigValueSize];
            const size_t nameLength = length >= 2 ? length - 2 : 0;
            std::memcpy(name, line + 1, nameLength);
            name[nameLength] = '\0';
            if (std::strcmp(name, section) == 0) std::strcpy(currentSection, name);
            continue;
        }
        if (std::strcmp(currentSection, section) != 0) continue;
        char* equals = std::strchr(line, '=');
        if (equals == nullptr) continue;
        *equals = '\0';
        if (std::strcmp(line, key) == 0) {
            std::strcpy(value, equals + 1);
            found = 1;
            break;
        }
    }
    std::fclose(file);
    return found;
}

int iniGetInt(const char* fileName, const char* section, const char* key, int& value) {
    char text[kConfigValueSize];
    if (!iniGetString(fileName, section, key, text)) return 0;
    value = readSaturatedInt(text);
    return 1;
}

}  // namespace tarvok
