#include "agent/printing/PrintRequest.h"

#include <gtest/gtest.h>

#include <string>

using verolux::JsonError;
using verolux::PrintRequest;

namespace {

const char* kKeys[] = {"preview", "repname",   "reptype",   "reguserno", "reprintname",
                       "sdesign", "reporturl", "reportmd5", "reportId",  "reportAdd"};

// A request with every key but `skip`, each KEY given "KEY-v" except `preview`.
std::string Request(const std::string& preview = "\"1\"", const std::string& repdata = "[]",
                    const std::string& skip = "") {
    std::string s = "{";
    for (const std::string k : kKeys)
        if (k != skip) s += "\"" + k + "\":" + (k == "preview" ? preview : "\"" + k + "-v\"") + ",";
    return s + "\"repdata\":" + repdata + "}";
}

TEST(PrintRequestRead, ReadsTheTenKeysAsText) {
    PrintRequest r = PrintRequest::Read(Request());
    EXPECT_EQ(r.preview + " " + r.repname + " " + r.reptype + " " + r.reguserno + " " + r.reprintname + " " +
                  r.sdesign + " " + r.reporturl + " " + r.reportmd5 + " " + r.reportId + " " + r.reportAdd,
              "1 repname-v reptype-v reguserno-v reprintname-v sdesign-v reporturl-v reportmd5-v reportId-v "
              "reportAdd-v");
    EXPECT_EQ(r.rowCount(), 0u);
}

// What `preview` compares as: the number 1 is "1"; booleans are neither "1" nor "2".
TEST(PrintRequestRead, PreviewText) {
    for (const auto& [json, text] : {std::pair{"\"1\"", "1"},
                                     {"1", "1"},
                                     {"2.0", "2"},
                                     {"true", "true"},
                                     {"false", "false"},
                                     {"\"\"", ""},
                                     {"\" 1\"", " 1"},
                                     {"{}", "{}"}})
        EXPECT_EQ(PrintRequest::Read(Request(json)).preview, text) << json;
}

TEST(PrintRequestRead, Failures) {
    for (const char* key : kKeys)
        EXPECT_THROW(PrintRequest::Read(Request("\"1\"", "[]", key)), JsonError) << key << " missing";
    EXPECT_THROW(PrintRequest::Read(Request("null")), JsonError);          // null key
    EXPECT_THROW(PrintRequest::Read(Request("\"1\"", "{}")), JsonError);   // repdata no array
    EXPECT_THROW(PrintRequest::Read(Request("\"1\"", "null")), JsonError); // repdata null
    EXPECT_THROW(PrintRequest::Read("not json"), JsonError);
    EXPECT_THROW(PrintRequest::Read(""), JsonError);
    std::string wrongCase = Request(); // "Preview" is not "preview"
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
    PrintRequest r = PrintRequest::Read(Request("\"1\"", Rows(32767)));
    EXPECT_EQ(r.rowCount(), 32767u);
    EXPECT_EQ(r.rows().element(32766).value("i").text, "32766");
    EXPECT_THROW(PrintRequest::Read(Request("\"1\"", Rows(32768))), JsonError);
}

TEST(PrintRequestRows, CopiesShareTheParsedText) {
    PrintRequest copy;
    {
        const PrintRequest r = PrintRequest::Read(Request("\"1\"", R"([{"a":"kept"}])"));
        copy = r;
    }
    EXPECT_EQ(copy.rows().element(0).value("a").text, "kept");
}

} // namespace
