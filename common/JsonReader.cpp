#include "common/JsonReader.h"

#include "common/JsNumber.h"
#include "common/JsonEscape.h"

#include <simdjson.h>

#include <cstring>
#include <vector>

namespace verolux {
namespace detail {

// 12 bytes per value: a 32k-row request holds some 300,000 of them.
struct JsonNode {
    JsonValue::Type type = JsonValue::Type::Null;
    bool boolean = false;
    std::uint32_t a = 0; // containers: first child index; texts: offset
    std::uint32_t b = 0; // containers: child count; texts: length
};

struct JsonMember {
    std::uint32_t nameOffset;
    std::uint32_t nameLength;
    std::uint32_t node;
};

// The parsed text as a flat table. Texts without escapes point into the input; unescaped ones live
// in the arena. An offset below the input size is in the input, the rest in the arena.
struct JsonTree {
    simdjson::padded_string input;
    std::string arena;
    std::vector<JsonNode> nodes;
    std::vector<JsonMember> members;     // contiguous per object
    std::vector<std::uint32_t> elements; // contiguous per array

    std::string_view text(std::uint32_t offset, std::uint32_t length) const {
        if (offset < input.size()) return {input.data() + offset, length};
        return {arena.data() + (offset - input.size()), length};
    }
    std::string_view text(const JsonNode& n) const { return text(n.a, n.b); }
    std::string_view name(const JsonMember& m) const { return text(m.nameOffset, m.nameLength); }
};

} // namespace detail

namespace {

using detail::JsonMember;
using detail::JsonNode;
using detail::JsonTree;
using simdjson::error_code;
namespace od = simdjson::ondemand;

std::string_view TrimToken(std::string_view t) {
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\n' || t.back() == '\r'))
        t.remove_suffix(1);
    return t;
}

bool HasBackslash(std::string_view s) {
    for (char c : s)
        if (c == '\\') return true;
    return false;
}

// The parser's buffers are reused from one text to the next (fresh ones cost more in page faults
// than the parse itself); nothing of the tree points into them.
od::parser& ThreadParser() {
    thread_local od::parser parser;
    return parser;
}

// Walks the on-demand iterator once, depth first, filling the tree. Members and elements of a
// container are gathered on scratch stacks and moved to the tree when the container ends, so each
// container's children sit side by side.
class TreeBuilder {
  public:
    explicit TreeBuilder(JsonTree& tree) : m_tree(tree) {}

    error_code object(od::object obj, std::uint32_t& out, std::size_t depth) {
        if (depth > kMaxJsonNesting) return simdjson::DEPTH_ERROR;
        out = newNode(JsonValue::Type::Object);
        const std::size_t mark = m_memberStack.size();
        for (auto fieldResult : obj) {
            od::field field;
            if (auto e = std::move(fieldResult).get(field)) return e;
            JsonMember member{};
            if (auto e = name(field, member)) return e;
            if (auto e = value(field.value(), member.node, depth)) return e;
            m_memberStack.push_back(member);
        }
        JsonNode& node = m_tree.nodes[out];
        node.a = static_cast<std::uint32_t>(m_tree.members.size());
        node.b = static_cast<std::uint32_t>(m_memberStack.size() - mark);
        m_tree.members.insert(m_tree.members.end(), m_memberStack.begin() + static_cast<std::ptrdiff_t>(mark),
                              m_memberStack.end());
        m_memberStack.resize(mark);
        return simdjson::SUCCESS;
    }

    error_code array(od::array arr, std::uint32_t& out, std::size_t depth) {
        if (depth > kMaxJsonNesting) return simdjson::DEPTH_ERROR;
        out = newNode(JsonValue::Type::Array);
        const std::size_t mark = m_elementStack.size();
        for (auto elementResult : arr) {
            od::value element;
            if (auto e = elementResult.get(element)) return e;
            std::uint32_t child = 0;
            if (auto e = value(element, child, depth)) return e;
            m_elementStack.push_back(child);
        }
        JsonNode& node = m_tree.nodes[out];
        node.a = static_cast<std::uint32_t>(m_tree.elements.size());
        node.b = static_cast<std::uint32_t>(m_elementStack.size() - mark);
        m_tree.elements.insert(m_tree.elements.end(),
                               m_elementStack.begin() + static_cast<std::ptrdiff_t>(mark),
                               m_elementStack.end());
        m_elementStack.resize(mark);
        return simdjson::SUCCESS;
    }

