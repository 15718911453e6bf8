#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace verolux {

// A whole number from 1 written with at most 6 digits and nothing else (a page number, copies).
bool ParsePositive(std::string_view digits, int* value);

// One range of a page list: pages `first` to `last`, from 1; `last` 0 for "to the end" ("8-").
struct PageRange {
    int first = 0, last = 0;
};

// The ranges of a list such as "1-3,5,8-"; nothing when it is not one (empty, a number below 1, a range
// running backwards, anything else in it).
std::optional<std::vector<PageRange>> ReadPageRanges(std::string_view pages);

} // namespace verolux
