#pragma once

#include <string_view>
#include <vector>

// Which pages a job prints and in what order, where the print service does not choose them itself.
// Pure.
namespace verolux::cups {

// The 0-based pages of a document of `pageCount` pages that `ranges` ("1-3,5", 1-based, "" = all; "7-"
// to the end) selects, in the document's order or the reverse; pages beyond the document are left
// out. Empty when the ranges cannot be read or select nothing.
std::vector<int> SelectPages(std::string_view ranges, int pageCount, bool reverse);

} // namespace verolux::cups
