#pragma once

#include "agent/reports/design/BandRef.h"

namespace verolux::reports {

// What the inspector shows: the report itself, the selected items, or one band, field, parameter,
// group or style picked in the explorer.
struct DesignSubject {
    enum class Kind : uint8_t { Report, Items, Band, Field, Parameter, Group, Style };
    Kind kind = Kind::Report;
    design::BandRef band;
    int index = -1;
    friend bool operator==(const DesignSubject&, const DesignSubject&) = default;
};

} // namespace verolux::reports
