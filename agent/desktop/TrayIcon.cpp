#include "agent/desktop/TrayIcon.h"

#include "agent/desktop/Autostart.h"
#include "agent/desktop/frmServer.h"
#include "common/IniText.h"

#include <QMenu>

#include <QPainter>
#include <QSignalBlocker>
#include <QSystemTrayIcon>
#include <algorithm>

namespace mTray {

std::string TrayTip(const std::string& caption) {
    std::string tip = caption;
    auto notBlank = [](char c) { return c != ' '; };
    tip.erase(tip.begin(), std::find_if(tip.begin(), tip.end(), notBlank));
    tip.erase(std::find_if(tip.rbegin(), tip.rend(), notBlank).base(), tip.end());
    tip += "\r\n";
    return mINI::CutUtf8(tip, 63);
}

} // namespace mTray

namespace verolux {
namespace {

// A small printer drawn in code: the icon where the package's icon is not installed.
QIcon DrawnIcon() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 60, 90), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 3, 14, 9));
    p.setBrush(QColor(60, 110, 180));
    p.drawRoundedRect(QRectF(3, 11, 26, 12), 3, 3);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 19, 14, 10));
    p.setPen(QPen(QColor(120, 120, 120), 1));
    p.drawLine(QPointF(11, 23), QPointF(21, 23));
    p.drawLine(QPointF(11, 26), QPointF(19, 26));
    return QIcon(pm);
}

// An installed agent shows the package's icon (hicolor theme), the same as its menu entry.
QIcon AgentIcon() {
    return QIcon::fromTheme(QStringLiteral("verolux"), DrawnIcon());
}

} // namespace

TrayIcon::TrayIcon(frmServer& window, const QString& caption) : QObject(&window), m_window(window) {
    window.setWindowIcon(AgentIcon());

    mnuTray = new QMenu(QStringLiteral("菜单"), &window);
    mnuAutoRun = mnuTray->addAction(QStringLiteral("开机启动"));
    mnuAutoRun->setCheckable(true);
    ShowAutoRunState();
    // The entries may change outside the agent (another session, the administrator): read them anew.
    connect(mnuTray, &QMenu::aboutToShow, this, &TrayIcon::ShowAutoRunState);
    connect(mnuAutoRun, &QAction::triggered, this, &TrayIcon::mnuAutoRun_Click);
    mnuShow = mnuTray->addAction(QStringLiteral("显示窗口"));
    mnuSites = mnuTray->addAction(QStringLiteral("已授权的网站"));
    mnuHistory = mnuTray->addAction(QStringLiteral("打印记录"));
    mnuOffsets = mnuTray->addAction(QStringLiteral("打印机校准"));
    mnuExit = mnuTray->addAction(QStringLiteral("退出"));
    connect(mnuShow, &QAction::triggered, &window, &frmServer::ShowWindow);
    connect(mnuSites, &QAction::triggered, &window, &frmServer::ShowSites);
    connect(mnuOffsets, &QAction::triggered, &window, &frmServer::ShowOffsets);
    connect(mnuHistory, &QAction::triggered, &window, &frmServer::ShowHistory);
    connect(mnuExit, &QAction::triggered, &window, &frmServer::ExitAgent);

    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    m_icon = new QSystemTrayIcon(AgentIcon(), this);
    m_icon->setToolTip(QString::fromStdString(mTray::TrayTip(caption.toStdString())));
    m_icon->setContextMenu(mnuTray); // opens on the right button's release
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::DoubleClick) m_window.ShowWindow();
    });
    m_icon->show();
}

TrayIcon::~TrayIcon() {
    Remove();
}

void TrayIcon::ShowAutoRunState() {
    const QSignalBlocker quiet(mnuAutoRun);
    mnuAutoRun->setChecked(autostart::IsOn(autostart::ReadEntries(autostart::PlacesFromEnvironment())));
}

void TrayIcon::mnuAutoRun_Click(bool on) {
    std::string why;
    if (!autostart::SetOn(autostart::PlacesFromEnvironment(), on,
                          autostart::StartCommand(m_window.programFolder()), &why))
        m_window.AddLog(QStringLiteral("开机启动设置失败：") + QString::fromStdString(why));
    ShowAutoRunState();
}

void TrayIcon::Remove() {
    if (m_icon) m_icon->hide();
}

void TrayIcon::ShowMessage(const QString& title, const QString& text) {
    if (m_icon) m_icon->showMessage(title, text, QSystemTrayIcon::Warning);
}

bool TrayIcon::visible() const {
    return m_icon && m_icon->isVisible();
}

} // namespace verolux