    // depth: the nesting of the container holding v (the root object is at 1).
    error_code value(od::value v, std::uint32_t& out, std::size_t depth) {
        od::json_type type;
        if (auto e = v.type().get(type)) return e;
        switch (type) {
        case od::json_type::object: {
            od::object obj;
            if (auto e = v.get_object().get(obj)) return e;
            return object(obj, out, depth + 1);
        }
        case od::json_type::array: {
            od::array arr;
            if (auto e = v.get_array().get(arr)) return e;
            return array(arr, out, depth + 1);
        }
        case od::json_type::number: {
            std::string_view token = TrimToken(v.raw_json_token());
            if (!IsJsonNumberToken(token)) return simdjson::NUMBER_ERROR;
            out = newNode(JsonValue::Type::Number);
            setInputText(out, token);
            return simdjson::SUCCESS;
        }
        case od::json_type::string: {
            std::string_view token = TrimToken(v.raw_json_token());
            out = newNode(JsonValue::Type::String);
            if (token.size() >= 2 && token.back() == '"' && !HasBackslash(token)) {
                setInputText(out, token.substr(1, token.size() - 2));
                return simdjson::SUCCESS;
            }
            std::string_view s;
            if (auto e = v.get_string().get(s)) return e;
            setArenaText(out, s);
            return simdjson::SUCCESS;
        }
        case od::json_type::boolean: {
            bool b = false;
            if (auto e = v.get_bool().get(b)) return e;
            out = newNode(JsonValue::Type::Boolean);
            m_tree.nodes[out].boolean = b;
            return simdjson::SUCCESS;
        }
        case od::json_type::null: {
            if (TrimToken(v.raw_json_token()) != "null") return simdjson::N_ATOM_ERROR;
            out = newNode(JsonValue::Type::Null);
            return simdjson::SUCCESS;
        }
        }
        return simdjson::INCORRECT_TYPE;
    }

  private:
    // A name without escapes is taken where it stands; others are unescaped into the arena.
    error_code name(od::field& field, JsonMember& member) {
        const char* raw = field.key().raw();
        const char* inputEnd = m_tree.input.data() + m_tree.input.size();
        // Names are short: a plain loop beats library calls here.
        const char* end = raw;
        while (end < inputEnd && *end != '"' && *end != '\\')
            ++end;
        if (end < inputEnd && *end == '"') {
            member.nameOffset = static_cast<std::uint32_t>(raw - m_tree.input.data());
            member.nameLength = static_cast<std::uint32_t>(end - raw);
            return simdjson::SUCCESS;
        }
        std::string_view unescaped;
        if (auto e = field.unescaped_key().get(unescaped)) return e;
        member.nameOffset = arenaAppend(unescaped);
        member.nameLength = static_cast<std::uint32_t>(unescaped.size());
        return simdjson::SUCCESS;
    }

    std::uint32_t newNode(JsonValue::Type type) {
        m_tree.nodes.push_back(JsonNode{type, false, 0, 0});
        return static_cast<std::uint32_t>(m_tree.nodes.size() - 1);
    }

    void setInputText(std::uint32_t index, std::string_view text) {
        m_tree.nodes[index].a = static_cast<std::uint32_t>(text.data() - m_tree.input.data());
        m_tree.nodes[index].b = static_cast<std::uint32_t>(text.size());
    }

    void setArenaText(std::uint32_t index, std::string_view text) {
        std::uint32_t offset = arenaAppend(text);
        m_tree.nodes[index].a = offset;
        m_tree.nodes[index].b = static_cast<std::uint32_t>(text.size());
    }

    std::uint32_t arenaAppend(std::string_view text) {
        auto offset = static_cast<std::uint32_t>(m_tree.input.size() + m_tree.arena.size());
        m_tree.arena.append(text);
        return offset;
    }

