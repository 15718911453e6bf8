// Request texts: the reader either refuses a text with JsonError or gives a tree whose compact text
// reads back to the same tree; the request keys can be asked for in any case.
#include "common/JsonReader.h"
#include "tests/fuzz/FuzzTarget.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

// Touches every value the way the print pipeline does: named keys as text, rows by index, fields by name.
void walk(const verolux::JsonValue& v, std::size_t depth) {
    check(depth <= verolux::kMaxJsonNesting);
    (void)v.scalar();
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v.isObject()) {
            const std::string_view name = v.memberName(i);
            check(v.member(name).valid());
            walk(v.member(name), depth + 1);
        } else {
            walk(v.element(i), depth + 1);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const verolux::JsonDocument doc = verolux::JsonDocument::Parse(text);
        check(doc.root().isObject());
        walk(doc.root(), 1);
        for (const char* key : {"preview", "repname", "reportmd5", "reportId", "ver", "url", "file"}) {
            try {
                (void)doc.requiredText(key);
            } catch (const verolux::JsonError&) {
            }
        }
        try {
            (void)doc.requiredArray("repdata", 32767);
        } catch (const verolux::JsonError&) {
        }
        const std::string compact = doc.root().jsonText();
        const verolux::JsonDocument again = verolux::JsonDocument::Parse(compact);
        check(again.root().jsonText() == compact);
    } catch (const verolux::JsonError&) {
    }
    return 0;
}
