#include "agent/reports/model/JsonOut.h"

#include "common/JsonEscape.h"

#include <charconv>
#include <cmath>

namespace verolux::reports {

JsonOut JsonOut::Leaf(std::string jsonText) {
    JsonOut v;
    v.text = std::move(jsonText);
    return v;
}

JsonOut JsonOut::String(std::string_view s) {
    return Leaf(JsonQuote(s));
}

JsonOut JsonOut::Number(double v) {
    return Leaf(FormatNumber(v));
}

JsonOut JsonOut::Bool(bool b) {
    return Leaf(b ? "true" : "false");
}

JsonOut JsonOut::Object(bool expanded) {
    JsonOut v;
    v.kind = Kind::Object;
    v.expanded = expanded;
    return v;
}

JsonOut JsonOut::Array(bool expanded) {
    JsonOut v;
    v.kind = Kind::Array;
    v.expanded = expanded;
    return v;
}

void JsonOut::add(std::string key, JsonOut value, bool ownLine) {
    members.push_back(JsonMember{std::move(key), std::move(value), ownLine});
}

std::string FormatNumber(double v) {
    if (std::abs(v) < 1e9) v = std::round(v * 1e6) / 1e6;
    if (v == 0) v = 0; // no "-0"
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, ec == std::errc() ? end : buf);
}

namespace {

void compact(const JsonOut& v, std::string& out) {
    switch (v.kind) {
    case JsonOut::Kind::Leaf:
        out += v.text;
        return;
    case JsonOut::Kind::Object:
        out += '{';
        for (size_t i = 0; i < v.members.size(); ++i) {
            if (i) out += ',';
            AppendJsonString(out, v.members[i].key);
            out += ':';
            compact(v.members[i].value, out);
        }
        out += '}';
        return;
    case JsonOut::Kind::Array:
        out += '[';
        for (size_t i = 0; i < v.elements.size(); ++i) {
            if (i) out += ',';
            compact(v.elements[i], out);
        }
        out += ']';
        return;
    }
}

void newLine(std::string& out, int indent) {
    out += '\n';
    out.append(size_t(indent), ' ');
}

void print(const JsonOut& v, int indent, std::string& out) {
    if (v.kind == JsonOut::Kind::Leaf) {
        out += v.text;
        return;
    }
    const bool isObject = v.kind == JsonOut::Kind::Object;
    const size_t n = isObject ? v.members.size() : v.elements.size();
    out += isObject ? '{' : '[';
    bool brokenLines = v.expanded && n > 0;
    for (size_t i = 0; i < n; ++i) {
        if (i) out += ',';
        const bool ownLine = v.expanded || (isObject && v.members[i].ownLine);
        brokenLines = brokenLines || ownLine;
        if (ownLine)
            newLine(out, indent + 2);
        else if (i)
            out += ' ';
        const int inner = ownLine ? indent + 2 : indent;
        if (isObject) {
            AppendJsonString(out, v.members[i].key);
            out += ": ";
            print(v.members[i].value, inner, out);
        } else {
            print(v.elements[i], inner, out);
        }
    }
    if (brokenLines) newLine(out, indent);
    out += isObject ? '}' : ']';
}

} // namespace

std::string CompactJson(const JsonOut& v) {
    std::string out;
    compact(v, out);
    return out;
}

std::string PrintJson(const JsonOut& v) {
    std::string out;
    print(v, 0, out);
    out += '\n';
    return out;
}

} // namespace verolux::reports
