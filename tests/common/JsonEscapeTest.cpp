#include "common/JsonEscape.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <string>

namespace {

// Each text and its escaped form, written by hand from the JSON grammar; each reads back as the same text.
TEST(JsonEscape, EscapesOnlyWhatJsonRequires) {
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        // Report ids and names go to the backend byte for byte; slash, DEL and the bytes above it stay raw.
        {"R-2024_001.grf", "R-2024_001.grf"}, {"", ""}, {"报表-1", "报表-1"}, {"a/b", "a/b"}, {"\x7f", "\x7f"},
        {"a\"b", "a\\\"b"}, {"a\\b", "a\\\\b"}, {"\n\r\t\b\f", "\\n\\r\\t\\b\\f"},
        {std::string("\x00\x01\x1f", 3), "\\u0000\\u0001\\u001f"},
        {"\",\"st2\":\"x", "\\\",\\\"st2\\\":\\\"x"}}; // an injection
    // clang-format on
    simdjson::dom::parser parser;
    for (const auto& [text, escaped] : cases) {
        EXPECT_EQ(verolux::JsonEscape(text), escaped);
        EXPECT_EQ(verolux::JsonQuote(text), "\"" + escaped + "\"");
        std::string out = "x:";
        verolux::AppendJsonString(out, text);
        EXPECT_EQ(out, "x:\"" + escaped + "\"");
        std::string_view back;
        EXPECT_EQ(parser.parse(verolux::JsonQuote(text)).get(back), simdjson::SUCCESS) << escaped;
        EXPECT_EQ(back, text);
    }
    // Bytes that are not UTF-8 are not the escaper's business: they pass as they are.
    EXPECT_EQ(verolux::JsonEscape("\xff\xfe\xc3"), "\xff\xfe\xc3");
}

} // namespace
