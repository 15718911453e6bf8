#include "agent/startup/AgentSetup.h"

#include "agent/desktop/LinkerPool.h"
#include "agent/desktop/ServerPrintHost.h"
#include "agent/desktop/frmServer.h"
#include "agent/printing/RepPrint.h"
#include "agent/printing/TemplateStore.h"
#include "agent/websocket/WsLimits.h"
#include "common/CheckUpdate.h"
#include "common/TextFile.h"

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace verolux {

void CheckLauncherUpdate(const mINI::Settings& settings, const std::filesystem::path& programFolder) {
    const std::string shellVer = settings.ReadIni("AppInfo", "ShellVer");
    mINI::CheckUpdate(settings, programFolder, "ShellVer", mINI::kKindLauncher, shellVer);
}

void RemoveStaleTemporaryFiles(const std::filesystem::path& programFolder) {
    RemoveStaleTemporaries(programFolder);
    RemoveStaleTemporaries(TemplateFolder(programFolder));
}

void InstallPrintProcedure(frmServer& window) {
    auto host = std::make_shared<ServerPrintHost>(window);
    window.setPrintProcedure([host](frmServer&, std::string text) { host->Run(std::move(text)); });
    window.setHistoryWindow([host] { host->ShowHistory(); });
    window.linkers().setMessageTooLarge([host](std::size_t limit) {
        // The print procedure's error path, without a request to quote.
        const std::string why = "message above the size limit (" + std::to_string(limit) + " bytes)";
        host->AddLog(std::string(kRepPrintFailed) + why);
        try {
            host->WriteLog(why);
        } catch (...) {
        }
        host->Reply(kRepPrintFailed);
    });
}

void ApplyConnectionSettings(frmServer& window, const mINI::Settings& settings) {
    window.linkers().setMessageLimits(
        mWSProtocol::MessageLimitsFromSetting(settings.ReadIni("Verolux", "MaxMessageMB")));
    if (const char* text = std::getenv("VEROLUX_TEST_HANDSHAKE_TIMEOUT_MS")) {
        long ms = 0;
        const char* end = text + std::strlen(text);
        if (std::from_chars(text, end, ms).ptr == end && ms > 0)
            window.linkers().setHandshakeTimeout(std::chrono::milliseconds(ms));
    }
}

} // namespace verolux
