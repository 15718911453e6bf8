#include "agent/printing/PrintRequest.h"

#include <gtest/gtest.h>

#include <string>

using verolux::JsonError;
using verolux::PrintRequest;

namespace {

const char* kKeys[] = {"preview", "repname",   "reptype",   "reguserno", "reprintname",
                       "sdesign", "reporturl", "reportmd5", "reportId",  "reportAdd"};

// A request with every key; `override` replaces the members named in it (JSON member text).
std::string Request(const std::string& previewValue = "\"1\"", const std::string& extra = "",
                    const std::string& repdata = "[]", const char* skip = nullptr) {
    std::string s = "{";
    for (const char* k : kKeys) {
        if (skip && std::string(k) == skip) continue;
        std::string v = std::string(k) == "preview" ? previewValue : "\"" + std::string(k) + "-v\"";
        s += "\"" + std::string(k) + "\":" + v + ",";
    }
    s += extra;
    s += "\"repdata\":" + repdata + "}";
    return s;
}

TEST(PrintRequestRead, ReadsTheTenKeysAsText) {
    PrintRequest r = PrintRequest::Read(Request());
    EXPECT_EQ(r.preview + " " + r.repname + " " + r.reptype + " " + r.reguserno + " " + r.reprintname + " " +
                  r.sdesign + " " + r.reporturl + " " + r.reportmd5 + " " + r.reportId + " " + r.reportAdd,
              "1 repname-v reptype-v reguserno-v reprintname-v sdesign-v reporturl-v reportmd5-v reportId-v "
              "reportAdd-v");
    EXPECT_EQ(r.rowCount(), 0u);
}

struct PreviewCase {
    const char* name;
    const char* json;
    const char* text;
};

// What `preview` compares as: the number 1 is "1"; booleans are neither "1" nor "2".
const PreviewCase kPreview[] = {
    {"textOne", "\"1\"", "1"},    {"numberOne", "1", "1"},         {"numberTwo", "2.0", "2"},
    {"boolTrue", "true", "true"}, {"boolFalse", "false", "false"}, {"empty", "\"\"", ""},
    {"blankOne", "\" 1\"", " 1"}, {"object", "{}", "{}"},
};

class PreviewValue : public ::testing::TestWithParam<PreviewCase> {};

TEST_P(PreviewValue, Text) {
    EXPECT_EQ(PrintRequest::Read(Request(GetParam().json)).preview, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Rules, PreviewValue, ::testing::ValuesIn(kPreview),
                         [](const auto& row) { return std::string(row.param.name); });

class MissingKey : public ::testing::TestWithParam<const char*> {};

TEST_P(MissingKey, FailsTheWholeRequest) {
    EXPECT_THROW(PrintRequest::Read(Request("\"1\"", "", "[]", GetParam())), JsonError);
}

INSTANTIATE_TEST_SUITE_P(EachKey, MissingKey, ::testing::ValuesIn(kKeys));

TEST(PrintRequestRead, Failures) {
    EXPECT_THROW(PrintRequest::Read(Request("null")), JsonError);              // null key
    EXPECT_THROW(PrintRequest::Read(Request("\"1\"", "", "{}")), JsonError);   // repdata no array
    EXPECT_THROW(PrintRequest::Read(Request("\"1\"", "", "null")), JsonError); // repdata null
    EXPECT_THROW(PrintRequest::Read("{\"preview\":\"1\"}"), JsonError);        // nine keys missing
    EXPECT_THROW(PrintRequest::Read("not json"), JsonError);
    EXPECT_THROW(PrintRequest::Read(""), JsonError);
    // "Preview" is not "preview"
    std::string wrongCase = Request();
    wrongCase.replace(wrongCase.find("\"preview\""), 9, "\"Preview\"");
    EXPECT_THROW(PrintRequest::Read(wrongCase), JsonError);
}

std::string Rows(int n) {
    std::string s = "[";
    for (int i = 0; i < n; ++i)
        s += (i ? ",{\"i\":" : "{\"i\":") + std::to_string(i) + "}";
    return s + "]";
}

TEST(PrintRequestRows, AtMost32767) {
    PrintRequest r = PrintRequest::Read(Request("\"1\"", "", Rows(32767)));
    EXPECT_EQ(r.rowCount(), 32767u);
    EXPECT_EQ(r.rows().element(32766).value("i").text, "32766");
    EXPECT_THROW(PrintRequest::Read(Request("\"1\"", "", Rows(32768))), JsonError);
}

TEST(PrintRequestRows, CopiesShareTheParsedText) {
    PrintRequest copy;
    {
        PrintRequest r = PrintRequest::Read(Request("\"1\"", "", R"([{"a":"kept"}])"));
        copy = r;
    }
    EXPECT_EQ(copy.rows().element(0).value("a").text, "kept");
}

} // namespace
