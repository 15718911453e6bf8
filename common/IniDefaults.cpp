#include "common/IniDefaults.h"

#include "common/IniText.h"

namespace mINI {

std::string MergeDefaults(std::string_view userText, std::string_view defaultsText) {
    std::string merged(userText);
    for (const IniName& name : ListNames(defaultsText)) {
        // A key given twice, or in a repeated section, is taken as a lookup would take it.
        std::string value = LookupValue(defaultsText, name.section, name.key);
        if (value.empty() || !LookupValue(merged, name.section, name.key).empty()) continue;
        merged = ReplaceValue(merged, name.section, name.key, value);
    }
    return merged;
}

std::string ApplyPolicy(std::string_view userText, std::string_view policyText) {
    std::string merged(userText);
    for (const PolicyKey& name : kPolicyKeys) {
        const std::string value = LookupValue(policyText, name.section, name.key);
        // Unchanged text when the user already has it, so an enforced file is not rewritten each start.
        if (value.empty() || LookupValue(merged, name.section, name.key) == value) continue;
        merged = ReplaceValue(merged, name.section, name.key, value);
    }
    return merged;
}

} // namespace mINI