    JsonTree& m_tree;
    std::vector<JsonMember> m_memberStack;
    std::vector<std::uint32_t> m_elementStack;
};

void AppendJsonText(const JsonTree& tree, std::uint32_t index, std::string& out) {
    const JsonNode& node = tree.nodes[index];
    switch (node.type) {
    case JsonValue::Type::Null:
        out += "null";
        break;
    case JsonValue::Type::Boolean:
        out += node.boolean ? "true" : "false";
        break;
    case JsonValue::Type::Number:
        out += tree.text(node);
        break;
    case JsonValue::Type::String:
        AppendJsonString(out, tree.text(node));
        break;
    case JsonValue::Type::Object:
        out += '{';
        for (std::uint32_t i = 0; i < node.b; ++i) {
            const JsonMember& m = tree.members[node.a + i];
            if (i) out += ',';
            AppendJsonString(out, tree.name(m));
            out += ':';
            AppendJsonText(tree, m.node, out);
        }
        out += '}';
        break;
    case JsonValue::Type::Array:
        out += '[';
        for (std::uint32_t i = 0; i < node.b; ++i) {
            if (i) out += ',';
            AppendJsonText(tree, tree.elements[node.a + i], out);
        }
        out += ']';
        break;
    }
}

std::string Describe(error_code e) {
    return simdjson::error_message(e);
}

} // namespace

// ---- JsonValue ----

JsonValue::Type JsonValue::type() const {
    return m_doc->nodes[m_node].type;
}

ScalarValue JsonValue::scalar() const {
    if (!m_doc) return ScalarValue::empty();
    const JsonNode& node = m_doc->nodes[m_node];
    switch (node.type) {
    case Type::Null:
        return ScalarValue::empty();
    case Type::Boolean:
        return ScalarValue::fromBool(node.boolean);
    case Type::Number:
        return ScalarValue::fromNumber(JsonNumberTokenText(m_doc->text(node)));
    case Type::String:
        return ScalarValue::fromText(std::string(m_doc->text(node)));
    case Type::Object:
    case Type::Array:
        return ScalarValue::fromText(jsonText());
    }
    return ScalarValue::empty();
}

JsonValue JsonValue::member(std::string_view name) const {
    if (!m_doc) return {};
    const JsonNode& node = m_doc->nodes[m_node];
    if (node.type != Type::Object) return {};
    // From the end: a repeated name takes its last value, as a script's object literal does.
    for (std::uint32_t i = node.b; i-- > 0;) {
        const JsonMember& m = m_doc->members[node.a + i];
        if (m_doc->name(m) == name) return JsonValue(m_doc, m.node);
    }
    return {};
}

std::size_t JsonValue::size() const {
    if (!m_doc) return 0;
    const JsonNode& node = m_doc->nodes[m_node];
    return (node.type == Type::Array || node.type == Type::Object) ? node.b : 0;
}

JsonValue JsonValue::element(std::size_t index) const {
    if (!m_doc) return {};
    const JsonNode& node = m_doc->nodes[m_node];
    if (node.type != Type::Array || index >= node.b) return {};
    return JsonValue(m_doc, m_doc->elements[node.a + index]);
}

std::string_view JsonValue::memberName(std::size_t index) const {
    if (!m_doc) return {};
    const JsonNode& node = m_doc->nodes[m_node];
    if (node.type != Type::Object || index >= node.b) return {};
    return m_doc->name(m_doc->members[node.a + index]);
}

std::string JsonValue::jsonText() const {
    std::string out;
    if (m_doc) AppendJsonText(*m_doc, m_node, out);
    return out;
}

// ---- JsonDocument ----

JsonDocument::JsonDocument(std::unique_ptr<detail::JsonTree> tree) : m_tree(std::move(tree)) {}
JsonDocument::JsonDocument(JsonDocument&&) noexcept = default;
JsonDocument& JsonDocument::operator=(JsonDocument&&) noexcept = default;
JsonDocument::~JsonDocument() = default;

JsonDocument JsonDocument::Parse(std::string_view text) {
    auto tree = std::make_unique<JsonTree>();
    tree->input = simdjson::padded_string(text);
    if (text.size() >= UINT32_MAX / 2) throw JsonError("the JSON text is too long");
    // Every value but the first follows a ',' or ':' (or an opening bracket), so their counts bound the
    // tables closely enough to fill them without regrowing (inside strings they only overestimate).
    std::size_t colons = 0, commas = 0;
    for (char c : text) {
        colons += c == ':';
        commas += c == ',';
    }
    tree->nodes.reserve(colons + commas + 2);
    tree->members.reserve(colons + 1);
    tree->elements.reserve(commas + 1);

    od::document doc;
    if (auto e = ThreadParser().iterate(tree->input).get(doc))
        throw JsonError("not a JSON text: " + Describe(e));
    od::json_type type;
    if (auto e = doc.type().get(type)) throw JsonError("not a JSON text: " + Describe(e));
    if (type != od::json_type::object) throw JsonError("the JSON text is not an object");
    od::object root;
    if (auto e = doc.get_object().get(root)) throw JsonError("not a JSON text: " + Describe(e));

    TreeBuilder builder(*tree);
    std::uint32_t rootIndex = 0;
    if (auto e = builder.object(root, rootIndex, 1)) {
        if (e == simdjson::DEPTH_ERROR)
            throw JsonError("nested deeper than " + std::to_string(kMaxJsonNesting) + " levels");
        throw JsonError("not a JSON text: " + Describe(e));
    }
    // Anything after the root object leaves the iterator in bounds.
    if (doc.current_location().error() != simdjson::OUT_OF_BOUNDS)
        throw JsonError("not a JSON text: content after the object");
    return JsonDocument(std::move(tree));
}

JsonValue JsonDocument::root() const {
    return JsonValue(m_tree.get(), 0);
}

std::string JsonDocument::requiredText(std::string_view name) const {
    JsonValue v = root().member(name);
    if (!v.valid()) throw JsonError("the key \"" + std::string(name) + "\" is missing");
    if (v.isNull()) throw JsonError("the key \"" + std::string(name) + "\" is null");
    return v.scalar().text;
}

JsonValue JsonDocument::requiredArray(std::string_view name, std::size_t maxSize) const {
    JsonValue v = root().member(name);
    if (!v.valid()) throw JsonError("the key \"" + std::string(name) + "\" is missing");
    if (!v.isArray()) throw JsonError("the key \"" + std::string(name) + "\" is not an array");
    if (v.size() > maxSize)
        throw JsonError("the array \"" + std::string(name) + "\" has " + std::to_string(v.size()) +
                        " elements, more than " + std::to_string(maxSize));
    return v;
}

} // namespace verolux
