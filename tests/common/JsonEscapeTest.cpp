#include "common/JsonEscape.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <string>

namespace {

struct EscapeCase {
    const char* name;
    std::string text;
    std::string escaped; // written by hand from the JSON grammar
};

const EscapeCase kEscapes[] = {
    // Report ids and names go to the backend byte for byte.
    {"plainId", "R-2024_001.grf", "R-2024_001.grf"},
    {"empty", "", ""},
    {"utf8", "报表-1", "报表-1"},
    {"slashNotEscaped", "a/b", "a/b"},
    {"quote", "a\"b", "a\\\"b"},
    {"backslash", "a\\b", "a\\\\b"},
    {"namedControls", "\n\r\t\b\f", "\\n\\r\\t\\b\\f"},
    {"otherControls", std::string("\x00\x01\x1f", 3), "\\u0000\\u0001\\u001f"},
    // DEL and bytes above it are allowed raw in a JSON string.
    {"delKept", "\x7f", "\x7f"},
    {"injection", "\",\"st2\":\"x", "\\\",\\\"st2\\\":\\\"x"},
};

class JsonEscapeText : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(JsonEscapeText, EscapesOnlyWhatJsonRequires) {
    EXPECT_EQ(verolux::JsonEscape(GetParam().text), GetParam().escaped);
    EXPECT_EQ(verolux::JsonQuote(GetParam().text), "\"" + GetParam().escaped + "\"");
    std::string out = "x:";
    verolux::AppendJsonString(out, GetParam().text);
    EXPECT_EQ(out, "x:\"" + GetParam().escaped + "\"");
}

TEST_P(JsonEscapeText, ReadsBackAsTheSameText) {
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    ASSERT_EQ(parser.parse(verolux::JsonQuote(GetParam().text)).get(root), simdjson::SUCCESS);
    std::string_view back;
    ASSERT_EQ(root.get(back), simdjson::SUCCESS);
    EXPECT_EQ(back, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Texts, JsonEscapeText, ::testing::ValuesIn(kEscapes),
                         [](const auto& row) { return std::string(row.param.name); });

// Bytes that are not UTF-8 are not the escaper's business: they pass as they are.
TEST(JsonEscape, KeepsBytesThatAreNotUtf8) {
    EXPECT_EQ(verolux::JsonEscape("\xff\xfe\xc3"), "\xff\xfe\xc3");
}

} // namespace
