#pragma once

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace verolux {

// Hands the freed pages inside the heap back to the system: after a large buffer or many small
// pieces are freed, glibc would otherwise keep them for the process.
inline void ReturnFreedMemory() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

} // namespace verolux
