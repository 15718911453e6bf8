#include "demo/backend/FailureInjector.h"

#include "common/JsonEscape.h"

namespace demo {

using verolux::JsonQuote;

std::optional<FailureMode> parseFailureMode(std::string_view text) {
    if (text == "none" || text.empty()) return FailureMode::None;
    if (text == "500") return FailureMode::Error500;
    if (text == "slow") return FailureMode::Slow;
    if (text == "drop") return FailureMode::Drop;
    if (text == "garbage") return FailureMode::Garbage;
    return std::nullopt;
}

std::string_view failureModeName(FailureMode mode) {
    switch (mode) {
    case FailureMode::None:
        return "none";
    case FailureMode::Error500:
        return "500";
    case FailureMode::Slow:
        return "slow";
    case FailureMode::Drop:
        return "drop";
    case FailureMode::Garbage:
        return "garbage";
    }
    return "none";
}

void FailureInjector::arm(const FailureRule& rule) {
    std::lock_guard lock(m_mutex);
    if (rule.mode == FailureMode::None) {
        if (rule.pathPrefix.empty()) {
            m_rules.clear();
        } else {
            std::erase_if(m_rules, [&](const FailureRule& r) { return r.pathPrefix == rule.pathPrefix; });
        }
        return;
    }
    if (rule.remaining != 0) m_rules.push_back(rule);
}

void FailureInjector::clear() {
    std::lock_guard lock(m_mutex);
    m_rules.clear();
}

std::optional<FailureRule> FailureInjector::take(std::string_view path) {
    std::lock_guard lock(m_mutex);
    for (auto it = m_rules.begin(); it != m_rules.end(); ++it) {
        if (!path.starts_with(it->pathPrefix)) continue;
        FailureRule hit = *it;
        if (it->remaining > 0 && --it->remaining == 0) m_rules.erase(it);
        return hit;
    }
    return std::nullopt;
}

std::string FailureInjector::toJson() const {
    std::lock_guard lock(m_mutex);
    std::string out = "[";
    for (std::size_t i = 0; i < m_rules.size(); ++i) {
        const auto& r = m_rules[i];
        if (i) out += ',';
        out += "{\"mode\":" + JsonQuote(failureModeName(r.mode)) + ",\"path\":" + JsonQuote(r.pathPrefix) +
               ",\"count\":" + std::to_string(r.remaining) + ",\"delay_ms\":" + std::to_string(r.delayMs) +
               "}";
    }
    return out + "]";
}

} // namespace demo
