#pragma once

namespace verolux {

// The process's limit on open files (sockets included), where the platform has one.

// Raises the soft limit to the hard limit; returns the soft limit then, or -1 where there is none.
long RaiseOpenFileLimit();

// The soft limit now, or -1 where there is none.
long OpenFileLimit();

} // namespace verolux
