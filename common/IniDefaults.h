#pragma once

#include <string>
#include <string_view>

namespace mINI {

// An administrator's defaults file (/etc/verolux/verolux.ini on an installed desktop) applied to a
// user's settings: every key the defaults give a value is written where the user's text reads ""
// (missing or empty, which the programs treat alike); a user's own value is never replaced. Names
// and values follow LookupValue's rules on both sides. Pure.
std::string MergeDefaults(std::string_view userText, std::string_view defaultsText);

// The keys an administrator's policy file (policy.ini) fixes for every user: unlike defaults, they
// replace the user's own values.
struct PolicyKey {
    std::string_view section;
    std::string_view key;
};
inline constexpr PolicyKey kPolicyKeys[] = {{"AppInfo", "WebsUrl"}, {"AppInfo", "UpdateKey"}};

// A user's settings under an administrator's policy file: each of kPolicyKeys that the policy gives a
// value replaces the user's value (an empty policy value leaves the user's). The policy's other keys
// (its site rules, ListenAll) are read where they apply, not copied. Pure.
std::string ApplyPolicy(std::string_view userText, std::string_view policyText);

} // namespace mINI
