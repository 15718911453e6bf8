#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace demo {

enum class FailureMode { None, Error500, Slow, Drop, Garbage };

std::optional<FailureMode> parseFailureMode(std::string_view text);
std::string_view failureModeName(FailureMode mode);

struct FailureRule {
    FailureMode mode = FailureMode::None;
    std::string pathPrefix; // "" matches every path
    int remaining = 1;      // requests left to fail; negative: until cleared
    int delayMs = 1000;     // for Slow
};

// Failures armed by tests: the next N requests under a path prefix fail in a chosen way.
// Thread-safe; rules are tried in the order they were added.
class FailureInjector {
  public:
    // Adds a rule. A rule of mode None clears the rules of that prefix, or all rules for "".
    void arm(const FailureRule& rule);
    void clear();

    // The rule that applies to a request for `path`, counted down; nullopt when none does.
    std::optional<FailureRule> take(std::string_view path);

    std::string toJson() const;

  private:
    mutable std::mutex m_mutex;
    std::vector<FailureRule> m_rules;
};

} // namespace demo
