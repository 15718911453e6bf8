#include "agent/desktop/frmServer.h"

#include "agent/desktop/CalibrationPage.h"
#include "agent/desktop/LinkerPool.h"
#include "agent/desktop/PeerOwner.h"
#include "agent/desktop/SitePolicyFile.h"
#include "agent/desktop/SiteQuestions.h"
#include "agent/desktop/TrayIcon.h"
#include "agent/desktop/frmOffsets.h"
#include "agent/desktop/frmSites.h"
#include "agent/printing/PrinterOffset.h"
#include "agent/reports/cups/CupsPrinters.h"
#include "agent/reports/cups/CupsRawJob.h"
#include "agent/websocket/Frame.h"
#include "agent/websocket/SiteAccess.h"
#include "agent/websocket/UTF8.h"
#include "agent/websocket/WsLimits.h"
#include "common/TextFile.h"
#include "common/Version.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHostAddress>
#include <QScreen>

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace verolux {
namespace {

// Positions of the window design are in twips; 15 twips make a pixel.
constexpr int Px(int twips) {
    return twips / 15;
}
QRect Twips(int left, int top, int width, int height) {
    return {Px(left), Px(top), Px(width), Px(height)};
}

QString Stamp() {
    return QString::fromStdString(GeneralDateTimeNow());
}

QString PeerText(const QTcpSocket& s) {
    bool isV4 = false;
    const quint32 v4 = s.peerAddress().toIPv4Address(&isV4);
    return (isV4 ? QHostAddress(v4).toString() : s.peerAddress().toString()) + QLatin1Char(':') +
           QString::number(s.peerPort());
}

} // namespace

QString MainCaption(const QString& version) {
    return QStringLiteral("Web报表服务端 (") + version + QLatin1Char(')');
}

frmServer::frmServer(Options options)
    : m_options(std::move(options)), m_settings(m_options.programFolder), m_logFile(m_options.programFolder) {
    setWindowTitle(QStringLiteral("报表打印服务端"));
    buildControls();

    LinkerPool::Hooks hooks;
    hooks.addLog = [this](const QString& line) { AddLog(line); };
    hooks.writeLog = [this](const std::vector<std::string_view>& lines) { m_logFile.WriteLines(lines); };
    hooks.deliver = [this](const std::string& text) { RepPrint(text); };
    hooks.connectedCountChanged = [this](int n) { lbConnectedCount->setText(QString::number(n)); };
    hooks.accessRules = [this] { return AccessRulesNow(); };
    hooks.ask = [this](const std::string& origin, std::function<void(bool)> answer) {
        return m_siteQuestions->Ask(origin, std::move(answer));
    };
    hooks.withdraw = [this](std::uint64_t ticket) { m_siteQuestions->Withdraw(ticket); };
    hooks.askAgainLater = [this](const std::string& origin) {
        return m_siteQuestions->AskAgainLater(origin);
    };
    // Another user's page must not print as this user, into this user's folder, nor ask this
    // user's desktop: on a shared machine each user's agent serves that user alone.
    hooks.peerAllowed = [this](const QTcpSocket& s) {
        const std::optional<std::uint32_t> owner = PeerOwner(s);
        if (!owner || *owner == AgentUser()) return true;
        AddLog(QStringLiteral("拒绝另一用户的连接请求~") + PeerText(s) + QStringLiteral(" (uid ") +
               QString::number(*owner) + QLatin1Char(')'));
        return false;
    };
    m_listenRetry = new QTimer(this);
    m_listenRetry->setInterval(kListenRetryMs);
    connect(m_listenRetry, &QTimer::timeout, this, [this] { startListening(false); });
    m_siteQuestions = new SiteQuestions(m_settings, this, HasDesktop());
    m_linkers = std::make_unique<LinkerPool>(std::move(hooks));
}

frmServer::~frmServer() = default;

void frmServer::buildControls() {
    // Client area large enough for the two frames, as the window was designed.
    setFixedSize(Px(7725), Px(6090));

    auto* frame1 = new QGroupBox(this);
    frame1->setGeometry(Twips(120, 0, 6315, 555));
    auto* label2 = new QLabel(QStringLiteral("端口："), frame1);
    label2->setGeometry(Twips(210, 240, 540, 180 + 60));
    txtPort = new QLineEdit(m_options.initialPort, frame1);
    txtPort->setGeometry(Twips(840, 180, 795, 300));
    auto* label1 = new QLabel(QStringLiteral("当前连接数:"), frame1);
    label1->setGeometry(Twips(1860, 240, 990, 180 + 60));
    label1->setStyleSheet(QStringLiteral("color: blue"));
    lbConnectedCount = new QLabel(QStringLiteral("0"), frame1);
    lbConnectedCount->setGeometry(Twips(2970, 240, 480, 180 + 60));
    lbConnectedCount->setStyleSheet(QStringLiteral("color: blue"));
    cmdRunning = new QPushButton(QStringLiteral("启动"), frame1);
    cmdRunning->setGeometry(Twips(3600, 180, 735, 315));
    cmdPrint = new QPushButton(QStringLiteral("测试"), frame1);
    cmdPrint->setGeometry(Twips(4680, 150, 915, 345));

    txtLog = new QPlainTextEdit(this);
    txtLog->setGeometry(Twips(120, 600, 6315, 3375));
    txtLog->setReadOnly(true);
    txtLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* frame2 = new QGroupBox(QStringLiteral("发送给所有客户端"), this);
    frame2->setGeometry(Twips(120, 4440, 7455, 1515));
    txtSend = new QPlainTextEdit(frame2);
    txtSend->setGeometry(Twips(60, 240, 6255, 1170));
    cmdSend = new QPushButton(QStringLiteral("发送"), frame2);
    cmdSend->setGeometry(Twips(6480, 240, 735, 435));
    lbChrCount = new QLabel(QStringLiteral("0"), frame2);
    lbChrCount->setGeometry(Twips(6600, 810, 600, 180 + 60));
    lbChrCount->setStyleSheet(QStringLiteral("color: grey"));
    lbChrCount->setToolTip(QStringLiteral("发送输入框中的字符数量"));

    connect(cmdRunning, &QPushButton::clicked, this, &frmServer::cmdRunning_Click);
    connect(cmdSend, &QPushButton::clicked, this, &frmServer::cmdSend_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &frmServer::cmdPrint_Click);
    connect(txtSend, &QPlainTextEdit::textChanged, this, &frmServer::txtSend_Change);
}

void frmServer::Load() {
    const bool listening = startListening(false); // a failure leaves the button enabled
    const QString caption = MainCaption(QString::fromStdString(verolux::VersionText()));
    placeBottomRight();
    setWindowTitle(caption);
    if (m_options.withTray) m_tray = new TrayIcon(*this, caption);
    if (!listening) reportListening(QString(), true); // the balloon, now that there is an icon
}

void frmServer::placeBottomRight() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect s = screen->geometry();
    QSize frame = frameGeometry().size().expandedTo(size());
    move(s.width() - frame.width() - Px(200), s.height() - frame.height() - Px(650));
}

