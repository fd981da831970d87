// UCI protocol handler.
#include <cstring>

#include "frontend/frontend.h"

namespace tarvok {

int uciHandleLine(char* line) { return std::strcmp(line, "quit") != 0; }

}  // namespace tarvok
