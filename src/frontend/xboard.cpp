// XBoard protocol handler.
#include "frontend/frontend.h"

namespace tarvok {

int xboardHandleLine(char*) { return 1; }

}  // namespace tarvok
