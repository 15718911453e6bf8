#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace verolux::reports {

// Where a JSON text first goes wrong, for error messages that point at the spot. simdjson says
// *that* a text is broken; this walks it once more to say *where*. Only run on texts that failed.
struct JsonSyntaxError {
    size_t offset = 0;
    int line = 1, column = 1; // 1-based; column counts bytes
    std::string reason;
    bool tooDeep = false; // valid JSON, but more arrays and objects inside each other than allowed
};

// Returns false and fills `error` when `text` is not one valid JSON value, or when it opens an array or
// object inside `maxDepth` others (simdjson's max_depth counts alike).
bool CheckJsonSyntax(std::string_view text, JsonSyntaxError& error, int maxDepth);

} // namespace verolux::reports
