// Document jobs as a page sends them: what is accepted with which options, what is refused and why.
#include "agent/printing/DocumentJob.h"
#include "agent/printing/PageMessage.h"

#include <gtest/gtest.h>

using namespace verolux;
using Kind = PageMessage::Kind;

namespace {

// "%PDF-1.4" and a PNG signature, in Base64.
const std::string kPdf64 = "JVBERi0xLjQK", kPng64 = "iVBORw0KGgo=";

struct DocumentCase {
    const char* name;
    std::string verolux;
    const char* error; // a piece of it; "" when accepted
};

const DocumentCase kCases[] = {
    {"pdfByUrl",
     R"({"jobId":"d","document":{"url":"https://erp.example.com/a.pdf"},"copies":2,"fit":"actual"})", ""},
    {"pngBase64", R"({"document":{"base64":")" + kPng64 + R"(","type":"image/png"},"action":"print"})", ""},
    {"allOptions",
     R"({"printer":"HP","document":{"base64":")" + kPdf64 +
         R"("},"duplex":"long","pages":"1-2","tray":"tray-2","paper":{"widthMm":62,"heightMm":29},"fit":"fill"})",
     ""},
    {"notADocument", R"({"document":{"base64":"aGVsbG8="}})", "no PDF, PNG or JPEG"},
    {"typeMismatch", R"({"document":{"base64":")" + kPng64 + R"(","type":"application/pdf"}})",
     "is image/png, not application/pdf"},
    {"unknownType", R"({"document":{"url":"http://h/a","type":"image/gif"}})", "document.type must be"},
    {"fileUrl", R"({"document":{"url":"file:///etc/passwd"}})", "http or https"},
    {"urlAndBase64", R"({"document":{"url":"http://h/a","base64":")" + kPdf64 + R"("}})", "either"},
    {"badFit", R"({"document":{"url":"http://h/a"},"fit":"stretch"})", "fit must be"},
    {"preview", R"({"document":{"url":"http://h/a"},"action":"preview"})", ""},
    {"badAction", R"({"document":{"url":"http://h/a"},"action":"design"})", "action must be"},
    {"headers", R"({"document":{"url":"http://h/a"},"headers":{"Authorization":"Bearer t"}})", ""},
    {"agentsOwnHeader", R"({"document":{"url":"http://h/a"},"headers":{"Host":"x"}})", "Host"},
    {"badCopies", R"({"document":{"url":"http://h/a"},"copies":0})", "copies must be"},
    {"badPaper", R"({"document":{"url":"http://h/a"},"paper":{}})", "paper must be"},
    {"unknownOption", R"({"document":{"url":"http://h/a"},"cut":true})", "unknown option \"cut\""},
    {"pdfUpload",
     R"({"document":{"url":"http://h/a"},"action":"pdf","reportId":"R1","reportAdd":"http://h/up"})", ""},
    {"pdfWithoutAddress", R"({"document":{"url":"http://h/a"},"action":"pdf","reportId":"R1"})",
     "needs \"reportId\" and \"reportAdd\""},
    {"pdfNameNotPlain",
     R"({"document":{"url":"http://h/a"},"action":"pdf","reportId":"../R1","reportAdd":"http://h/up"})",
     "plain file name"},
};

class DocumentMessages : public testing::TestWithParam<DocumentCase> {};

TEST_P(DocumentMessages, ReadAsTheyAre) {
    const DocumentCase& c = GetParam();
    const PageMessage m = ReadPageMessage(R"({"verolux":)" + c.verolux + "}");
    if (*c.error == 0) {
        EXPECT_EQ(m.kind, Kind::Document) << m.error;
    } else {
        EXPECT_EQ(m.kind, Kind::BadJob);
        EXPECT_NE(m.error.find(c.error), std::string::npos) << m.error;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, DocumentMessages, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<DocumentCase>& p) {
                             return std::string(p.param.name);
                         });

TEST(DocumentMessages, OptionsReachTheJob) {
    const PageMessage m = ReadPageMessage(
        R"({"verolux":{"jobId":"d4","printer":"HP","document":{"base64":")" + kPdf64 +
        R"("},"copies":3,"pages":"2-","tray":"Tray 2","fit":"fit","headers":{"Cookie":"s=1"}}})");
    ASSERT_EQ(m.kind, Kind::Document) << m.error;
    EXPECT_EQ(m.jobId, "d4");
    EXPECT_EQ(m.document.printer, "HP");
    EXPECT_EQ(m.document.bytes, "%PDF-1.4\n");
    EXPECT_EQ(m.document.fit, Fit::Fit);
    EXPECT_EQ(m.headers, std::vector<std::string>{"Cookie: s=1"});
    EXPECT_EQ(std::make_tuple(m.options.copies, m.document.options.copies, m.document.options.pages,
                              m.document.options.tray),
              std::make_tuple(1, 3, std::string("2-"), std::string("Tray 2")));
    EXPECT_EQ(ReadPageMessage(R"({"repname":"a","verolux":{"document":{"url":"http://h/a"}}})").error,
              "a document job is a message of its own: \"repname\" does not go with it");
}

TEST(DocumentMessages, Sniffed) {
    EXPECT_EQ(SniffDocument("\xFF\xD8\xFF\xE0"), DocumentFormat::Jpeg);
    EXPECT_EQ(SniffDocument("%PDF"), DocumentFormat::Unknown);
}

} // namespace
