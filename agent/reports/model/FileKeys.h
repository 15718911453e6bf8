#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace verolux::reports {

// How one JSON object of a template file was written, so that saving keeps what the model does not hold:
// the order of the keys, keys the engine does not read (with their JSON text), and the spelling of values
// the engine would write differently ("#ff0000", "borders": "all", "by": "customer", 10.0).
struct FileKey {
    std::string name;
    bool known = true;     // read by the engine; else `text` is the value, kept as it was
    std::string text;      // known keys: the value as the file wrote it, when that differs from ...
    std::string canonical; // ... what the writer makes of the value it was read as
    friend bool operator==(const FileKey&, const FileKey&) = default;
};

struct FileKeys {
    std::vector<FileKey> keys; // file order; empty for an object made in code
    bool has(std::string_view name) const {
        for (const FileKey& k : keys)
            if (k.known && k.name == name) return true;
        return false;
    }
    friend bool operator==(const FileKeys&, const FileKeys&) = default;
};

} // namespace verolux::reports
