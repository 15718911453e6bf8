#include "common/JsonReader.h"
#include "common/JsNumber.h"

#include <gtest/gtest.h>

#include <string>

using verolux::JsonDocument;
using verolux::JsonError;
using verolux::ScalarValue;

namespace {

// Each token as it stands in the JSON text, then what String(value) prints in a browser, written by hand
// after Number.prototype.toString: plain notation while the decimal exponent is in [-7, 21), otherwise one
// digit, optional fraction, "e", sign, exponent.
TEST(JsonNumbers, ReadAsAScriptPrintsThem) {
    // clang-format off
    const std::pair<const char*, const char*> numbers[] = {
        {"0", "0"}, {"-0", "0"}, {"-0.0", "0"}, {"1.50", "1.5"}, {"1.0", "1"}, {"-42", "-42"},
        {"1E3", "1000"}, {"1e20", "100000000000000000000"}, {"1e21", "1e+21"}, {"1.5e21", "1.5e+21"},
        {"0.000001", "0.000001"},
        {"1e-7", "1e-7"}, {"1.25e-7", "1.25e-7"}, {"0.30000000000000004", "0.30000000000000004"},
        // beyond 2^53 integers keep the digits the page wrote
        {"9007199254740993", "9007199254740993"}, {"-12345678901234567890", "-12345678901234567890"},
        {"123456789012345678901234567890", "123456789012345678901234567890"},
        // a fraction or exponent makes it a double again
        {"12345678901234567890.0", "12345678901234567000"},
        {"1.7976931348623157e308", "1.7976931348623157e+308"}, {"5e-324", "5e-324"}, {"1e400", "Infinity"},
        {"1e-400", "0"}, {"123456789.125e12", "123456789125000000000"},
        {"0.00000010", "1e-7"}, {"123456789012345.6", "123456789012345.6"},
        {"0.12345678901234567", "0.12345678901234566"}};
    // clang-format on
    for (const auto& [token, js] : numbers) {
        const ScalarValue v = JsonDocument::Parse(std::string("{\"v\":") + token + "}").root().value("v");
        EXPECT_EQ(v.kind, ScalarValue::Kind::Number) << token;
        EXPECT_EQ(v.text, js) << token;
    }
}

// Scalars as sent, nested values as compact JSON text; any key name, case-sensitive, the last
// duplicate winning.
TEST(JsonValues, ScalarsNestedValuesAndKeys) {
    JsonDocument doc = JsonDocument::Parse(
        R"({"s":"1","u":"\u4e2d\u6587","raw":"中文 ※","esc":"a\"b\\c\n","t":true,"f":false,"n":null,"e":"",)"
        R"("o": { "a" : 1, "b" : [ 2 , "x\"y" , null, true ] }, "a": [ ],)"
        R"("单价":"9.5","a b":1,"a.b":2,"":3,"1x":4,"a\"q":5,"Preview":"1","k":"first","k":"second"})");
    auto root = doc.root();
    EXPECT_EQ(root.value("s"), ScalarValue::fromText("1"));
    EXPECT_EQ(root.value("t"), ScalarValue::fromBool(true));
    EXPECT_EQ(root.value("f"), ScalarValue::fromBool(false));
    EXPECT_TRUE(root.value("n").isEmpty());
    EXPECT_EQ(root.value("e"), ScalarValue::fromText(""));
    EXPECT_TRUE(root.value("missing").isEmpty());
    EXPECT_EQ(root.value("o"), ScalarValue::fromText(R"({"a":1,"b":[2,"x\"y",null,true]})"));
    EXPECT_EQ(root.value("a"), ScalarValue::fromText("[]"));
    const std::pair<const char*, const char*> keys[] = {
        {"u", "中文"}, {"raw", "中文 ※"}, {"esc", "a\"b\\c\n"}, {"单价", "9.5"}, {"a b", "1"},
        {"a.b", "2"},  {"", "3"},         {"1x", "4"},          {"a\"q", "5"},   {"k", "second"},
    };
    for (const auto& [key, value] : keys)
        EXPECT_EQ(root.value(key).text, value) << key;
    EXPECT_TRUE(root.value("preview").isEmpty());
}