void frmServer::AddLog(const QString& message) {
    LogPane::Update u = m_logPane.AddLog(message.toStdU16String(), Stamp().toStdU16String());
    if (u.cleared) txtLog->clear();
    QString shown = QString::fromStdU16String(u.appended);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor c = txtLog->textCursor();
    c.movePosition(QTextCursor::End);
    c.insertText(shown);
    txtLog->setTextCursor(c); // caret at the end: the pane scrolls to the newest entry
}

void frmServer::WriteLog(const std::string& message) const {
    m_logFile.WriteLog(message);
}

QString frmServer::ReadTextFile(const std::filesystem::path& path) const {
    return QString::fromUtf8(QByteArray::fromStdString(ReadWholeFile(path)));
}

void frmServer::cmdRunning_Click() {
    startListening(true);
}

bool frmServer::startListening(bool byOperator) {
    bool ok = false;
    const int first = txtPort->text().trimmed().toInt(&ok);
    const int count = txtPort->text() == m_options.initialPort ? std::max(1, m_options.portCount) : 1;
    const int last = std::min(first + count - 1, 65535);
    QString error;
    if (!ok || first < 0 || first > 65535) {
        ok = false;
        error = QStringLiteral("端口无效");
    } else {
        m_listenAll =
            mWSProtocol::ListenAllFromIni(ReadWholeFile(m_settings.file()), ReadWholeFile(PolicyFilePath()));
        for (int port = first; port <= last; ++port) {
            if (!m_linkers->StartListening(quint16(port), m_listenAll, &error)) continue;
            cmdRunning->setEnabled(false);
            m_listenRetry->stop();
            if (port != first) txtPort->setText(QString::number(port));
            // After a failure, or on another port than the first: where the agent can be found.
            if (!m_listenFailure.isEmpty() || port != first)
                reportListening(QStringLiteral("开始监听端口 ") + QString::number(port), false);
            m_listenFailure.clear();
            return true;
        }
    }
    const QString ports =
        last > first ? QString::number(first) + QLatin1Char('-') + QString::number(last) : txtPort->text();
    const QString line = QStringLiteral("监听端口 ") + ports + QStringLiteral(" 失败:") + error;
    // The retries repeat a failure silently; a new reason, or the operator's own try, is told.
    const bool tell = byOperator || line != m_listenFailure;
    m_listenFailure = line;
    if (tell) reportListening(line, true);
    if (ok)
        m_listenRetry->start();
    else
        m_listenRetry->stop(); // only a corrected port box can help
    return false;
}

