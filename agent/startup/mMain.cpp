#include "agent/startup/mMain.h"

#include "agent/desktop/frmServer.h"
#include "agent/startup/AgentSetup.h"
#include "agent/startup/StartDecision.h"
#include "common/AgentPresence.h"
#include "common/CheckUpdate.h"
#include "common/Ini.h"
#include "common/ProgramFolder.h"
#include "common/Version.h"

#include <QApplication>
#include <QPointer>

#include <cstdlib>
#include <cstring>
#include <string>

namespace mMain {
namespace {

Arguments ParseArguments(int argc, char** argv) {
    Arguments a;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc)
            a.port = QString::fromLocal8Bit(argv[++i]);
        else if (std::strncmp(argv[i], "--port=", 7) == 0)
            a.port = QString::fromLocal8Bit(argv[i] + 7);
    }
    return a;
}

// Without a display the agent still runs, on Qt's offscreen platform and without a tray icon.
void ChooseHeadlessPlatformIfNeeded() {
    if (std::getenv("QT_QPA_PLATFORM")) return;
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    if ((!x || !*x) && (!w || !*w)) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

} // namespace

int Main(int argc, char** argv) {
    const Arguments args = ParseArguments(argc, argv);
    const std::filesystem::path folder = verolux::ProgramFolder();
    const mINI::Settings settings(folder);

    // 1. The backend base URL is always configured.
    mINI::EnsureWebsUrl(settings);
    // The launcher may have been updated while it ran: fetch a newer one now that it has ended.
    verolux::CheckLauncherUpdate(settings, folder);

    // 2.-4. Start request, forced start, previous instance.
    verolux::AgentLock lock(folder);
    const bool previous = lock.PreviousInstance();
    const std::string show = settings.ReadIni(kVerolux, "Show");
    const std::string foceShow = settings.ReadIni(kVerolux, "FoceShow");
    const bool start = StartCondition(show, foceShow, previous);

    if (!start) {
        settings.WriteIni(kAppInfo, "PrintVer", verolux::VersionText());
        return 0;
    }

    // 5. Take up the request and load the main window hidden.
    settings.WriteIni(kVerolux, "Show", "0");
    verolux::RemoveStaleTemporaryFiles(folder);
    ChooseHeadlessPlatformIfNeeded();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false); // the main window is hidden; only Exit ends us
    QApplication::setApplicationName(QStringLiteral("Verolux"));

    verolux::frmServer::Options options;
    options.programFolder = folder;
    options.initialPort = args.port;
    verolux::frmServer window(options);
    verolux::InstallPrintProcedure(window);
    window.Load();
    lock.PublishCaption(verolux::AgentCaption(verolux::VersionText()));

    // 6. Always record the agent's own version.
    settings.WriteIni(kAppInfo, "PrintVer", verolux::VersionText());
    const int code = app.exec();

    // Exit ends the whole agent: report windows still open or hidden go with it.
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != &window && !w->parentWidget()) windows.append(w);
    for (const auto& w : windows)
        delete w.data(); // null when an earlier one took it along
    return code;
}

} // namespace mMain