// Rows are views into the document: they stay valid when the document moves.
TEST(JsonValues, RowsAreRandomAccess) {
    JsonDocument doc = JsonDocument::Parse(R"({"repdata":[{"a":1,"b":"x"},{"b":"y"},7,null]})");
    auto rows = doc.requiredArray("repdata", 32767);
    JsonDocument moved = std::move(doc);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows.element(1).value("b").text, "y");
    EXPECT_TRUE(rows.element(1).value("a").isEmpty()); // a row lacking a field leaves it empty
    EXPECT_EQ(rows.element(0).value("a").text, "1");
    EXPECT_TRUE(rows.element(2).value("a").isEmpty()); // not an object: every field empty
    EXPECT_TRUE(rows.element(3).value("a").isEmpty());
    EXPECT_FALSE(rows.element(4).valid());
    EXPECT_EQ(rows.element(0).memberName(1), "b");
}

TEST(JsonBadText, Throws) {
    // Empty, blank, truncated, trailing garbage, single quotes, unquoted key, an array, a bad number, a bad
    // literal, an HTML page, a missing colon, invalid UTF-8.
    for (const char* text :
         {"", "   ", R"({"a":1)", R"({"a":1} x)", R"({'a':1})", R"({a:1})", R"([1,2])", R"({"a":01})",
          R"({"a":tru})", "<html><body>502 Bad Gateway</body></html>", R"({"a" 1})", "{\"a\":\"\xff\"}"})
        EXPECT_THROW(JsonDocument::Parse(text), JsonError) << text;
}

TEST(JsonRequired, MissingNullAndWrongArrays) {
    JsonDocument doc = JsonDocument::Parse(R"({"a":null,"b":0,"t":true,"rows":{},"big":[1,2,3]})");
    EXPECT_THROW(doc.requiredText("a"), JsonError);
    EXPECT_THROW(doc.requiredText("x"), JsonError);
    EXPECT_EQ(doc.requiredText("b"), "0");
    EXPECT_EQ(doc.requiredText("t"), "true"); // neither command value "1" nor "2"
    EXPECT_THROW(doc.requiredArray("rows", 10), JsonError);
    EXPECT_THROW(doc.requiredArray("none", 10), JsonError);
    EXPECT_THROW(doc.requiredArray("big", 2), JsonError);
    EXPECT_EQ(doc.requiredArray("big", 3).size(), 3u);
    try {
        doc.requiredText("x");
    } catch (const JsonError& e) {
        EXPECT_NE(std::string(e.what()).find("\"x\""), std::string::npos) << e.what();
    }
}

// The root object is level 1. 80,000 levels (160 KB) once overflowed the stack: the fuzz corpus holds
// them, arrays and objects; here the boundary and the reason.
TEST(JsonNesting, BoundedByTheLimit) {
    auto nested = [](std::size_t levels) {
        return "{\"v\":" + std::string(levels - 1, '[') + std::string(levels - 1, ']') + "}";
    };
    EXPECT_EQ(JsonDocument::Parse(nested(3)).root().value("v").text, "[[]]");
    EXPECT_NO_THROW(JsonDocument::Parse(nested(verolux::kMaxJsonNesting)));
    try {
        JsonDocument::Parse(nested(verolux::kMaxJsonNesting + 1));
        ADD_FAILURE() << "parsed past the limit";
    } catch (const JsonError& e) {
        EXPECT_NE(std::string(e.what()).find("nested deeper"), std::string::npos) << e.what();
    }
}

TEST(JsNumber, Grammar) {
    for (const char* good : {"0", "-0", "1", "10", "1.5", "1e5", "1E+5", "1e-5", "-0.0e0"})
        EXPECT_TRUE(verolux::IsJsonNumberToken(good)) << good;
    for (const char* bad : {"", "-", "01", "1.", ".5", "+1", "1e", "1e+", "0x10", "1 ", "NaN", "Infinity"})
        EXPECT_FALSE(verolux::IsJsonNumberToken(bad)) << bad;
}

} // namespace
