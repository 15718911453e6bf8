#include "common/JsonEscape.h"

namespace verolux {

void AppendJsonEscaped(std::string& out, std::string_view text) {
    static const char* hex = "0123456789abcdef";
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
}

std::string JsonEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendJsonEscaped(out, text);
    return out;
}

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    AppendJsonEscaped(out, text);
    out += '"';
}

std::string JsonQuote(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    AppendJsonString(out, text);
    return out;
}

} // namespace verolux
