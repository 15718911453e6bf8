// The update check against the demo backend, which answers from releases/latest-<kind>.json.
#include "tests/common/CannedServer.h"
#include "tests/common/TempFolder.h"
#include "tests/common/TestBackend.h"

#include "common/CheckUpdate.h"
#include "common/Ini.h"
#include "common/JsonReader.h"
#include "common/TextFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

class CheckUpdateTest : public ::testing::Test {
  protected:
    static fs::path Fresh() {
        fs::path d = testsupport::FreshTempFolder("vx-upd");
        fs::create_directories(d / "app");
        return d;
    }
    void SetUp() override {
        ASSERT_TRUE(m_backend.ok());
        m_settings.WriteIni("AppInfo", "WebsUrl", m_backend.base());
        write(m_backend.releases() / "Verolux", "#!/bin/sh\necho new agent\n");
    }
    void TearDown() override { fs::remove_all(m_dir); }

    static void write(const fs::path& p, const std::string& content) {
        std::ofstream(p, std::ios::binary) << content;
    }
    void answer(const std::string& kind, const std::string& json) {
        write(m_backend.releases() / ("latest-" + kind + ".json"), json);
    }
    void check(const std::string& current = "1.0.0") {
        mINI::CheckUpdate(m_settings, app(), "PrintVer", mINI::kKindAgent, current);
    }
    fs::path app() const { return m_dir / "app"; }
    verolux::JsonDocument stats() { return verolux::JsonDocument::Parse(m_backend.stats()); }
    int releaseDownloads(const std::string& name) {
        auto v = stats().root().member("releaseDownloads").value(name);
        return v.isEmpty() ? 0 : std::stoi(v.text);
    }
    static mode_t Mode(const fs::path& p) {
        struct stat st {};
        ::stat(p.c_str(), &st);
        return st.st_mode & 07777;
    }

    fs::path m_dir = Fresh();
    testsupport::TestBackend m_backend{VEROLUX_DEMO_BACKEND, m_dir / "backend"};
    mINI::Settings m_settings{m_dir / "app"};
};

TEST_F(CheckUpdateTest, EmptyVersionWritesAndDownloadsNothing) {
    answer("1", R"({"ver":"","url":"${BASE}/releases/Verolux","file":"Verolux"})");
    check();
    EXPECT_EQ(m_settings.ReadIni("AppInfo", "PrintVer"), "");
    EXPECT_FALSE(fs::exists(app() / "Verolux"));
    EXPECT_EQ(releaseDownloads("Verolux"), 0);
}

TEST_F(CheckUpdateTest, NewVersionIsRecordedAndTheFileReplaced) {
    answer("1", R"({"ver":"2.0.0","url":"${BASE}/releases/Verolux","file":"Verolux"})");
    write(app() / "Verolux", "old agent");
    ::chmod((app() / "Verolux").c_str(), 0755);
    check();
    EXPECT_EQ(m_settings.ReadIni("AppInfo", "PrintVer"), "2.0.0");
    EXPECT_EQ(verolux::ReadWholeFile(app() / "Verolux"), "#!/bin/sh\necho new agent\n");
    EXPECT_EQ(Mode(app() / "Verolux"), 0755);
    EXPECT_EQ(releaseDownloads("Verolux"), 1);
    // The query: kind, separator, version, body "{}", JSON content type.
    auto doc = stats();
    auto q = doc.root().member("updateQueries").element(0);
    EXPECT_EQ(q.value("kind").text, "1");
    EXPECT_EQ(q.value("version").text, "1.0.0");
    EXPECT_EQ(q.value("body").text, "{}");
    EXPECT_EQ(q.value("contentType").text, "application/json; charset=UTF-8");
    EXPECT_NE(q.value("target").text.find("/basedata/v1/update/getLastUpdate/1%E2%80%BB1.0.0"),
              std::string::npos)
        << q.value("target").text;
}

