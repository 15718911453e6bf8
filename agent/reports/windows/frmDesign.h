#pragma once

#include "agent/printing/RepPrint.h"
#include "agent/reports/designer/ReportDesigner.h"
#include "agent/reports/engine/Report.h"
#include "common/LogFile.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace verolux {

// The report designer window: one instance for the agent, reused by every design request. The user
// edits the request's template in the designer control; 保存 writes it back to the template file and
// posts it with its MD5 to reportAdd, so later prints use it.
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

    // Shows the window modeless. The first call loads the template. While loaded, a new request's
    // template replaces the one shown, unless the user keeps unsaved edits: then the members go back
    // to the template on screen.
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
    reports::ReportDesigner* ReportDesigner1 = nullptr;

    const reports::Report* report() const { return m_report.get(); }

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
    // Saves the design to reportFileName and posts that file; true when the backend said "success".
    bool saveAndUpload();
    // Loads a file into the report and shows it; false (design unchanged) when it does not load.
    bool openInDesigner(const QString& path);

    std::filesystem::path m_programFolder;
    LogFile m_log;
    std::unique_ptr<reports::Report> m_report;
    QString m_dialogFolder;
    QString m_dialogFileName; // the dialog's file name: empty until a template has loaded
    DesignHandOver m_shown;   // the request whose template the designer shows
    bool m_loaded = false;
    bool m_asking = false;
    int m_loads = 0; // counts loadings: a save's message box may outlive the template it saved
    DialogRunner m_runDialog;
};

} // namespace verolux
