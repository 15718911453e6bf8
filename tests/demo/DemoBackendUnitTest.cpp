#include "demo/backend/FailureInjector.h"
#include "demo/backend/FileNames.h"
#include "demo/backend/UploadBody.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace demo;
using namespace std::string_literals;

// Vectors from RFC 4648 section 10 (every padding length), then the forms the agent never sends.
TEST(DemoBase64, DecodesStandardPaddedTextOnly) {
    const std::pair<const char*, std::string> good[] = {
        {"", ""},
        {"Zg==", "f"},
        {"Zm8=", "fo"},
        {"Zm9v", "foo"},
        {"Zm9vYmFy", "foobar"},
        {"//79", "\xff\xfe\xfd"},
        {"AAAA", "\0\0\0"s},
    };
    for (const auto& [text, plain] : good)
        EXPECT_EQ(decodeBase64(text), plain) << text;
    // unpadded, URL alphabet, padding inside, three pads, data after a pad, line break, blank
    for (const char* bad : {"Zm8", "-_8=", "Zg==Zm9v", "Z===", "Zg=v", "Zm9v\nZm9v", "Zm9 "})
        EXPECT_EQ(decodeBase64(bad), std::nullopt) << bad;
}

TEST(DemoUploadBody, ReadsTheAgentsBodies) {
    // The PDF form for reportId 7 and the file "abc".
    auto pdf = parseUploadBody(R"({ "st1":"YWJj","st0":"7","st2":""})");
    ASSERT_TRUE(pdf) << pdf.error;
    EXPECT_EQ(pdf.body->content, "abc");
    EXPECT_EQ(pdf.body->reportId, "7");
    EXPECT_EQ(pdf.body->extra, "");

    auto grf = parseUploadBody(R"({ "st1":"Zm9v","st0":"r\"1","st2":"ACBD18DB4CC2F85CEDEF654FCCC4A4D8"})");
    ASSERT_TRUE(grf) << grf.error;
    EXPECT_EQ(grf.body->reportId, "r\"1");
    EXPECT_EQ(grf.body->extra, "ACBD18DB4CC2F85CEDEF654FCCC4A4D8");
}

TEST(DemoUploadBody, RefusesWithAReasonWithoutTheSuccessWord) {
    const std::vector<std::pair<const char*, std::string>> bad = {
        {"not json", "st1=YWJj"},
        {"unescaped quote in id", R"({ "st1":"YWJj","st0":"a"b","st2":""})"},
        {"no object", "[1]"},
        {"missing st0", R"({ "st1":"YWJj"})"},
        {"number st1", R"({ "st1":1,"st0":"7"})"},
        {"bad base64", R"({ "st1":"YWJ","st0":"7"})"},
        {"empty file", R"({ "st1":"","st0":"7"})"},
    };
    for (const auto& [name, text] : bad) {
        auto parsed = parseUploadBody(text);
        EXPECT_FALSE(parsed) << name;
        EXPECT_FALSE(parsed.error.empty() || parsed.error.find("success") != std::string::npos)
            << parsed.error;
    }
}

TEST(DemoFileNames, PlainNamesOnly) {
    for (const char* plain : {"orders.grf", "报表.grf", "a..b", ".hidden"})
        EXPECT_TRUE(isPlainFileName(plain)) << plain;
    const std::string notPlain[] = {
        "", ".", "..", "../x", "a/b", "a\\b", "c:x", std::string("a\0b", 3), "a\tb", std::string(201, 'x'),
    };
    for (const auto& name : notPlain)
        EXPECT_FALSE(isPlainFileName(name)) << name;
}

TEST(DemoFileNames, SanitisedIdsAreAlwaysPlainNames) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"7", "7"}, {"../evil", ".._evil"}, {"a/b\\c", "a_b_c"}, {"x:y*?", "x_y__"}, {"..", ""}, {"...", ""},
        {"", ""},   {"报表1", "报表1"},
    };
    for (const auto& [id, expected] : cases) {
        EXPECT_EQ(sanitiseFileName(id), expected) << id;
        EXPECT_TRUE(expected.empty() || isPlainFileName(expected + ".pdf")) << id;
    }
}

TEST(DemoFileNames, Md5IsUpperCaseHex) {
    // RFC 1321 test suite.
    EXPECT_EQ(md5Hex(""), "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(md5Hex("abc"), "900150983CD24FB0D6963F7D28E17F72");
}

TEST(DemoFailureInjector, CountsDownPerPrefixInOrder) {
    FailureInjector injector;
    injector.arm({FailureMode::Error500, "/templates/", 2, 0});
    injector.arm({FailureMode::Drop, "/", 1, 0});
    // Written as the sequence of modes the requests meet.
    std::vector<std::string> seen;
    for (const char* path : {"/templates/a", "/upload/pdf", "/templates/b", "/templates/c", "/x"}) {
        auto rule = injector.take(path);
        seen.push_back(std::string(path) + ":" + std::string(rule ? failureModeName(rule->mode) : "-"));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"/templates/a:500", "/upload/pdf:drop", "/templates/b:500",
                                              "/templates/c:-", "/x:-"}));
}

TEST(DemoFailureInjector, UnlimitedUntilClearedByNone) {
    FailureInjector injector;
    injector.arm({FailureMode::Slow, "/t", -1, 5});
    injector.arm({FailureMode::Garbage, "/u", -1, 0});
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(injector.take("/t/x"));
    injector.arm({FailureMode::None, "/t", 1, 0});
    EXPECT_FALSE(injector.take("/t/x"));
    EXPECT_TRUE(injector.take("/u/x"));
    injector.arm({FailureMode::None, "", 1, 0});
    EXPECT_FALSE(injector.take("/u/x"));
    EXPECT_EQ(injector.toJson(), "[]");
}
