#include "agent/printing/TextEncoding.h"

#include "common/Utf8Decode.h"

#include <algorithm>
#include <cctype>

namespace verolux {
namespace {

bool SameName(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

EncodedText Utf8ToLatin1(std::string_view utf8) {
    EncodedText out;
    out.bytes.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        i += DecodeUtf8(utf8, i, cp);
        if (cp > 0xFF) return {{}, EncodeFailure::NoCode};
        out.bytes += static_cast<char>(cp);
    }
    return out;
}

} // namespace

std::optional<TextEncoding> TextEncodingNamed(std::string_view name) {
    if (SameName(name, "UTF-8") || SameName(name, "UTF8")) return TextEncoding::Utf8;
    if (SameName(name, "GB18030")) return TextEncoding::Gb18030;
    if (SameName(name, "Latin-1") || SameName(name, "Latin1") || SameName(name, "ISO-8859-1"))
        return TextEncoding::Latin1;
    return std::nullopt;
}

EncodedText EncodeText(std::string_view utf8, TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Gb18030:
        return Utf8ToGb18030(utf8);
    case TextEncoding::Latin1:
        return Utf8ToLatin1(utf8);
    case TextEncoding::Utf8:
        break;
    }
    return {std::string(utf8), std::nullopt};
}

} // namespace verolux
