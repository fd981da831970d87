// SPDX-License-Identifier: GPL-3.0-or-later
// A stream of XBoard lines against a live engine.
#include "fuzz/protocol_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return tarvok::fuzz::runProtocolStream("xboard", data, size);
}
