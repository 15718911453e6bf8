#pragma once

#include <QObject>
#include <QString>

#include <string>

class QMenu;
class QAction;
class QSystemTrayIcon;

namespace mTray {
// The icon's tip: the trimmed caption followed by CR LF, cut to the 64-byte tip field (with its NUL).
std::string TrayTip(const std::string& caption);
} // namespace mTray

namespace verolux {
class frmServer;

// The agent's icon in the notification area with its menu 菜单: 开机启动 (ticked while the agent starts
// at login; Autostart.h), 显示窗口, 已授权的网站, 打印记录, 打印机校准, 退出.
// Without a system tray (no display, offscreen) there is simply no icon.
class TrayIcon : public QObject {
    Q_OBJECT
  public:
    TrayIcon(frmServer& window, const QString& caption);
    ~TrayIcon() override;

    void Remove();
    bool visible() const;
    // A balloon from the icon: what the operator must know though the window is hidden.
    void ShowMessage(const QString& title, const QString& text);

    QMenu* mnuTray = nullptr;
    QAction* mnuAutoRun = nullptr;
    QAction* mnuShow = nullptr;
    QAction* mnuSites = nullptr;
    QAction* mnuHistory = nullptr;
    QAction* mnuOffsets = nullptr;
    QAction* mnuExit = nullptr;

  private:
    void ShowAutoRunState();
    void mnuAutoRun_Click(bool on);

    frmServer& m_window;
    QSystemTrayIcon* m_icon = nullptr;
};

} // namespace verolux
