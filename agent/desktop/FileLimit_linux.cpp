#include "agent/desktop/FileLimit.h"

#include <sys/resource.h>

#include <climits>

namespace verolux {
namespace {

long AsLong(rlim_t value) {
    return value == RLIM_INFINITY || value > rlim_t(LONG_MAX) ? LONG_MAX : long(value);
}

} // namespace

long RaiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return -1;
    if (limit.rlim_cur != limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    return AsLong(limit.rlim_cur);
}

long OpenFileLimit() {
    rlimit limit{};
    return getrlimit(RLIMIT_NOFILE, &limit) == 0 ? AsLong(limit.rlim_cur) : -1;
}

} // namespace verolux
