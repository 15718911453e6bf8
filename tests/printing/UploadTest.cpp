#include "tests/common/CannedServer.h"
#include "tests/common/TempFolder.h"

#include "agent/printing/PdfRetention.h"
#include "agent/printing/PostReportFile.h"
#include "agent/reports/encoder/clsB64.h"
#include "agent/reports/encoder/modBase64.h"
#include "common/Http.h"
#include "common/JsonReader.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

class FileTest : public ::testing::Test {
  protected:
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path file(const char* name, const std::string& content) {
        std::ofstream(m_dir / name, std::ios::binary) << content;
        return m_dir / name;
    }
    fs::path m_dir = testsupport::FreshTempFolder("vx-upload");
};

// The encoding itself is common Base64's table; here, the file encoder around it.
TEST_F(FileTest, SharedEncoderStartsFreshEachTimeAndReadsOnlyFiles) {
    modBase64::Encoder& first = modBase64::CreateEncoder();
    first.fileBytes = {1, 2, 3};
    first.encodedText = "left over";
    modBase64::Encoder& second = modBase64::CreateEncoder();
    EXPECT_TRUE(second.fileBytes.empty());
    EXPECT_TRUE(second.encodedText.empty());
    EXPECT_EQ(modBase64::EncodeFile(file("a", "abc")), "YWJj");
    EXPECT_THROW(modBase64::EncodeFile(file("e", "")), std::runtime_error);
    EXPECT_EQ(modBase64::EncodeFile(file("b", "ab")), "YWI=");
    // Empty and missing files fail the upload below; a folder is no file either.
    std::vector<std::uint8_t> bytes;
    EXPECT_THROW(clsB64().Load(m_dir.string(), bytes), std::runtime_error);
}

// The PDF body's exact bytes: PostReportFileSendsTheBody below.
TEST(UploadBody, ExactBytes) {
    EXPECT_EQ(verolux::TemplateUploadBody("YWJj", "R-1", "900150983CD24FB0D6963F7D28E17F72"),
              R"({ "st1":"YWJj","st0":"R-1","st2":"900150983CD24FB0D6963F7D28E17F72"})");
    EXPECT_EQ(verolux::ReportFileBody("", "报表-1"), R"({ "st1":"","st0":"报表-1","st2":""})");
}

TEST(UploadBody, HostileIdsStayValidJson) {
    for (const char* id : {"a\"b", "a\\", "\"}", "line\nbreak", "\x01", "\",\"st2\":\"x"}) {
        const auto body =
            verolux::JsonDocument::Parse(verolux::ReportFileBody("YWJj", id)); // throws if broken
        EXPECT_EQ(body.root().value("st0").text, id);
        EXPECT_EQ(body.root().value("st2").text, "");
    }
}

TEST_F(FileTest, PostReportFileSendsTheBody) {
    testsupport::CannedServer server(
        {"HTTP/1.1 500 Oops\r\nContent-Length: 4\r\nConnection: close\r\n\r\nfail"});
    EXPECT_EQ(verolux::PostReportFile(file("7.pdf", "abc"), server.url("/upload/pdf"), "7"), 500);
    auto req = server.requests().at(0);
    EXPECT_EQ(req.rfind("POST /upload/pdf HTTP/1.1\r\n", 0), 0u);
    EXPECT_NE(req.find("\r\nContent-Type: application/json; charset=UTF-8\r\n"), std::string::npos);
    EXPECT_EQ(req.substr(req.find("\r\n\r\n") + 4), R"({ "st1":"YWJj","st0":"7","st2":""})");
}

TEST_F(FileTest, PostReportFileFailures) {
    EXPECT_THROW(verolux::PostReportFile(file("e.pdf", ""), "http://127.0.0.1:1/", "1"), std::runtime_error);
    EXPECT_THROW(verolux::PostReportFile(m_dir / "missing.pdf", "http://127.0.0.1:1/", "1"),
                 std::runtime_error);
    EXPECT_THROW(verolux::PostReportFile(file("ok.pdf", "abc"), "http://127.0.0.1:1/", "1"),
                 verolux::HttpError);
    EXPECT_TRUE(fs::exists(m_dir / "ok.pdf")); // the PDF stays
}

// A PDF the backend took goes at once; failed ones stay a week, then go; templates always stay.
TEST_F(FileTest, UploadedPdfsGoFailedOnesAfterAWeek) {
    verolux::SettleUploadedPdf(file("taken.pdf", "x"), 201);
    verolux::SettleUploadedPdf(file("refused.pdf", "x"), 500);
    verolux::SettleUploadedPdf(file("unanswered.pdf", "x"), 0);
    EXPECT_FALSE(fs::exists(m_dir / "taken.pdf"));
    EXPECT_TRUE(fs::exists(m_dir / "refused.pdf"));
    const auto now = fs::file_time_type::clock::now();
    for (const char* old : {"old.pdf", "old.grf"}) {
        file(old, "x");
        fs::last_write_time(m_dir / old, now - verolux::kKeepFailedPdfs - std::chrono::hours(1));
    }
    fs::last_write_time(m_dir / "refused.pdf", now - verolux::kKeepFailedPdfs + std::chrono::hours(1));
    verolux::RemoveOldFailedPdfs(m_dir, now);
    EXPECT_FALSE(fs::exists(m_dir / "old.pdf"));
    for (const char* kept : {"old.grf", "refused.pdf", "unanswered.pdf"})
        EXPECT_TRUE(fs::exists(m_dir / kept)) << kept;
}

} // namespace
