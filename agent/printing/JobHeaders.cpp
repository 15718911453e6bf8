#include "agent/printing/JobHeaders.h"

#include "common/JsonEscape.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

namespace verolux {
namespace {

bool IsTokenChar(unsigned char c) {
    static constexpr std::string_view kSpecials = "!#$%&'*+-.^_`|~";
    return std::isalnum(c) || kSpecials.find(char(c)) != std::string_view::npos;
}

bool SameName(std::string_view a, std::string_view b) {
    return std::ranges::equal(
        a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

// These decide how the message is framed and where it goes: a page's value would break the transfer.
bool IsAgentsOwn(std::string_view name) {
    static constexpr std::array<std::string_view, 7> kOwn = {
        "Host", "Content-Length", "Transfer-Encoding", "Connection", "Content-Type", "Expect", "Upgrade"};
    return std::ranges::any_of(kOwn, [name](std::string_view own) { return SameName(own, name); });
}

bool IsSafeValue(std::string_view value) {
    return std::ranges::none_of(value, [](unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7f; });
}

} // namespace

std::string ReadJobHeaders(const JsonValue& headers, std::vector<std::string>* lines) {
    if (!headers.isObject()) return "headers must be an object of header names and values";
    if (headers.size() > kMaxJobHeaders) return "at most " + std::to_string(kMaxJobHeaders) + " headers";
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < headers.size(); ++i) {
        const std::string_view name = headers.memberName(i);
        const JsonValue value = headers.member(name);
        if (name.empty() || !std::ranges::all_of(name, IsTokenChar))
            return "header name \"" + std::string(name.substr(0, 64)) + "\" is not an HTTP token";
        if (IsAgentsOwn(name)) return "header \"" + std::string(name) + "\" is the agent's own";
        if (value.type() != JsonValue::Type::String)
            return "header \"" + std::string(name) + "\" must be a string";
        const std::string text = value.scalar().text;
        if (!IsSafeValue(text))
            return "header \"" + std::string(name) + "\" has a line break or control character";
        bytes += name.size() + text.size();
        if (bytes > kMaxJobHeaderBytes)
            return "headers hold at most " + std::to_string(kMaxJobHeaderBytes) + " bytes";
        // curl drops a header given as "Name:"; "Name;" sends it empty.
        lines->push_back(std::string(name) + (text.empty() ? ";" : ": " + text));
    }
    return {};
}

std::string WithoutJobHeaders(std::string_view text) {
    std::optional<JsonDocument> doc;
    try {
        doc.emplace(JsonDocument::Parse(text));
    } catch (const JsonError&) {
        return std::string(text);
    }
    const JsonValue root = doc->root();
    std::string out;
    out.reserve(text.size());
    out += '{';
    for (std::size_t i = 0; i < root.size(); ++i) {
        const std::string_view name = root.memberName(i);
        const JsonValue value = root.member(name);
        if (i) out += ',';
        AppendJsonString(out, name);
        out += ':';
        if (name != "verolux" || !value.isObject()) {
            out += value.jsonText();
            continue;
        }
        out += '{';
        bool first = true;
        for (std::size_t k = 0; k < value.size(); ++k) {
            const std::string_view option = value.memberName(k);
            if (option == "headers") continue;
            if (!first) out += ',';
            first = false;
            AppendJsonString(out, option);
            out += ':';
            out += value.member(option).jsonText();
        }
        out += '}';
    }
    out += '}';
    return out;
}

} // namespace verolux
