// The update check against canned backend answers: what it writes, what it fetches, what it leaves.
#include "tests/common/CannedServer.h"
#include "tests/common/TempFolder.h"

#include "common/CheckUpdate.h"
#include "common/Ini.h"
#include "common/TextFile.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <unistd.h>

#include <fstream>

using testsupport::CannedServer;
using testsupport::HttpReply;
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
// version, an error page, answers naming the settings, the log or anything but the two program files, an
// unreachable backend. An empty current version leaves the URL ending in the separator.
TEST_F(CheckUpdateTest, AnswersThatChangeNothing) {
    CannedServer files({Ok("new agent")});
    const std::string url = files.url("/Verolux");
    std::vector<std::string> replies = {
        Answer("", url, "Verolux"), Ok(R"({"url":")" + url + R"(","file":"x"})"),
        HttpReply("502 Bad Gateway", "<html><body>502 Bad Gateway</body></html>")};
    for (const char* file : {"MyIni.ini", "MyLog.txt", "Verolux.lock", "report", "verolux", "../Verolux", ""})
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

// An Ed25519 key of the test's own, as an administrator would make one with openssl.
class SigningKey {
  public:
    SigningKey() : m_key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519")) {}
    ~SigningKey() { EVP_PKEY_free(m_key); }
    SigningKey(const SigningKey&) = delete;
    SigningKey& operator=(const SigningKey&) = delete;

    // Base64 of the DER public key: the middle line of "openssl pkey -pubout".
    std::string publicKey() const {
        unsigned char* der = nullptr;
        const int n = i2d_PUBKEY(m_key, &der);
        std::string text(4 * ((n + 2) / 3) + 1, '\0');
        text.resize(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), der, n));
        OPENSSL_free(der);
        return text;
    }
    std::string sign(const std::string& data) const {
        std::string signature(64, '\0');
        std::size_t size = signature.size();
        EVP_MD_CTX* ctx = EVP_MD_CTX_new();
        EVP_DigestSignInit(ctx, nullptr, nullptr, nullptr, m_key);
        EVP_DigestSign(ctx, reinterpret_cast<unsigned char*>(signature.data()), &size,
                       reinterpret_cast<const unsigned char*>(data.data()), data.size());
        EVP_MD_CTX_free(ctx);
        return signature;
    }

  private:
    EVP_PKEY* m_key;
};

// With an update key the new file is installed only with its valid signature at url + ".sig".
TEST_F(CheckUpdateTest, WithAnUpdateKeyOnlySignedFilesAreInstalled) {
    const SigningKey key, otherKey;
    const std::string release = "#!/bin/sh\necho signed agent\n";
    struct Case {
        const char* name;
        std::string keyText;
        std::string sigReply;
        bool installed;
    };
    const Case cases[] = {
        {"signed", key.publicKey(), Ok(key.sign(release)), true},
        {"signedByAnotherKey", key.publicKey(), Ok(otherKey.sign(release)), false},
        {"noSignature", key.publicKey(), HttpReply("404 Not Found", "not found"), false},
        {"keyUnreadable", "not a key", Ok(key.sign(release)), false},
    };
    for (const Case& c : cases) {
        writeAgent("old agent");
        m_settings.WriteIni("AppInfo", "UpdateKey", c.keyText);
        CannedServer files({c.sigReply, Ok(release)});
        check(Answer("2.0.0", files.url("/Verolux"), "Verolux"));
        EXPECT_EQ(agentFile(), c.installed ? release : "old agent") << c.name;
        EXPECT_EQ(files.requests().at(0).rfind("GET /Verolux.sig ", 0), 0u) << c.name;
    }
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
