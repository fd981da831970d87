// SPDX-License-Identifier: GPL-3.0-or-later
// Reader of the INI-style configuration file (tarvok.ini). The file is read
// afresh for every value; the first matching line wins.
#pragma once

namespace tarvok {

inline constexpr const char* kConfigFileName = "tarvok.ini";
constexpr int kConfigValueSize = 256;

// Fills value (kConfigValueSize bytes) and returns 1 when the key is found in
// the section; otherwise returns 0 and leaves value untouched.
int iniGetString(const char* fileName, const char* section, const char* key, char* value);
// Stores the base-10 value of the key's text and returns 1 when found;
// otherwise returns 0 and value keeps the caller's default.
int iniGetInt(const char* fileName, const char* section, const char* key, int& value);

}  // namespace tarvok
