#include "tests/common/TempFolder.h"

#include "common/Ini.h"
#include "common/IniDefaults.h"
#include "common/IniText.h"
#include "common/PolicyFile.h"
#include "common/TextFile.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Policy text + the user's text -> the values every reader then sees.
struct PolicyCase {
    const char* name;
    const char* policy;
    const char* user;
    const char* websUrl;
    const char* updateKey;
};

class Policy : public testing::TestWithParam<PolicyCase> {};

TEST_P(Policy, FixesBackendAndKey) {
    const auto& c = GetParam();
    const std::string merged = mINI::ApplyPolicy(c.user, c.policy);
    EXPECT_EQ(mINI::LookupValue(merged, "AppInfo", "WebsUrl"), c.websUrl);
    EXPECT_EQ(mINI::LookupValue(merged, "AppInfo", "UpdateKey"), c.updateKey);
    // The user's other keys stay, and a second start changes nothing more.
    EXPECT_EQ(mINI::LookupValue(merged, "AppInfo", "PrintVer"),
              mINI::LookupValue(c.user, "AppInfo", "PrintVer"));
    EXPECT_EQ(mINI::ApplyPolicy(merged, c.policy), merged);
}

constexpr const char* kAdmin = "[AppInfo]\r\nWebsUrl=https://erp.example.com\r\nUpdateKey=ADMINKEY\r\n";
constexpr const char* kUser =
    "[AppInfo]\r\nWebsUrl=https://mine.example\r\nUpdateKey=USERKEY\r\nPrintVer=1.0.0\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, Policy,
    testing::Values(
        PolicyCase{"PolicyReplacesTheUsersValues", kAdmin, kUser, "https://erp.example.com", "ADMINKEY"},
        PolicyCase{"NewUserGetsThePolicy", kAdmin, "", "https://erp.example.com", "ADMINKEY"},
        PolicyCase{"RemovedKeyComesBack", kAdmin,
                   "[AppInfo]\r\nWebsUrl=https://mine.example\r\nPrintVer=1.0.0\r\n",
                   "https://erp.example.com", "ADMINKEY"},
        PolicyCase{"NoPolicyLeavesTheUser", "", kUser, "https://mine.example", "USERKEY"},
        PolicyCase{"EmptyPolicyValueLeavesTheUsers", "[AppInfo]\r\nWebsUrl=\r\nUpdateKey= \r\n", kUser,
                   "https://mine.example", "USERKEY"},
        PolicyCase{"OnlyTheKeysThePolicyGives", "[AppInfo]\r\nUpdateKey=ADMINKEY\r\n", kUser,
                   "https://mine.example", "ADMINKEY"},
        // Other policy keys are read where they apply, never copied into the user's file.
        PolicyCase{"OtherKeysAreNotCopied",
                   "[AppInfo]\r\nPrintVer=9.9.9\r\n[Verolux]\r\nSitePolicy=listed\r\n", kUser,
                   "https://mine.example", "USERKEY"},
        PolicyCase{"NamesMatchWithoutLetterCase", "[appinfo]\r\nwebsurl=https://erp\r\n",
                   "[APPINFO]\r\nWEBSURL=https://mine\r\n", "https://erp", ""},
        // A second [AppInfo] or a repeated key cannot shadow the policy: the first one is the one read.
        PolicyCase{"RepeatedNamesCannotShadowIt", kAdmin,
                   "[AppInfo]\r\nWebsUrl=a\r\nWebsUrl=b\r\n[AppInfo]\r\nUpdateKey=c\r\n",
                   "https://erp.example.com", "ADMINKEY"},
        PolicyCase{"CommentedPolicyLinesGiveNothing", "[AppInfo]\r\n;WebsUrl=https://erp\r\n#UpdateKey=K\r\n",
                   kUser, "https://mine.example", "USERKEY"}),
    [](const auto& row) { return std::string(row.param.name); });

class PolicyFolder : public testing::Test {
  protected:
    void SetUp() override { testsupport::SetEnv("VEROLUX_POLICY", (m_dir / "policy.ini").string()); }
    void TearDown() override {
        testsupport::UnsetEnv("VEROLUX_POLICY");
        std::filesystem::remove_all(m_dir);
    }
    void writePolicy(const std::string& text) const {
        verolux::ReplaceFileAtomically(m_dir / "policy.ini", text);
    }

    std::filesystem::path m_dir = testsupport::FreshTempFolder("vx-policy");
    mINI::Settings m_settings{m_dir};
};

TEST_F(PolicyFolder, EnforcedIntoTheUsersFile) {
    EXPECT_TRUE(mINI::EnforcePolicy(m_settings)); // no policy file: nothing to do
    EXPECT_FALSE(std::filesystem::exists(m_settings.file()));
    writePolicy(kAdmin);
    m_settings.WriteIni("AppInfo", "WebsUrl", "https://mine.example");
    EXPECT_TRUE(mINI::EnforcePolicy(m_settings));
    EXPECT_EQ(m_settings.ReadIni("AppInfo", "WebsUrl"), "https://erp.example.com");
    EXPECT_EQ(m_settings.ReadIni("AppInfo", "UpdateKey"), "ADMINKEY");
}

TEST_F(PolicyFolder, SettingsThatCannotBeWrittenAreReported) {
    writePolicy(kAdmin);
    // A folder in the file's place: no write succeeds there, not even root's.
    std::filesystem::create_directory(m_settings.file());
    EXPECT_FALSE(mINI::EnforcePolicy(m_settings));
    writePolicy("[AppInfo]\r\nWebsUrl=\r\n"); // nothing to enforce: nothing to write, no failure
    EXPECT_TRUE(mINI::EnforcePolicy(m_settings));
}

TEST_F(PolicyFolder, PolicyPathNamingAFolderIsNoPolicy) {
    testsupport::SetEnv("VEROLUX_POLICY", m_dir.string());
    m_settings.WriteIni("AppInfo", "WebsUrl", "https://mine.example");
    EXPECT_TRUE(mINI::EnforcePolicy(m_settings));
    EXPECT_EQ(m_settings.ReadIni("AppInfo", "WebsUrl"), "https://mine.example");
}

} // namespace
