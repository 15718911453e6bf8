#include "agent/reports/design/Geometry.h"

#include <cmath>

namespace verolux::reports::design {

double RoundMm(double v) {
    const double r = std::round(v * 10000) / 10000;
    return r == 0 ? 0 : r; // no "-0" in a file
}

} // namespace verolux::reports::design