void frmServer::reportListening(const QString& line, bool failed) {
    if (!line.isEmpty()) {
        AddLog(line);
        try {
            m_logFile.WriteLog(line.toStdString());
        } catch (const std::exception&) {
            // the log pane has it
        }
    }
    // The window is hidden: without the icon's balloon nobody would know that pages cannot connect.
    if (!failed || !m_tray) return;
    QString text = m_listenFailure;
    if (m_listenRetry->isActive())
        text += QStringLiteral("\n每 ") + QString::number(kListenRetryMs / 1000) +
                QStringLiteral(" 秒重试一次，直到端口空出");
    m_tray->ShowMessage(windowTitle(), text);
}

void frmServer::txtSend_Change() {
    lbChrCount->setText(QString::number(txtSend->toPlainText().size()));
}

void frmServer::cmdSend_Click() {
    const QString text = txtSend->toPlainText();
    if (text.isEmpty()) return;
    std::string frame;
    try {
        frame = mWSProtocol::PackString(text.toStdString(), 1);
    } catch (const std::exception&) {
        AddLog(QStringLiteral("发送内容超过 65535 字节，未发送"));
        return;
    }
    AddLog(QStringLiteral("发送<") + QString::number(frame.size()) + QStringLiteral(">字节"));
    m_linkers->Broadcast(frame);
}

void frmServer::Reply(const QString& text) {
    // A reply may quote what a page sent (a template name of any length): what one frame carries of
    // it still reaches the pages, cut between two characters, where the whole would not be sent.
    const std::string utf8 = text.toStdString();
    const std::size_t fits = mUTF8::Utf8PrefixLength(utf8, mWSProtocol::kMaxPackedPayload);
    txtSend->setPlainText(fits == utf8.size() ? text : QString::fromUtf8(utf8.data(), qsizetype(fits)));
    cmdSend_Click();
}

void frmServer::cmdPrint_Click() {
    RepPrint(std::string());
}

void frmServer::RepPrint(std::string text) {
    if (m_printProcedure) {
        m_printProcedure(*this, std::move(text));
        return;
    }
    AddLog(QStringLiteral("收到消息:") + QString::fromStdString(text));
}

void frmServer::ShowWindow() {
    show();
    raise();
    activateWindow();
}

std::shared_ptr<const mWSProtocol::AccessRules> frmServer::AccessRulesNow() const {
    // Reread only when a file changed: another size, time or file (writes replace it).
    RulesCache now{true, !m_listenAll, StampOf(m_settings.file()), StampOf(PolicyFilePath()), nullptr};
    const RulesCache& c = m_rulesCache;
    if (!c.valid || c.loopbackOnly != now.loopbackOnly || c.settings != now.settings ||
        c.policy != now.policy) {
        now.rules = std::make_shared<const mWSProtocol::AccessRules>(mWSProtocol::AccessRulesFromIni(
            ReadWholeFile(m_settings.file()), now.loopbackOnly, ReadWholeFile(PolicyFilePath())));
        m_rulesCache = std::move(now);
    }
    auto rules = std::make_shared<mWSProtocol::AccessRules>(*m_rulesCache.rules);
    for (const auto& [origin, allowed] : m_siteQuestions->answers())
        if (!rules->locked.contains(origin)) rules->sites.insert_or_assign(origin, allowed);
    return rules;
}

