#pragma once

#include "agent/printing/RepPrint.h"
#include "agent/reports/designer/RecoveryStore.h"
#include "agent/reports/designer/ReportDesigner.h"
#include "agent/reports/engine/Report.h"
#include "common/LogFile.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace verolux {

// The report designer window: one instance for the agent, reused by every design request. The user
// edits the request's template in the designer control; 保存 writes it back to the template file and
// posts it with its MD5 to reportAdd, so later prints use it. The post runs off the UI thread; the
// window's buttons and the designer wait for it meanwhile. When the agent ends, a post still running
// is aborted (within about a second) and its outcome shown nowhere.
class frmDesign : public QWidget {
    Q_OBJECT
  public:
    explicit frmDesign(std::filesystem::path programFolder);
    ~frmDesign() override;

    // Public members set by the opener before it calls Show().
    std::string reportFileName;
    std::string reportId;
    std::string reportAdd;
    std::string reportDownurl; // only for the failure line of the log file
    std::string requester;     // whose request: the same for every request of one page, "" for none

    // Shows the window modeless. The first call loads the template. While loaded, a new request's
    // template replaces the one shown, unless the user keeps edits not yet uploaded: then the members
    // go back to the template on screen.
    void Show();

    // Every file dialog and message box of the window runs through this; tests answer them here.
    using DialogRunner = std::function<int(QDialog&)>;
    void setDialogRunner(DialogRunner runner) { m_runDialog = std::move(runner); }

    QPushButton* cmdOpen = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdSaveAs = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* cmdNew = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* labfile = nullptr;
    QLineEdit* txtfile = nullptr;
    QLabel* labHost = nullptr; // where 保存 uploads to
    reports::ReportDesigner* ReportDesigner1 = nullptr;

    const reports::Report* report() const { return m_report.get(); }
    // The design differs from what was loaded or last uploaded: edits pending, or saved by the
    // designer's own save (a local file only) since.
    bool notUploaded() const;

    // Edits not uploaded are copied aside this often, and before a question or an upload, so that a
    // crash loses at most this much; the next design of the same template offers the copy.
    static constexpr int kAutosaveMs = 30000;
    void autosave();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Form_Load();
    void cmdOpen_Click();
    void cmdSave_Click();
    void cmdSaveAs_Click();
    void cmdNew_Click();
    void ReportDesigner1_OpenRequested();
    void ReportDesigner1_SaveRequested();

    // The path chosen in the file dialog; nothing when it was cancelled (or the window went meanwhile).
    std::optional<QString> chooseFile(QFileDialog::AcceptMode mode);
    // Runs a message box; QMessageBox::NoButton when the window went while it was open.
    QMessageBox::StandardButton message(QMessageBox::Icon icon, const QString& text,
                                        QMessageBox::StandardButtons buttons);
    // Saves the design to reportFileName and returns the upload body of that file; nothing when the
    // design or the file could not be written or read.
    std::optional<std::string> saveForUpload();
    // Posts body to url off the UI thread; uploadDone follows on the UI thread unless the window went.
    void startUpload(std::string url, std::string body);
    void uploadDone(bool saved, int loads);
    void setUploading(bool uploading);
    void updateTitle();
    void updateHost();
    // The question before a new request replaces the design on screen.
    QString discardQuestion() const;
    // Loads a file into the report and shows it; false (design unchanged) when it does not load.
    bool openInDesigner(const QString& path);
    // After a template loaded: a copy of its edits a crashed agent left, put on screen if the user wants.
    void offerRecovery(const QString& path);

    std::filesystem::path m_programFolder;
    LogFile m_log;
    std::unique_ptr<reports::Report> m_report;
    QString m_dialogFolder;
    QString m_dialogFileName; // the dialog's file name: empty until a template has loaded
    DesignHandOver m_shown;   // the request whose template the designer shows
    bool m_loaded = false;
    bool m_asking = false;
    bool m_designLoaded = false;     // the design on screen came from a file that loaded
    bool m_savedNotUploaded = false; // the designer's own save wrote edits that no upload took yet
    bool m_uploading = false;
    // Set when the agent ends; the post's HTTP call watches it.
    std::shared_ptr<std::atomic<bool>> m_abortUpload = std::make_shared<std::atomic<bool>>(false);
    int m_loads = 0; // counts loadings: a save's message box may outlive the template it saved
    DialogRunner m_runDialog;
    reports::RecoveryStore m_recovery;
    QTimer m_autosave;
};

} // namespace verolux
