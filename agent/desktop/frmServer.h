#pragma once

#include "agent/desktop/LogPane.h"
#include "common/Ini.h"
#include "common/LogFile.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace mWSProtocol {
struct AccessRules;
}

namespace verolux {
class LinkerPool;
class SiteQuestions;
class TrayIcon;
class frmSites;
class frmOffsets;

// Which version of a file is on disk (all zero when it is missing).
struct FileStamp {
    bool exists = false;
    std::uintmax_t size = 0, inode = 0;
    std::int64_t mtimeNs = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
FileStamp StampOf(const std::filesystem::path& path); // FileStamp_<platform>.cpp

// The agent's main window: listening socket and connections, log pane, the send box that reaches
// every connected page, and the tray icon. Loaded hidden; the tray brings it up.
class frmServer : public QWidget {
    Q_OBJECT
  public:
    struct Options {
        std::filesystem::path programFolder;
        QString initialPort = QStringLiteral("28502");
        // Ports tried in order from initialPort on while the port box still holds it: on a terminal
        // server another user's agent holds the first one.
        int portCount = 1;
        bool withTray = true;
    };
    // Without an explicit port each user's agent takes the first free of 28502-28511.
    static constexpr int kDefaultPortCount = 10;
    // A port that cannot be listened on is tried again this often until it frees.
    static constexpr int kListenRetryMs = 3000;

    explicit frmServer(Options options);
    ~frmServer() override;

    // The window's load step: listening, placement, caption, tray icon.
    void Load();

    void AddLog(const QString& message);
    void WriteLog(const std::string& message) const; // throws when the log file cannot be written
    QString ReadTextFile(const std::filesystem::path& path) const;

    // The print procedure; the message layer hands it every complete text message.
    void RepPrint(std::string text);
    // Puts a reply into the send box and sends it to every connected page.
    void Reply(const QString& text);

    // Where the print procedure is carried out; set by the agent's start-up.
    using PrintProcedure = std::function<void(frmServer&, std::string)>;
    void setPrintProcedure(PrintProcedure p) { m_printProcedure = std::move(p); }
    // What the tray's 打印记录 opens (the print procedure keeps the history).
    void setHistoryWindow(std::function<void()> show) { m_showHistory = std::move(show); }

    const std::filesystem::path& programFolder() const { return m_options.programFolder; }
    const mINI::Settings& settings() const { return m_settings; }
    LinkerPool& linkers() { return *m_linkers; }
    SiteQuestions& siteQuestions() { return *m_siteQuestions; }
    // Which pages may connect now: the settings and this run's answers.
    std::shared_ptr<const mWSProtocol::AccessRules> AccessRulesNow() const;
    const LogPane& logPane() const { return m_logPane; }

    // Exit from the tray menu: closes for real and ends the whole process.
    void ExitAgent();

    // Controls, named as the operators and the tests know them.
    QLineEdit* txtPort = nullptr;
    QLabel* lbConnectedCount = nullptr;
    QPushButton* cmdRunning = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPlainTextEdit* txtLog = nullptr;
    QPlainTextEdit* txtSend = nullptr;
    QPushButton* cmdSend = nullptr;
    QLabel* lbChrCount = nullptr;

  public slots:
    void cmdRunning_Click();
    void cmdSend_Click();
    void cmdPrint_Click();
    void ShowWindow();
    // The tray's 已授权的网站.
    void ShowSites();
    // The tray's 打印机校准.
    void ShowOffsets();
    // The tray's 打印记录.
    void ShowHistory() {
        if (m_showHistory) m_showHistory();
    }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // Starts listening on the port box's port (its range at start); a failure is reported (once per
    // reason unless the operator asked) and tried again every kListenRetryMs.
    bool startListening(bool byOperator);
    void reportListening(const QString& line, bool failed);
    void buildControls();
    void placeBottomRight();
    void txtSend_Change();

    Options m_options;
    mINI::Settings m_settings;
    LogFile m_logFile;
    LogPane m_logPane;
    std::unique_ptr<LinkerPool> m_linkers;
    SiteQuestions* m_siteQuestions = nullptr;
    QPointer<frmSites> m_sites;
    QPointer<frmOffsets> m_offsets;
    bool m_listenAll = false; // [Verolux] ListenAll = "1": every address, not loopback only
    TrayIcon* m_tray = nullptr;
    QTimer* m_listenRetry = nullptr;
    QString m_listenFailure; // the last failure reported; empty while listening or not yet tried
    PrintProcedure m_printProcedure;
    std::function<void()> m_showHistory;
    bool m_exitRequested = false;
    // The access rules as last read, and which versions of the settings and policy files they came
    // from: every connection asks, and rereading a large file each time would hold up every handshake.
    struct RulesCache {
        bool valid = false;
        bool loopbackOnly = false;
        FileStamp settings, policy;
        std::shared_ptr<const mWSProtocol::AccessRules> rules;
    };
    mutable RulesCache m_rulesCache;
};

// "Web报表服务端 (x.y.z)"
QString MainCaption(const QString& version);

} // namespace verolux
