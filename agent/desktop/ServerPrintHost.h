#pragma once

#include "agent/printing/RepPrint.h"
#include "agent/printing/TemplateStore.h"

#include <QPointer>

#include <memory>

namespace verolux {
class frmServer;
class frmDesign;

// The print procedure's view of the main window: its log pane and file, the send box, the test
// file, and the report windows it opens.
class ServerPrintHost : public PrintHost {
  public:
    explicit ServerPrintHost(frmServer& window);
    ~ServerPrintHost() override;

    void Run(std::string text);

    void AddLog(std::string_view line) override;
    void WriteLog(std::string_view line) override;
    void Reply(std::string_view text) override;
    std::string ReadRequestFile() override;
    void OpenDesigner(const DesignHandOver& handOver) override;
    void OpenPreview(const std::string& reportFileData, const std::string& reportPreview) override;
    void OpenOutput(const std::string& reportFileData, const std::string& reportPreview) override;

  private:
    frmServer& m_window;
    TemplateStore m_store;
    QPointer<frmDesign> m_designer; // one designer for the agent, made anew after it closed
};

} // namespace verolux
