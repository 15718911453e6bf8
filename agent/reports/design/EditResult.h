#pragma once

#include <string>

namespace verolux::reports::design {

// The outcome of an edit the user can ask for wrongly (a name taken twice, margins that leave no
// room): changed, unchanged, or refused with the reason in words for the user.
struct EditResult {
    bool changed = false;
    std::string error;
    explicit operator bool() const { return changed; }
    static EditResult refused(std::string why) { return {false, std::move(why)}; }
};

} // namespace verolux::reports::design