void frmServer::ShowSites() {
    if (!m_sites) {
        frmSites::Source source;
        source.sites = [this] {
            std::map<std::string, frmSites::Site> sites;
            const auto remembered = mWSProtocol::AccessRulesFromIni(ReadWholeFile(m_settings.file()), true,
                                                                    ReadWholeFile(PolicyFilePath()));
            for (const auto& [origin, allowed] : remembered.sites)
                sites[origin] = {allowed, true, remembered.locked.contains(origin)};
            for (const auto& [origin, allowed] : m_siteQuestions->answers())
                sites.try_emplace(origin, frmSites::Site{allowed, false});
            return sites;
        };
        source.forget = [this](const std::string& origin) {
            m_siteQuestions->Forget(origin);
            if (const int closed = m_linkers->CloseOrigin(origin))
                AddLog(QStringLiteral("已断开 ") + QString::fromStdString(origin) + QStringLiteral(" 的 ") +
                       QString::number(closed) + QStringLiteral(" 个连接"));
        };
        m_sites = new frmSites(std::move(source), this);
        m_sites->setAttribute(Qt::WA_DeleteOnClose);
        m_sites->setWindowFlag(Qt::Window);
    }
    m_sites->Refresh();
    m_sites->show();
    m_sites->raise();
    m_sites->activateWindow();
}

void frmServer::ShowOffsets() {
    if (!m_offsets) {
        frmOffsets::Source source;
        std::vector<cups::PrinterInfo> queues;
        std::string error;
        cups::ListPrinters(&queues, &error);
        for (const cups::PrinterInfo& q : queues)
            source.printers.push_back(q.name);
        source.read = [this](const std::string& printer) {
            return ParseOffset(m_settings.ReadIni(kOffsetSection, printer)).value_or(PrinterOffset{});
        };
        source.save = [this](const std::string& printer, const PrinterOffset& offset) {
            if (offset.zero())
                m_settings.DeleteIni(kOffsetSection, printer);
            else
                m_settings.WriteIni(kOffsetSection, printer, FormatOffset(offset));
            AddLog(QStringLiteral("打印机校准：") +
                   QString::fromStdString(printer + " " + FormatOffset(offset)));
        };
        source.printTestPage = [](const std::string& printer, const PrinterOffset& offset) {
            // On the printer's A4, else the first paper it lists (a label printer's label).
            cups::PrinterInfo info;
            std::string why;
            if (!cups::QueryPrinter(printer, &info, &why)) return why;
            cups::MediaSize paper{"iso_a4_210x297mm", 210, 297, ""};
            const auto a4 = std::find_if(info.media.begin(), info.media.end(), [](const cups::MediaSize& m) {
                return m.name == "iso_a4_210x297mm";
            });
            if (a4 == info.media.end() && !info.media.empty()) paper = info.media.front();
            int jobId = 0;
#ifdef _WIN32
            // The Windows spooler's path prints pictures, not PDFs: the page as one, filling the sheet.
            cups::SendDocumentJob(printer, "校准页", "image/png",
                                  CalibrationPng(paper.widthMm, paper.heightMm, offset, kCalibrationDpi),
                                  {{"media", paper.name}, {"print-scaling", "fill"}}, &jobId, &why);
#else
            cups::SendDocumentJob(printer, "校准页", "application/pdf",
                                  CalibrationPdf(paper.widthMm, paper.heightMm, offset),
                                  {{"media", paper.name}, {"print-scaling", "none"}}, &jobId, &why);
#endif
            return jobId ? std::string() : why;
        };
        m_offsets = new frmOffsets(std::move(source), this);
        m_offsets->setAttribute(Qt::WA_DeleteOnClose);
        m_offsets->setWindowFlag(Qt::Window);
    }
    m_offsets->show();
    m_offsets->raise();
    m_offsets->activateWindow();
}

void frmServer::ExitAgent() {
    m_exitRequested = true;
    close();
}

void frmServer::closeEvent(QCloseEvent* event) {
    if (!m_exitRequested) {
        event->ignore();
        hide();
        return;
    }
    event->accept();
    if (m_tray) m_tray->Remove();
    m_linkers->CloseAll();
    // Report windows that hid themselves after their work must not keep the agent alive.
    QCoreApplication::quit();
}

} // namespace verolux