TEST_F(CheckUpdateTest, NewProgramFileGetsRunPermission) {
    answer("2", R"({"ver":"3.1.4","url":"${BASE}/releases/Verolux","file":"Kestrane"})");
    mINI::CheckUpdate(m_settings, app(), "ShellVer", mINI::kKindLauncher, "");
    EXPECT_EQ(m_settings.ReadIni("AppInfo", "ShellVer"), "3.1.4");
    EXPECT_EQ(Mode(app() / "Kestrane") & 0111, 0111);
}

TEST_F(CheckUpdateTest, EmptyCurrentVersionEndsTheUrlWithTheSeparator) {
    answer("1", R"({"ver":""})");
    check("");
    auto doc = stats();
    auto q = doc.root().member("updateQueries").element(0);
    EXPECT_EQ(q.value("separator"), verolux::ScalarValue::fromBool(true));
    EXPECT_EQ(q.value("version").text, "");
    const std::string target = q.value("target").text;
    EXPECT_EQ(target.substr(target.size() - 9), "%E2%80%BB") << target;
}

TEST_F(CheckUpdateTest, NonJsonAnswerChangesNothing) {
    answer("1", "<html><body>502 Bad Gateway</body></html>");
    write(app() / "Verolux", "old agent");
    check();
    EXPECT_EQ(m_settings.ReadIni("AppInfo", "PrintVer"), "");
    EXPECT_EQ(verolux::ReadWholeFile(app() / "Verolux"), "old agent");
}

TEST_F(CheckUpdateTest, AnswerWithoutVerChangesNothing) {
    answer("1", R"({"url":"${BASE}/releases/Verolux","file":"Verolux"})");
    check();
    EXPECT_EQ(m_settings.ReadIni("AppInfo", "PrintVer"), "");
    EXPECT_FALSE(fs::exists(app() / "Verolux"));
}

TEST_F(CheckUpdateTest, BackendUnreachableIsSilent) {
    int port = 0;
    {
        testsupport::CannedServer closed({});
        port = std::stoi(closed.url().substr(17));
    }
    m_settings.WriteIni("AppInfo", "WebsUrl", "http://127.0.0.1:" + std::to_string(port));
    check();
    EXPECT_EQ(m_settings.ReadIni("AppInfo", "PrintVer"), "");
}

TEST_F(CheckUpdateTest, FailedDownloadKeepsTheOldFileButNotTheOldVersion) {
    answer("1", R"({"ver":"2.0.0","url":"${BASE}/releases/Verolux","file":"Verolux"})");
    write(app() / "Verolux", "old agent");
    for (const char* mode : {"500", "drop"}) {
        m_settings.WriteIni("AppInfo", "PrintVer", "1.0.0");
        m_backend.fail(mode, "/releases/Verolux");
        check();
        EXPECT_EQ(m_settings.ReadIni("AppInfo", "PrintVer"), "2.0.0") << mode; // written before the download
        EXPECT_EQ(verolux::ReadWholeFile(app() / "Verolux"), "old agent") << mode;
    }
    for (auto& e : fs::directory_iterator(app()))
        EXPECT_TRUE(e.path().filename() == "Verolux" || e.path().filename() == "MyIni.ini" ||
                    e.path().filename() == ".MyIni.ini.lock")
            << e.path(); // no temporary file left
}

TEST_F(CheckUpdateTest, FileNamesOutsideTheFolderAreIgnored) {
    for (const char* file : {"../escaped", "/tmp/escaped", "sub/escaped", "..", ""}) {
        answer("1",
               std::string(R"({"ver":"2.0.0","url":"${BASE}/releases/Verolux","file":")") + file + "\"}");
        check();
    }
    EXPECT_FALSE(fs::exists(m_dir / "escaped"));
    EXPECT_FALSE(fs::exists(app() / "sub"));
    EXPECT_EQ(releaseDownloads("Verolux"), 0);
}

TEST(WebsUrl, DefaultIsHttpsAndWrittenOnlyWhenEmpty) {
    fs::path d = testsupport::FreshTempFolder("vx-webs");
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
