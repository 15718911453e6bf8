#include "tests/common/TempFolder.h"

#include "agent/printing/Md5.h"
#include "agent/printing/TemplateStore.h"
#include "common/Ini.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

using verolux::PlanRefresh;
using verolux::RefreshFacts;
using verolux::TemplateStore;

namespace {

namespace fs = std::filesystem;

// MD5("abc") from RFC 1321's test suite.
constexpr const char* kAbcDigest = "900150983CD24FB0D6963F7D28E17F72";

struct PlanCase {
    const char* name;
    RefreshFacts facts;
    int downloads;
};

const PlanCase kPlans[] = {
    {"firstWithDigest", {false, "", "", "http://b/t.grf", kAbcDigest}, 2},
    {"firstWithoutDigest", {false, "", "", "http://b/t.grf", ""}, 1},
    {"sameUrlDigestMatches", {true, kAbcDigest, "http://b/t.grf", "http://b/t.grf", kAbcDigest}, 0},
    {"sameUrlNoDigest", {true, "ANYTHING", "http://b/t.grf", "http://b/t.grf", ""}, 0},
    {"otherUrlDigestMatches", {true, kAbcDigest, "http://b/old.grf", "http://b/t.grf", kAbcDigest}, 1},
    {"otherUrlDigestDiffers", {true, kAbcDigest, "http://b/old.grf", "http://b/t.grf", "0123"}, 2},
    {"lowerCaseDigest",
     {true, kAbcDigest, "http://b/t.grf", "http://b/t.grf", "900150983cd24fb0d6963f7d28e17f72"},
     1},
    {"sameUrlFileMissing", {false, "", "http://b/t.grf", "http://b/t.grf", ""}, 1},
    {"unreadableFileWithDigest", {true, "", "http://b/t.grf", "http://b/t.grf", kAbcDigest}, 1},
};

TEST(Plan, Downloads) {
    for (const PlanCase& c : kPlans)
        EXPECT_EQ(PlanRefresh(c.facts).downloads(), c.downloads) << c.name;
}

TEST(Md5, DigestsAndHex) {
    fs::path dir = testsupport::FreshTempFolder("vx-md5");
    const auto write = [&dir](const std::string& content) {
        std::ofstream(dir / "f", std::ios::binary) << content;
        return dir / "f";
    };
    // One chunk exactly, and two chunks plus one byte: chunking must not change the digest
    // (values from md5sum over the same bytes).
    for (const auto& [content, digest] :
         {std::pair{std::string("abc"), kAbcDigest},
          {std::string(), "D41D8CD98F00B204E9800998ECF8427E"},
          {std::string(mMD5::kChunkSize, 'a'), "30C2557E8302A5BEB290C71520D87F42"},
          {std::string(2 * mMD5::kChunkSize + 1, 'a'), "6F0555AC53CECBF068D354C08863805A"}})
        EXPECT_EQ(mMD5::MD5Hex(*mMD5::FileMD5(write(content))), digest) << content.size();
    EXPECT_FALSE(mMD5::FileMD5(dir / "missing").has_value());
    EXPECT_FALSE(mMD5::FileMD5(dir).has_value()); // a folder reads as unreadable
    fs::remove_all(dir);
}

// The store with a counting fake downloader (which downloads happen is the plan table above; here,
// what the store does about them) that writes `content` (or fails) in a temp program folder.
class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override { fs::create_directories(m_dir / "report"); }
    void TearDown() override { fs::remove_all(m_dir); }

    TemplateStore store() {
        return TemplateStore(
            verolux::TemplateFolder(m_dir), m_settings,
            [this](std::string_view line) { logs.emplace_back(line); },
            [this](const std::string& url, const fs::path& path) {
                urls.push_back(url);
                if (failDownloads) return false;
                std::ofstream(path, std::ios::binary) << content;
                return true;
            });
    }

    fs::path m_dir = testsupport::FreshTempFolder("vx-store");
    mINI::Settings m_settings{m_dir};
    std::vector<std::string> logs;
    std::vector<std::string> urls;
    std::string content = "abc";
    bool failDownloads = false;
};

TEST_F(StoreTest, FirstRequestWithDigestDownloadsTwice) {
    auto r = store().Refresh("t.grf", "http://b/t.grf", kAbcDigest);
    EXPECT_TRUE(r.exists);
    EXPECT_EQ(r.path, m_dir / "report" / "t.grf");
    EXPECT_EQ(urls.size(), 2u);
    EXPECT_EQ(logs, (std::vector<std::string>{"更新文件：t.grf", "更新文件：t.grf"}));
    EXPECT_EQ(m_settings.ReadIni("fileUrl", "t.grf"), "http://b/t.grf");

    // Second request, same URL, matching digest: nothing happens.
    store().Refresh("t.grf", "http://b/t.grf", kAbcDigest);
    EXPECT_EQ(urls.size(), 2u);
    EXPECT_EQ(logs.size(), 2u);
}

TEST_F(StoreTest, UrlOver1024CharactersDownloadsEveryTime) {
    const std::string url = "http://b/" + std::string(1100, 'x') + ".grf";
    store().Refresh("t.grf", url, "");
    store().Refresh("t.grf", url, "");
    EXPECT_EQ(urls.size(), 2u); // the stored copy is cut to 1,024 bytes and never equals
}

TEST_F(StoreTest, FailedDownloads) {
    failDownloads = true;
    EXPECT_FALSE(store().Refresh("t.grf", "http://b/t.grf", "").exists);
    EXPECT_EQ(m_settings.ReadIni("fileUrl", "t.grf"), "http://b/t.grf"); // recorded all the same
    store().Refresh("t.grf", "http://b/t.grf", "");
    EXPECT_EQ(urls.size(), 2u); // again, only because the file is missing
    // Over an existing file: the old copy stays in use.
    failDownloads = false;
    store().Refresh("t.grf", "http://b/t.grf", "");
    failDownloads = true;
    EXPECT_TRUE(store().Refresh("t.grf", "http://b/new.grf", "").exists);
    EXPECT_EQ(urls.size(), 4u);
}

TEST_F(StoreTest, UnsafeNamesThrowAndTouchNothing) {
    for (const char* name : {"", ".", "..", "../t.grf", "a/b.grf", "..\\t.grf", "C:t.grf", "/etc/passwd",
                             "t\x01.grf", "sub\\t.grf"})
        EXPECT_THROW(store().Refresh(name, "http://b/t.grf", ""), verolux::TemplateNameError) << name;
    EXPECT_TRUE(urls.empty());
    EXPECT_TRUE(logs.empty());
    EXPECT_FALSE(fs::exists(m_settings.file()));
}

} // namespace
