// Raw jobs as a page sends them: what is accepted, what is refused and why, and the bytes the
// printer gets for each text encoding.
#include "agent/printing/PageMessage.h"
#include "agent/printing/TextEncoding.h"

#include <gtest/gtest.h>

using namespace verolux;
using Kind = PageMessage::Kind;

namespace {

struct RawCase {
    const char* name;
    std::string text;
    Kind kind;
    std::string detail; // the bytes for a raw job, a piece of the error otherwise
};

const RawCase kCases[] = {
    {"zplText", R"({"verolux":{"jobId":"l1","printer":"ZEBRA","raw":{"text":"^XA^FDA-17^FS^XZ"}}})",
     Kind::Raw, "^XA^FDA-17^FS^XZ"},
    {"utf8ByDefault", R"({"verolux":{"printer":"P","raw":{"text":"货"}}})", Kind::Raw, "\xE8\xB4\xA7"},
    {"gb18030", R"({"verolux":{"printer":"P","raw":{"text":"货号 A","encoding":"GB18030"}}})", Kind::Raw,
     "\xBB\xF5\xBA\xC5 A"},
    // Four-byte GB18030 (a character outside GBK).
    {"gb18030FourBytes", R"({"verolux":{"printer":"P","raw":{"text":"€","encoding":"gb18030"}}})", Kind::Raw,
     "\xA2\xE3"},
    {"latin1", R"({"verolux":{"printer":"P","raw":{"text":"Größe","encoding":"Latin-1"}}})", Kind::Raw,
     "Gr\xF6\xDF"
     "e"},
    {"base64WithNul", R"({"verolux":{"printer":"P","raw":{"base64":"G0AAYQE="}}})", Kind::Raw,
     std::string("\x1B@\0a\x01", 5)},
    {"latin1CannotEncode", R"({"verolux":{"printer":"P","raw":{"text":"货","encoding":"Latin-1"}}})",
     Kind::BadJob, "Latin-1 cannot encode"},
    {"unknownEncoding", R"({"verolux":{"printer":"P","raw":{"text":"a","encoding":"EBCDIC"}}})", Kind::BadJob,
     "raw.encoding must be"},
    {"noPrinter", R"({"verolux":{"raw":{"text":"a"}}})", Kind::BadJob, "needs \"printer\""},
    {"emptyPrinter", R"({"verolux":{"printer":"","raw":{"text":"a"}}})", Kind::BadJob, "printer must name"},
    {"textAndBase64", R"({"verolux":{"printer":"P","raw":{"text":"a","base64":"YQ=="}}})", Kind::BadJob,
     "either \"text\" or \"base64\""},
    {"neither", R"({"verolux":{"printer":"P","raw":{}}})", Kind::BadJob, "either \"text\" or \"base64\""},
    {"badBase64", R"({"verolux":{"printer":"P","raw":{"base64":"G0A*"}}})", Kind::BadJob, "not Base64"},
    {"encodingWithBase64", R"({"verolux":{"printer":"P","raw":{"base64":"YQ==","encoding":"GB18030"}}})",
     Kind::BadJob, "goes with \"text\""},
    {"empty", R"({"verolux":{"printer":"P","raw":{"text":""}}})", Kind::BadJob, "no commands"},
    {"notAnObject", R"({"verolux":{"printer":"P","raw":"^XA^XZ"}})", Kind::BadJob, "must be an object"},
    {"requestKeysBeside", R"({"reptype":"1","verolux":{"printer":"P","raw":{"text":"a"}}})", Kind::BadJob,
     "\"reptype\" does not go with it"},
    {"reportOption", R"({"verolux":{"printer":"P","copies":2,"raw":{"text":"a"}}})", Kind::BadJob,
     "unknown option \"copies\""},
    {"unknownRawKey", R"({"verolux":{"printer":"P","raw":{"text":"a","cut":true}}})", Kind::BadJob,
     "\"raw.cut\""},
};

class RawMessages : public testing::TestWithParam<RawCase> {};

TEST_P(RawMessages, ReadAsTheyAre) {
    const RawCase& c = GetParam();
    if (std::string_view(c.name).starts_with("gb18030") && !Gb18030Supported())
        GTEST_SKIP() << "this system has no GB18030 converter (Wine 8 lacks code page 54936)";
    const PageMessage m = ReadPageMessage(c.text);
    ASSERT_EQ(m.kind, c.kind) << m.error;
    if (c.kind == Kind::Raw) {
        EXPECT_EQ(m.raw.printer, c.text.find("ZEBRA") != std::string::npos ? "ZEBRA" : "P");
        EXPECT_EQ(m.raw.bytes, c.detail);
    } else {
        EXPECT_NE(m.error.find(c.detail), std::string::npos) << m.error;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, RawMessages, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<RawCase>& p) { return std::string(p.param.name); });

TEST(RawMessages, RefusalNamesTheJob) {
    const PageMessage m = ReadPageMessage(R"({"verolux":{"jobId":7,"raw":{"text":"a"}}})");
    EXPECT_EQ(std::make_pair(m.kind, m.jobId), std::make_pair(Kind::BadJob, std::string("7")));
}

// Where the system cannot convert (Wine 8 has no code page 54936), the job is refused as such, not
// sent as other bytes or blamed on the text.
TEST(RawMessages, AnEncodingTheSystemLacksIsSaidSo) {
    const PageMessage m =
        ReadPageMessage(R"({"verolux":{"printer":"P","raw":{"text":"A","encoding":"GB18030"}}})");
    if (Gb18030Supported()) {
        EXPECT_EQ(m.kind, Kind::Raw) << m.error;
        EXPECT_EQ(m.raw.bytes, "A");
    } else {
        EXPECT_EQ(m.kind, Kind::BadJob);
        EXPECT_EQ(m.error, "raw.encoding GB18030 is not supported on this system");
    }
}

TEST(TextEncodings, Names) {
    EXPECT_EQ(TextEncodingNamed("utf-8"), TextEncoding::Utf8);
    EXPECT_EQ(TextEncodingNamed("ISO-8859-1"), TextEncoding::Latin1);
    EXPECT_EQ(TextEncodingNamed("GBK"), std::nullopt);
}

} // namespace
