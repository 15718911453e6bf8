// The tray menu on the real main window: 开机启动 available, ticked from the autostart entries, and
// writing the user's entry when chosen (configuration folders are temporary ones).
#include "agent/desktop/Autostart.h"
#include "agent/desktop/TrayIcon.h"
#include "agent/desktop/frmServer.h"
#include "agent/desktop/frmSites.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
// Windows: the tick is the user's Run value (the test's own registry under Wine).
TEST(TrayAutoRun, TickFollowsTheRunValueAndChoosingItWritesIt) {
    using namespace verolux::autostart;
    std::string error;
    ASSERT_TRUE(SetOn(PlacesFromEnvironment(), false, {}, &error)) << error;
    QTemporaryDir dir;
    verolux::frmServer::Options o;
    o.programFolder = fs::path(dir.path().toStdWString()) / "prog";
    o.initialPort = QStringLiteral("0");
    verolux::frmServer window(o);
    window.Load();
    auto* tray = window.findChild<verolux::TrayIcon*>();
    ASSERT_NE(tray, nullptr);
    QAction* item = tray->mnuAutoRun;
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    EXPECT_TRUE(item->isChecked());
    EXPECT_TRUE(IsOn(ReadEntries(PlacesFromEnvironment())));
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(IsOn(ReadEntries(PlacesFromEnvironment())));
}
#else
TEST(TrayAutoRun, TickFollowsTheEntriesAndChoosingItWritesTheUsers) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    fs::create_directories(root / "xdg" / "autostart");
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", (root / "xdg").c_str(), 1);
    const fs::path user = root / "config" / "autostart" / "verolux.desktop";

    verolux::frmServer::Options o;
    o.programFolder = root / "prog";
    o.initialPort = QStringLiteral("0");
    verolux::frmServer window(o);
    window.Load();
    auto* tray = window.findChild<verolux::TrayIcon*>();
    ASSERT_NE(tray, nullptr);
    QAction* item = tray->mnuAutoRun;
    EXPECT_TRUE(item->isEnabled());
    EXPECT_TRUE(item->isCheckable());
    EXPECT_FALSE(item->isChecked());

    // The package's entry appears while the agent runs: ticked when the menu opens.
    std::ofstream(root / "xdg" / "autostart" / "verolux.desktop") << "[Desktop Entry]\nExec=verolux\n";
    emit tray->mnuTray->aboutToShow();
    EXPECT_TRUE(item->isChecked());

    item->trigger(); // off: the user's entry hides the package's
    EXPECT_FALSE(item->isChecked());
    EXPECT_TRUE(fs::exists(user));
    item->trigger(); // on again: the package's entry applies
    EXPECT_TRUE(item->isChecked());
    EXPECT_FALSE(fs::exists(user));

    // A configuration folder that cannot hold the entry: the tick stays, the log pane says why.
    std::ofstream(root / "not-a-folder") << "x";
    ::setenv("XDG_CONFIG_HOME", (root / "not-a-folder").c_str(), 1);
    item->trigger();
    EXPECT_TRUE(item->isChecked());
    EXPECT_TRUE(
        QString::fromStdU16String(window.logPane().text()).contains(QStringLiteral("开机启动设置失败：")));

    // 已授权的网站 opens the sites list (what it does there: FrmServerTest).
    tray->mnuSites->trigger();
    EXPECT_NE(window.findChild<verolux::frmSites*>(), nullptr);
}
#endif

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
