// The update check against canned backend answers: what it writes, what it fetches, what it leaves.
#include "tests/common/CannedServer.h"
#include "tests/common/TempFolder.h"

#include "common/CheckUpdate.h"
#include "common/Ini.h"
#include "common/TextFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

using testsupport::CannedServer;
namespace fs = std::filesystem;

namespace {

std::string Ok(const std::string& body, const std::string& status = "200 OK") {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

std::string Answer(const std::string& ver, const std::string& url, const std::string& file) {
    return Ok(R"({"ver":")" + ver + R"(","url":")" + url + R"(","file":")" + file + R"("})");
}

class CheckUpdateTest : public ::testing::Test {
  protected:
    void TearDown() override { fs::remove_all(m_dir); }

    // The agent's check against a backend giving `reply`; the raw requests the backend got.
    std::vector<std::string> check(const std::string& reply, const std::string& current = "1.0.0") {
        CannedServer backend({reply});
        m_settings.WriteIni("AppInfo", "WebsUrl", backend.url(""));
        mINI::CheckUpdate(m_settings, m_dir, "PrintVer", mINI::kKindAgent, current);
        return backend.requests();
    }
    std::string version() const { return m_settings.ReadIni("AppInfo", "PrintVer"); }
    std::string agentFile() const { return verolux::ReadWholeFile(m_dir / "Verolux"); }
    void writeAgent(const std::string& content) { std::ofstream(m_dir / "Verolux") << content; }

    fs::path m_dir = testsupport::FreshTempFolder("vx-upd");
    mINI::Settings m_settings{m_dir};
};

TEST_F(CheckUpdateTest, NewVersionIsRecordedThenTheFileReplaced) {
    CannedServer files({Ok("#!/bin/sh\necho new agent\n")});
    writeAgent("old agent");
    const auto requests = check(Answer("2.0.0", files.url("/Verolux"), "Verolux"));
    EXPECT_EQ(version(), "2.0.0");
    EXPECT_EQ(agentFile(), "#!/bin/sh\necho new agent\n");
    EXPECT_EQ(::access((m_dir / "Verolux").c_str(), X_OK), 0);
    // The query: kind, separator, version; body "{}" with the JSON content type.
    const std::string& q = requests.at(0);
    EXPECT_EQ(q.rfind("POST /basedata/v1/update/getLastUpdate/1%E2%80%BB1.0.0 HTTP/1.1\r\n", 0), 0u) << q;
    EXPECT_NE(q.find("\r\nContent-Type: application/json; charset=UTF-8\r\n"), std::string::npos) << q;
    EXPECT_EQ(q.substr(q.find("\r\n\r\n") + 4), "{}");
}

// Nothing is written and nothing fetched: the files server would count a download. An empty current
// version leaves the URL ending in the separator.
TEST_F(CheckUpdateTest, AnswersWithoutAVersionChangeNothing) {
    CannedServer files({Ok("new agent")});
    const std::string url = files.url("/Verolux");
    for (const std::string& reply : {Answer("", url, "Verolux"), Ok(R"({"url":")" + url + R"(","file":"x"})"),
                                     Ok("<html><body>502 Bad Gateway</body></html>", "502 Bad Gateway")}) {
        const auto requests = check(reply, "");
        EXPECT_EQ(requests.at(0).rfind("POST /basedata/v1/update/getLastUpdate/1%E2%80%BB HTTP/1.1\r\n", 0),
                  0u);
        EXPECT_EQ(version(), "") << reply;
    }
    EXPECT_TRUE(files.requests().empty());
    EXPECT_FALSE(fs::exists(m_dir / "Verolux"));
}

TEST_F(CheckUpdateTest, BackendUnreachableIsSilent) {
    std::string closed;
    {
        CannedServer gone({});
        closed = gone.url("");
    }
    m_settings.WriteIni("AppInfo", "WebsUrl", closed);
    mINI::CheckUpdate(m_settings, m_dir, "PrintVer", mINI::kKindAgent, "1.0.0");
    EXPECT_EQ(version(), "");
}

// The version is written before the download, so a failed download still records it.
TEST_F(CheckUpdateTest, FailedDownloadKeepsTheOldFileButNotTheOldVersion) {
    writeAgent("old agent");
    CannedServer files({Ok("<html>error</html>", "500 Internal Server Error"),
                        "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\ncut"});
    for (int i = 0; i < 2; ++i) {
        m_settings.WriteIni("AppInfo", "PrintVer", "1.0.0");
        check(Answer("2.0.0", files.url("/Verolux"), "Verolux"));
        EXPECT_EQ(version(), "2.0.0");
        EXPECT_EQ(agentFile(), "old agent");
    }
    for (auto& e : fs::directory_iterator(m_dir)) // no temporary file left
        EXPECT_TRUE(e.path().filename() == "Verolux" || e.path().filename() == "MyIni.ini" ||
                    e.path().filename() == ".MyIni.ini.lock")
            << e.path();
}

TEST_F(CheckUpdateTest, FileNamesOutsideTheFolderAreIgnored) {
    CannedServer files({Ok("x")});
    for (const char* file : {"../escaped", "/tmp/escaped", "sub/escaped", "..", ""})
        check(Answer("2.0.0", files.url("/Verolux"), file));
    EXPECT_TRUE(files.requests().empty());
}

TEST(WebsUrl, DefaultIsHttpsAndWrittenOnlyWhenEmpty) {
    const fs::path d = testsupport::FreshTempFolder("vx-webs");
    mINI::Settings s(d);
    EXPECT_EQ(mINI::DefaultWebsUrl().rfind("https://", 0), 0u);
    EXPECT_EQ(mINI::EnsureWebsUrl(s), mINI::DefaultWebsUrl());
    EXPECT_EQ(s.ReadIni("AppInfo", "WebsUrl"), mINI::DefaultWebsUrl());
    s.WriteIni("AppInfo", "WebsUrl", "not even a url");
    EXPECT_EQ(mINI::EnsureWebsUrl(s), "not even a url");
    EXPECT_EQ(mINI::UpdateQueryUrl("http://h", "2", ""), "http://h/basedata/v1/update/getLastUpdate/2※");
    fs::remove_all(d);
}

} // namespace
