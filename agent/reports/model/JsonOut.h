#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace verolux::reports {

struct JsonMember;

// A JSON value on its way into a file: leaves hold their JSON text, objects keep their members in the
// order they are added. `expanded` puts each member or element on a line of its own; a value broken
// over lines closes on a line of its own.
struct JsonOut {
    enum class Kind : uint8_t { Leaf, Object, Array };
    Kind kind = Kind::Leaf;
    bool expanded = false;
    std::string text; // leaves
    std::vector<JsonMember> members;
    std::vector<JsonOut> elements;

    static JsonOut Leaf(std::string jsonText);
    static JsonOut String(std::string_view s);
    static JsonOut Number(double v);
    static JsonOut Bool(bool b);
    static JsonOut Object(bool expanded = false);
    static JsonOut Array(bool expanded = false);

    // `ownLine`: this member starts a new line even in an object that is not expanded.
    void add(std::string key, JsonOut value, bool ownLine = false);
    bool empty() const { return members.empty() && elements.empty(); }
};

struct JsonMember {
    std::string key;
    JsonOut value;
    bool ownLine = false;
};

// The shortest text that reads back as the same double, after rounding away binary noise below a
// millionth (0.1 + 0.2 is written 0.3): every number of a template is a length, a size or a count.
std::string FormatNumber(double v);

// The value without any blank, as simdjson::minify writes it.
std::string CompactJson(const JsonOut& v);

// The value laid out for a file that people read and diff: two blanks per level, a final newline.
std::string PrintJson(const JsonOut& v);

} // namespace verolux::reports
