#pragma once

#include "agent/reports/model/Template.h"

#include <vector>

namespace verolux::reports::design {

// Value equality of the template's parts, to tell an edit that changed nothing from one that did.
bool Same(const Item& a, const Item& b);
bool Same(const Band& a, const Band& b);
bool Same(const Declared& a, const Declared& b);
bool Same(const Group& a, const Group& b);
bool Same(const PageSetup& a, const PageSetup& b);
bool Same(const TextStyle& a, const TextStyle& b);
bool Same(const std::string& a, const std::string& b);

template <class T> bool Same(const std::vector<T>& a, const std::vector<T>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!Same(a[i], b[i])) return false;
    return true;
}

} // namespace verolux::reports::design
