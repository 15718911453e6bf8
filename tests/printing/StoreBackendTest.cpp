// The template store with the real downloader against the demo backend, which counts downloads.
#include "TempFolder.h"
#include "TestBackend.h"

#include "agent/printing/Md5.h"
#include "agent/printing/TemplateStore.h"
#include "common/Http.h"
#include "common/Ini.h"
#include "common/JsonReader.h"
#include "common/TextFile.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using verolux::TemplateStore;

namespace {

class StoreBackend : public ::testing::Test {
protected:
    static fs::path Fresh()
    {
        fs::path d = testsupport::FreshTempFolder("vx-storeb");
        fs::create_directories(d / "agent" / "report");
        return d;
    }
    void SetUp() override
    {
        ASSERT_TRUE(m_backend.ok()) << "demo backend did not start";
        std::ofstream(m_backend.templates() / "t.grf", std::ios::binary) << "template v1";
        m_digest = mMD5::MD5Hex(*mMD5::FileMD5(m_backend.templates() / "t.grf"));
    }
    void TearDown() override { fs::remove_all(m_dir); }

    TemplateStore store()
    {
        return TemplateStore(verolux::TemplateFolder(m_dir / "agent"), m_settings,
                             [this](std::string_view l) { logs.emplace_back(l); },
                             [](const std::string& url, const fs::path& p) { return verolux::DownloadToFile(url, p); });
    }
    int downloads(const std::string& name)
    {
        auto doc = verolux::JsonDocument::Parse(m_backend.stats());
        auto v = doc.root().member("downloads").value(name);
        return v.isEmpty() ? 0 : std::stoi(v.text);
    }
    std::string url(const std::string& name) const { return m_backend.base() + "/templates/" + name; }

    fs::path m_dir = Fresh();
    testsupport::TestBackend m_backend{VEROLUX_DEMO_BACKEND, m_dir / "backend"};
    mINI::Settings m_settings{m_dir / "agent"};
    std::vector<std::string> logs;
    std::string m_digest;
};

TEST_F(StoreBackend, FirstWithDigestTwiceThenNothing)
{
    auto r = store().Refresh("t.grf", url("t.grf"), m_digest);
    EXPECT_TRUE(r.exists);
    EXPECT_EQ(verolux::ReadWholeFile(r.path), "template v1");
    EXPECT_EQ(downloads("t.grf"), 2);
    EXPECT_EQ(logs.size(), 2u);
    store().Refresh("t.grf", url("t.grf"), m_digest);
    EXPECT_EQ(downloads("t.grf"), 2);
    EXPECT_EQ(m_settings.ReadIni("fileUrl", "t.grf"), url("t.grf"));
}

TEST_F(StoreBackend, FirstWithoutDigestOnce)
{
    EXPECT_TRUE(store().Refresh("t.grf", url("t.grf"), "").exists);
    EXPECT_EQ(downloads("t.grf"), 1);
}

TEST_F(StoreBackend, ServerErrorKeepsTheOldCopy)
{
    store().Refresh("t.grf", url("t.grf"), "");
    std::ofstream(m_backend.templates() / "t.grf", std::ios::binary) << "template v2";
    for (const char* mode : {"500", "drop"}) {
        m_backend.fail(mode, "/templates/t.grf");
        auto r = store().Refresh("t.grf", url("t.grf") + "?" + mode, "");
        EXPECT_TRUE(r.exists) << mode;
        EXPECT_EQ(verolux::ReadWholeFile(r.path), "template v1") << mode;
    }
    EXPECT_EQ(m_settings.ReadIni("fileUrl", "t.grf"), url("t.grf") + "?drop"); // recorded anyway
    EXPECT_TRUE(store().Refresh("t.grf", url("t.grf"), "").exists);
    EXPECT_EQ(verolux::ReadWholeFile(m_dir / "agent" / "report" / "t.grf"), "template v2");
}

TEST_F(StoreBackend, MissingTemplateOnServerIsNotFoundHere)
{
    auto r = store().Refresh("none.grf", url("none.grf"), "");
    EXPECT_FALSE(r.exists);
    EXPECT_FALSE(fs::exists(r.path)); // no error page saved as a template
    EXPECT_EQ(m_settings.ReadIni("fileUrl", "none.grf"), url("none.grf"));
}

TEST_F(StoreBackend, MissingTemplateFolderIsNeverCreated)
{
    fs::remove_all(m_dir / "agent" / "report");
    EXPECT_FALSE(store().Refresh("t.grf", url("t.grf"), "").exists);
    EXPECT_FALSE(fs::exists(m_dir / "agent" / "report"));
}

} // namespace
