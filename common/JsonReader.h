#pragma once

#include "common/ScalarValue.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace verolux {

// Objects and arrays nested deeper than this make a text unreadable (a request nests three levels;
// the limit keeps the reader's recursion far from the end of the stack).
inline constexpr std::size_t kMaxJsonNesting = 512;

// A JSON text that cannot be read as asked: syntax error, root not an object, a required key
// missing or null, an array of the wrong kind or size.
class JsonError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class JsonDocument;
namespace detail {
struct JsonTree;
}

// A value inside a JsonDocument; cheap to copy, valid while the document lives.
// Values convert to ScalarValue the way a web page's script sees them:
//   string  -> Text, unchanged
//   number  -> Number, its script text (1 -> "1", 1e21 -> "1e+21"; integers beyond 2^53 as written)
//   boolean -> Boolean ("true" / "false")
//   null    -> Empty
//   object or array -> Text holding its JSON text in compact form ({"a":1,"b":[2,3]}); a script would
//                      print "[object Object]", which helps nobody filling a report field.
class JsonValue {
  public:
    enum class Type : std::uint8_t { Null, Boolean, Number, String, Object, Array };

    JsonValue() = default;

    bool valid() const { return m_doc != nullptr; }
    Type type() const;
    bool isObject() const { return valid() && type() == Type::Object; }
    bool isArray() const { return valid() && type() == Type::Array; }
    bool isNull() const { return valid() && type() == Type::Null; }

    ScalarValue scalar() const;

    // Objects: the member of that exact name (the last one when a name repeats, as in a script);
    // an invalid value when missing or when this is not an object. Any name works, identifier or not.
    JsonValue member(std::string_view name) const;
    // Objects: member(name).scalar(), Empty when the member is missing.
    ScalarValue value(std::string_view name) const { return member(name).scalar(); }

    // Arrays: the element count; element(i) for 0 <= i < size(). Objects: the member count.
    std::size_t size() const;
    JsonValue element(std::size_t index) const;

    // Objects: name of the i-th member, in text order.
    std::string_view memberName(std::size_t index) const;

    // Compact JSON text of this value.
    std::string jsonText() const;

  private:
    friend class JsonDocument;
    JsonValue(const detail::JsonTree* tree, std::uint32_t node) : m_doc(tree), m_node(node) {}

    const detail::JsonTree* m_doc = nullptr;
    std::uint32_t m_node = 0;
};

// One parsed JSON text whose root is an object. Parsing reads the whole text once (simdjson) into a
// flat table, so any value can then be looked up in any order. Movable; values stay valid across moves.
class JsonDocument {
  public:
    // Throws JsonError when the text is not JSON or its root is not an object.
    static JsonDocument Parse(std::string_view text);

    JsonDocument(JsonDocument&&) noexcept;
    JsonDocument& operator=(JsonDocument&&) noexcept;
    ~JsonDocument();

    JsonValue root() const;

    // The named top-level member as text, by the request value rules: missing or null throws JsonError
    // naming the key; a number gives its script text, a boolean "true"/"false".
    std::string requiredText(std::string_view name) const;

    // The named top-level member, which must be an array of at most maxSize elements (JsonError otherwise).
    JsonValue requiredArray(std::string_view name, std::size_t maxSize) const;

  private:
    explicit JsonDocument(std::unique_ptr<detail::JsonTree> tree);
    std::unique_ptr<detail::JsonTree> m_tree;
};

} // namespace verolux
