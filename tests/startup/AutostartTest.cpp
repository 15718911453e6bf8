// Start at login: which XDG autostart entry decides, what 开机启动 writes, and the files themselves in a
// temporary configuration folder standing in for ~/.config and /etc/xdg.
#include "agent/desktop/Autostart.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace verolux::autostart;
namespace fs = std::filesystem;

namespace {

const std::string kPackageEntry =
    "[Desktop Entry]\nType=Application\nExec=verolux\nX-GNOME-Autostart-enabled=true\n";

TEST(Autostart, WhichEntryDecides) {
    const struct {
        const char* name;
        Entries entries;
        bool on;
    } rows[] = {
        {"no entry", {}, false},
        {"the package's entry", {std::nullopt, kPackageEntry}, true},
        {"machine-wide entry hidden", {std::nullopt, "[Desktop Entry]\nHidden=true\n"}, false},
        {"user hides the package's", {"[Desktop Entry]\nHidden=true\n", kPackageEntry}, false},
        {"user's own entry", {"[Desktop Entry]\nExec=verolux\n", std::nullopt}, true},
        {"user's own over a hidden machine-wide one",
         {kPackageEntry, "[Desktop Entry]\nHidden=true\n"},
         true},
        {"GNOME's switch off",
         {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\r\n", kPackageEntry},
         false},
        {"blanks around the key", {"[Desktop Entry]\n Hidden = true \n", kPackageEntry}, false},
        {"Hidden in another group", {"[Desktop Action x]\nHidden=true\n[Desktop Entry]\nExec=a\n", {}}, true},
        {"Hidden=false", {"[Desktop Entry]\nHidden=false\n", std::nullopt}, true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(IsOn(row.entries), row.on) << row.name;
}

TEST(Autostart, WhatTheMenuChanges) {
    const Entries hidden{HiddenEntryText(), kPackageEntry};
    const Entries own{UserEntryText("verolux"), std::nullopt};
    EXPECT_EQ(ChangeFor({std::nullopt, kPackageEntry}, false), Change::WriteHiddenEntry);
    EXPECT_EQ(ChangeFor(hidden, true), Change::RemoveUserEntry);
    EXPECT_EQ(ChangeFor({UserEntryText("verolux"), kPackageEntry}, false), Change::WriteHiddenEntry);
    EXPECT_EQ(ChangeFor({}, true), Change::WriteUserEntry);
    EXPECT_EQ(ChangeFor(own, false), Change::RemoveUserEntry);
    EXPECT_EQ(ChangeFor({std::nullopt, "[Desktop Entry]\nHidden=true\n"}, true), Change::WriteUserEntry);
    EXPECT_EQ(ChangeFor(own, true), Change::Nothing);
    EXPECT_EQ(ChangeFor({}, false), Change::Nothing);
    EXPECT_FALSE(EntryEnabled(HiddenEntryText()));
    EXPECT_TRUE(EntryEnabled(UserEntryText("verolux")));
}

TEST(Autostart, ExecArgument) {
    EXPECT_EQ(ExecArgument("verolux"), "verolux");
    EXPECT_EQ(ExecArgument("/home/li/.local/share/verolux/Kestrane"),
              "/home/li/.local/share/verolux/Kestrane");
    EXPECT_EQ(ExecArgument("/home/li/my reports/Kestrane"), "\"/home/li/my reports/Kestrane\"");
    EXPECT_EQ(ExecArgument("/home/li/100%/Kestrane"), "\"/home/li/100%%/Kestrane\"");
    EXPECT_EQ(ExecArgument("/home/李/Kestrane"), "/home/李/Kestrane");
    for (const char* bad : {"", "/a/$HOME/K", "/a/\"b\"/K", "/a\\b/K", "/a/`x`/K", "/a\n/K"})
        EXPECT_EQ(ExecArgument(bad), std::nullopt) << bad;
}

#ifdef _WIN32
// The user's Run value, in the registry of the process (under Wine: the test's own prefix).
TEST(AutostartRunValue, OnWritesTheQuotedLauncherOffRemovesIt) {
    const Places places = PlacesFromEnvironment();
    const fs::path launcher = StartCommand(fs::path(L"C:\\Users\\\u5f20\u4f1f\\Verolux"));
    EXPECT_EQ(launcher.filename(), "Kestrane.exe");
    std::string error;
    ASSERT_TRUE(SetOn(places, false, launcher, &error)) << error;
    EXPECT_FALSE(IsOn(ReadEntries(places)));
    ASSERT_TRUE(SetOn(places, true, launcher, &error)) << error;
    EXPECT_TRUE(IsOn(ReadEntries(places)));
    wchar_t value[512] = {};
    DWORD size = sizeof value;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                             L"Verolux", RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(value), L"\"C:\\Users\\\u5f20\u4f1f\\Verolux\\Kestrane.exe\"");
    ASSERT_TRUE(SetOn(places, false, launcher, &error)) << error;
    EXPECT_FALSE(IsOn(ReadEntries(places)));
    EXPECT_TRUE(SetOn(places, false, launcher, &error)) << "off twice is no failure";
}
#else
std::string Read(const fs::path& p) {
    std::ifstream in(p);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class AutostartFiles : public testing::Test {
  protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() / ("verolux-autostart-" + std::to_string(::getpid()));
        fs::create_directories(m_root / "etc-xdg" / "autostart");
        m_places = {m_root / "config" / "autostart" / kEntryName,
                    {m_root / "etc-xdg" / "autostart" / kEntryName}};
    }
    void TearDown() override { fs::remove_all(m_root); }
    bool On() const { return IsOn(ReadEntries(m_places)); }

    fs::path m_root;
    Places m_places;
    std::string m_error;
};

TEST_F(AutostartFiles, WithThePackagesEntryTheUserHidesIt) {
    std::ofstream(m_places.machine[0]) << kPackageEntry;
    EXPECT_TRUE(On());
    ASSERT_TRUE(SetOn(m_places, false, "verolux", &m_error)) << m_error;
    EXPECT_FALSE(On());
    EXPECT_NE(Read(m_places.user).find("Hidden=true\n"), std::string::npos);
    EXPECT_EQ(Read(m_places.machine[0]), kPackageEntry) << "the machine-wide entry is never touched";
    ASSERT_TRUE(SetOn(m_places, true, "verolux", &m_error)) << m_error;
    EXPECT_TRUE(On());
    EXPECT_FALSE(fs::exists(m_places.user));
}

TEST_F(AutostartFiles, WithoutItTheUsersOwnEntry) {
    const fs::path launcher = "/home/li/my reports/Kestrane";
    ASSERT_TRUE(SetOn(m_places, true, launcher, &m_error)) << m_error;
    EXPECT_TRUE(On());
    EXPECT_NE(Read(m_places.user).find("\nExec=\"/home/li/my reports/Kestrane\"\n"), std::string::npos);
    ASSERT_TRUE(SetOn(m_places, false, launcher, &m_error)) << m_error;
    EXPECT_FALSE(On());
    EXPECT_FALSE(fs::exists(m_places.user));
    // A path the entry cannot hold: refused with the reason, nothing written.
    EXPECT_FALSE(SetOn(m_places, true, "/home/$x/Kestrane", &m_error));
    EXPECT_NE(m_error.find("/home/$x/Kestrane"), std::string::npos);
    EXPECT_FALSE(fs::exists(m_places.user));
}

TEST_F(AutostartFiles, PlacesFollowTheXdgVariables) {
    ::setenv("XDG_CONFIG_HOME", (m_root / "config").c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", ("relative:" + (m_root / "a").string() + ":/etc/xdg").c_str(), 1);
    Places p = PlacesFromEnvironment();
    EXPECT_EQ(p.user, m_places.user);
    EXPECT_EQ(p.machine, (std::vector<fs::path>{m_root / "a/autostart/verolux.desktop",
                                                "/etc/xdg/autostart/verolux.desktop"}));
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    ::setenv("HOME", "/home/li", 1);
    ::unsetenv("XDG_CONFIG_DIRS");
    p = PlacesFromEnvironment();
    EXPECT_EQ(p.user, "/home/li/.config/autostart/verolux.desktop");
    EXPECT_EQ(p.machine, std::vector<fs::path>{"/etc/xdg/autostart/verolux.desktop"});
}
#endif

} // namespace
