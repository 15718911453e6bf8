// The update check against canned backend answers: what it writes, what it fetches, what it leaves.
#include "tests/common/CannedServer.h"
#include "tests/common/SigningKey.h"
#include "tests/common/TempFolder.h"

#include "common/CheckUpdate.h"
#include "common/Ini.h"
#include "common/TextFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

using testsupport::CannedServer;
using testsupport::HttpReply;
using testsupport::ManifestText;
using testsupport::Sha256Hex;
using testsupport::SigningKey;
namespace fs = std::filesystem;

namespace {

std::string Ok(const std::string& body) {
    return HttpReply("200 OK", body);
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
    const std::string q = check(Answer("2.0.0", files.url("/Verolux"), "Verolux")).at(0);
    EXPECT_EQ(version(), "2.0.0");
    EXPECT_EQ(agentFile(), "#!/bin/sh\necho new agent\n");
    EXPECT_EQ(::access((m_dir / "Verolux").c_str(), X_OK), 0);
    // The query: kind, separator, version; body "{}" (how it is posted is the HTTP client's test).
    EXPECT_EQ(q.rfind("POST /basedata/v1/update/getLastUpdate/1%E2%80%BB1.0.0 HTTP/1.1\r\n", 0), 0u) << q;
    EXPECT_EQ(q.substr(q.find("\r\n\r\n") + 4), "{}");
}

// Nothing is written and nothing fetched (the files server would count a download): answers without a
// version, an error page, answers naming the settings, the log, the asking program's own file or
// anything but the program asked for, an unreachable backend. An empty current version leaves the URL ending
// in the separator.
TEST_F(CheckUpdateTest, AnswersThatChangeNothing) {
    CannedServer files({Ok("new agent")});
    const std::string url = files.url("/Verolux");
    std::vector<std::string> replies = {
        Answer("", url, "Verolux"), Ok(R"({"url":")" + url + R"(","file":"x"})"),
        HttpReply("502 Bad Gateway", "<html><body>502 Bad Gateway</body></html>")};
    for (const char* file :
         {"MyIni.ini", "MyLog.txt", "Verolux.lock", "report", "verolux", "../Verolux", "", "Kestrane"})
        replies.push_back(Answer("2.0.0", url, file));
    for (const std::string& reply : replies) {
        const std::string query = check(reply, "").at(0);
        EXPECT_EQ(query.rfind("POST /basedata/v1/update/getLastUpdate/1%E2%80%BB HTTP/1.1\r\n", 0), 0u)
            << query;
        EXPECT_EQ(version(), "") << reply;
    }
    m_settings.WriteIni("AppInfo", "WebsUrl", CannedServer::closedUrl(""));
    mINI::CheckUpdate(m_settings, m_dir, "PrintVer", mINI::kKindAgent, "1.0.0");
    EXPECT_EQ(version(), "");
    EXPECT_TRUE(files.requests().empty());
    EXPECT_FALSE(fs::exists(m_dir / "Verolux"));
}

// The version is written before the download, so a failed download still records it. (Which
// answers fail a download, and that none leaves a temporary file, is the HTTP client's test.)
TEST_F(CheckUpdateTest, FailedDownloadKeepsTheOldFileButNotTheOldVersion) {
    writeAgent("old agent");
    CannedServer files({HttpReply("500 Internal Server Error", "<html>error</html>")});
    m_settings.WriteIni("AppInfo", "PrintVer", "1.0.0");
    check(Answer("2.0.0", files.url("/Verolux"), "Verolux"));
    EXPECT_EQ(version(), "2.0.0");
    EXPECT_EQ(agentFile(), "old agent");
}

// With an update key the answer counts only with url + ".manifest" signed by it (url +
// ".manifest.sig"), naming this program, the answer's version, a newer one than installed; the file is
// installed only when it is the one the manifest signs. A refused answer records no version.
TEST_F(CheckUpdateTest, WithAnUpdateKeyOnlyWhatTheManifestSignsIsInstalled) {
    const SigningKey key;
    const std::string release = "#!/bin/sh\necho signed agent\n";
    const std::string manifest = ManifestText("Verolux", "2.0.0", Sha256Hex(release));
    struct Case {
        const char* name;
        std::string keyText;
        std::vector<std::string> replies; // manifest, signature, file
        std::string current;
        bool recorded;
        bool installed;
    };
    const Case cases[] = {
        {"signed", key.publicKey(), {Ok(manifest), Ok(key.sign(manifest)), Ok(release)}, "1.0.0", true, true},
        {"fileNotTheSignedOne",
         key.publicKey(),
         {Ok(manifest), Ok(key.sign(manifest)), Ok("evil")},
         "1.0.0",
         true,
         false},
        // Every manifest refused (another program's, another key's) takes this path: UpdateManifestTest.
        {"downgrade", key.publicKey(), {Ok(manifest), Ok(key.sign(manifest))}, "2.0.1", false, false},
        {"noManifest", key.publicKey(), {HttpReply("404 Not Found", "not found")}, "1.0.0", false, false},
        {"keyUnreadable", "not a key", {Ok(manifest), Ok(key.sign(manifest))}, "1.0.0", false, false},
    };
    for (const Case& c : cases) {
        writeAgent("old agent");
        m_settings.WriteIni("AppInfo", "PrintVer", c.current);
        m_settings.WriteIni("AppInfo", "UpdateKey", c.keyText);
        CannedServer files(c.replies);
        check(Answer("2.0.0", files.url("/Verolux"), "Verolux"), c.current);
        EXPECT_EQ(version(), c.recorded ? "2.0.0" : c.current) << c.name;
        EXPECT_EQ(agentFile(), c.installed ? release : "old agent") << c.name;
        const std::vector<std::string> got = files.requests();
        ASSERT_EQ(got.size(), c.replies.size()) << c.name;
        EXPECT_EQ(got.at(0).rfind("GET /Verolux.manifest ", 0), 0u) << c.name;
        if (got.size() > 1) {
            EXPECT_EQ(got.at(1).rfind("GET /Verolux.manifest.sig ", 0), 0u) << c.name;
        }
    }
}

// Without a key nothing but the file is fetched, whatever version it claims (the backend decides).
TEST_F(CheckUpdateTest, WithoutAnUpdateKeyNoManifestIsAskedFor) {
    CannedServer files({Ok("agent 0.1")});
    check(Answer("0.1.0", files.url("/Verolux"), "Verolux"), "1.0.0");
    EXPECT_EQ(version(), "0.1.0");
    EXPECT_EQ(agentFile(), "agent 0.1");
    ASSERT_EQ(files.requests().size(), 1u);
    EXPECT_EQ(files.requests().at(0).rfind("GET /Verolux ", 0), 0u);
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
