#include "agent/desktop/FileLimit.h"

namespace verolux {

// No per-process limit on sockets to raise or to stay below.
long RaiseOpenFileLimit() {
    return -1;
}

long OpenFileLimit() {
    return -1;
}

} // namespace verolux
