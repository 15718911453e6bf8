#include "tests/common/TempFolder.h"

#include "agent/printing/Md5.h"
#include "agent/printing/TemplateStore.h"
#include "common/Ini.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>
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
    {"lowerCaseDigestMatches",
     {true, kAbcDigest, "http://b/t.grf", "http://b/t.grf", "900150983cd24fb0d6963f7d28e17f72"},
     0},
    {"lowerCaseDigestDiffers", {true, kAbcDigest, "http://b/t.grf", "http://b/t.grf", "0123abcd"}, 1},
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
// what the store does about them) that writes `content` (or fails) in a temp program folder, at once
// or, with `hold`, when the test lets a download end.
class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override { fs::create_directories(m_dir / "report"); }
    void TearDown() override { fs::remove_all(m_dir); }

    TemplateStore store() {
        return TemplateStore(
            verolux::TemplateFolder(m_dir), m_settings,
            [this](std::string_view line) { logs.emplace_back(line); },
            [this](const std::string& url, const fs::path& path, TemplateStore::DownloadDone done) {
                urls.push_back(url);
                auto finish = [this, path, done] {
                    if (!failDownloads) std::ofstream(path, std::ios::binary) << content;
                    done(!failDownloads);
                };
                if (hold)
                    held.push_back(finish);
                else
                    finish();
            });
    }

    // The refresh's result, when it came.
    std::optional<TemplateStore::Result> refresh(const std::string& name, const std::string& url,
                                                 const std::string& md5) {
        std::optional<TemplateStore::Result> result;
        store().Refresh(name, url, md5, [&result](const TemplateStore::Result& r) { result = r; });
        return result;
    }

    fs::path m_dir = testsupport::FreshTempFolder("vx-store");
    mINI::Settings m_settings{m_dir};
    std::vector<std::string> logs;
    std::vector<std::string> urls;
    std::string content = "abc";
    bool failDownloads = false;
    bool hold = false;
    std::vector<std::function<void()>> held;
};

TEST_F(StoreTest, FirstRequestWithDigestDownloadsTwice) {
    auto r = refresh("t.grf", "http://b/t.grf", kAbcDigest);
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->exists);
    EXPECT_EQ(r->path, m_dir / "report" / "t.grf");
    EXPECT_EQ(urls.size(), 2u);
    EXPECT_EQ(logs, (std::vector<std::string>{"更新文件：t.grf", "更新文件：t.grf"}));
    EXPECT_EQ(m_settings.ReadIni("fileUrl", "t.grf"), "http://b/t.grf");

    // Second request, same URL, matching digest: nothing happens.
    EXPECT_TRUE(refresh("t.grf", "http://b/t.grf", kAbcDigest));
    EXPECT_EQ(urls.size(), 2u);
    EXPECT_EQ(logs.size(), 2u);
}

// Downloads run one after the other, each recorded once it gave the file; the result comes last.
TEST_F(StoreTest, WaitsForEachDownload) {
    hold = true;
    std::optional<TemplateStore::Result> result;
    const TemplateStore s = store();
    s.Refresh("t.grf", "http://b/t.grf", kAbcDigest,
              [&result](const TemplateStore::Result& r) { result = r; });
    EXPECT_EQ(urls.size(), 1u);
    EXPECT_EQ(m_settings.ReadIni("fileUrl", "t.grf"), "");
    held.at(0)();
    EXPECT_EQ(urls.size(), 2u);
    EXPECT_EQ(m_settings.ReadIni("fileUrl", "t.grf"), "http://b/t.grf");
    EXPECT_FALSE(result);
    held.at(1)();
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->exists);
}

TEST_F(StoreTest, UrlOver1024BytesDownloadsEveryTimeAndIsNotRecorded) {
    const std::string url = "http://b/" + std::string(60000, 'x') + ".grf";
    refresh("t.grf", url, "");
    EXPECT_TRUE(refresh("t.grf", url, "")->exists);
    EXPECT_EQ(urls.size(), 2u);
    EXPECT_FALSE(fs::exists(m_settings.file())); // not written at all
}

TEST_F(StoreTest, FailedDownloads) {
    failDownloads = true;
    EXPECT_FALSE(refresh("t.grf", "http://b/t.grf", "")->exists);
    EXPECT_FALSE(fs::exists(m_settings.file())); // nothing recorded
    refresh("t.grf", "http://b/t.grf", "");
    EXPECT_EQ(urls.size(), 2u);
    // Over an existing file: the old copy stays in use, with the source it came from.
    failDownloads = false;
    refresh("t.grf", "http://b/t.grf", "");
    failDownloads = true;
    EXPECT_TRUE(refresh("t.grf", "http://b/new.grf", "")->exists);
    EXPECT_EQ(urls.size(), 4u);
    EXPECT_EQ(m_settings.ReadIni("fileUrl", "t.grf"), "http://b/t.grf");
}

TEST_F(StoreTest, UnsafeNamesThrowAndTouchNothing) {
    for (const char* name : {"", ".", "..", "../t.grf", "a/b.grf", "..\\t.grf", "C:t.grf", "/etc/passwd",
                             "t\x01.grf", "sub\\t.grf"})
        EXPECT_THROW(refresh(name, "http://b/t.grf", ""), verolux::TemplateNameError) << name;
    // A name longer than a settings key may be could never be recorded.
    EXPECT_THROW(refresh(std::string(8u << 20, 'n'), "http://b/t.grf", ""), verolux::TemplateNameError);
    EXPECT_TRUE(urls.empty());
    EXPECT_TRUE(logs.empty());
    EXPECT_FALSE(fs::exists(m_settings.file()));
}

} // namespace
