#include "agent/startup/mMain.h"

#include "agent/desktop/FileLimit.h"
#include "agent/desktop/frmServer.h"
#include "agent/reports/viewer/UiLanguage.h"
#include "agent/startup/AgentSetup.h"
#include "agent/startup/ShowRequest.h"
#include "agent/startup/StartDecision.h"
#include "common/AgentPresence.h"
#include "common/CheckUpdate.h"
#include "common/Ini.h"
#include "common/PolicyFile.h"
#include "common/ProgramFolder.h"
#include "common/Version.h"

#include <QApplication>
#include <QPointer>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace mMain {
namespace {

constexpr const char* kUsage =
    "usage: Verolux [--port N]\n"
    "\n"
    "The Verolux print agent: a WebSocket server for print requests from web pages, with an icon in\n"
    "the notification area. It runs only when asked: the launcher Kestrane (or the starter\n"
    "'verolux' of an installed package) writes a start request into MyIni.ini and starts it;\n"
    "[Verolux] FoceShow=1 starts it always. Otherwise it ends at once; started again while it runs\n"
    "from the same folder, it shows the running agent's window.\n"
    "The program folder (MyIni.ini, MyLog.txt, report/) is the one holding this program, or\n"
    "$VEROLUX_HOME. Without a display it runs offscreen and shows no windows.\n"
    "\n"
    "  --port N   the port to listen on; N-M: the first free of N to M. VEROLUX_PORT=N in the\n"
    "             environment does the same and also reaches an agent started by the launcher or\n"
    "             the starter. Default: the first free of 28502-28511 (one agent per user)\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "Other arguments go to Qt (for example -platform xcb).\n";

// A port given by hand is that port alone; "N-M" is the first free of N to M (at most 100 ports).
void SetPort(Arguments& a, const char* text) {
    const QString port = QString::fromLocal8Bit(text);
    a.port = port;
    a.portCount = 1;
    const QStringList range = port.split(QLatin1Char('-'));
    bool firstOk = false, lastOk = false;
    if (range.size() != 2) return;
    const int first = range[0].toInt(&firstOk), last = range[1].toInt(&lastOk);
    if (!firstOk || !lastOk || first < 1 || last < first || last > 65535 || last - first >= 100) return;
    a.port = range[0];
    a.portCount = last - first + 1;
}

Arguments ParseArguments(int argc, char** argv) {
    Arguments a;
    // Lets a launcher-started agent listen elsewhere (the demo, a second desktop session).
    if (const char* port = std::getenv("VEROLUX_PORT"); port && *port) SetPort(a, port);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0)
            a.help = true;
        else if (std::strcmp(argv[i], "--version") == 0)
            a.version = true;
        else if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc)
            SetPort(a, argv[++i]);
        else if (std::strncmp(argv[i], "--port=", 7) == 0)
            SetPort(a, argv[i] + 7);
    }
    return a;
}

// Without a display the agent still runs, on Qt's offscreen platform and without a tray icon.
void ChooseHeadlessPlatformIfNeeded() {
#ifndef _WIN32 // a Windows session always has its desktop
    if (std::getenv("QT_QPA_PLATFORM")) return;
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    if ((!x || !*x) && (!w || !*w)) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
#endif
}

} // namespace

int Main(int argc, char** argv) {
    const Arguments args = ParseArguments(argc, argv);
    // Answered before the settings are touched: the starter asks copies it may replace.
    if (args.help || args.version) {
        if (args.help)
            std::fputs(kUsage, stdout);
        else
            std::printf("Verolux %s\n", verolux::VersionText().c_str());
        return 0;
    }
    const std::filesystem::path folder = verolux::ProgramFolder();
    const mINI::Settings settings(folder);

    // The administrator's backend and update key first, so neither the default below nor the user's
    // own values win over them. Settings that cannot be brought under the policy fetch nothing.
    const bool policyHeld = mINI::EnforcePolicy(settings);
    // 1. The backend base URL is always configured.
    mINI::EnsureWebsUrl(settings);
    // The launcher may have been updated while it ran: fetch a newer one now that it has ended.
    if (policyHeld) verolux::CheckLauncherUpdate(settings, folder);

    // 2.-4. Start request, forced start, previous instance.
    verolux::AgentLock lock(folder);
    const bool previous = lock.PreviousInstance();
    const std::string show = settings.ReadIni(kVerolux, "Show");
    const std::string foceShow = settings.ReadIni(kVerolux, "FoceShow");
    const bool start = StartCondition(show, foceShow, previous);

    if (!start) {
        settings.WriteIni(kAppInfo, "PrintVer", verolux::VersionText());
        // Started again while the agent runs: the running one shows its window instead.
        if (previous && verolux::SendShowRequest(folder)) {
            std::fputs("Verolux: Verolux already runs from this folder; its window is shown.\n", stderr);
            return 0;
        }
        // Only a person starting the program by hand sees this: the launcher's agent has no stderr.
        std::fputs(previous && IsYes(show)
                       ? "Verolux: another Verolux already runs from this folder; ending.\n"
                       : "Verolux: no start request, ending; start it through the launcher Kestrane "
                         "(or 'verolux' when installed), or see Verolux --help.\n",
                   stderr);
        return 0;
    }

    // 5. Take up the request and load the main window hidden.
    settings.WriteIni(kVerolux, "Show", "0");
    verolux::RemoveStaleTemporaryFiles(folder);
    // Room for as many connections as the system lets this process have.
    verolux::RaiseOpenFileLimit();
    ChooseHeadlessPlatformIfNeeded();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false); // the main window is hidden; only Exit ends us
    QApplication::setApplicationName(QStringLiteral("Verolux"));
    // Qt's own dialogs (print, file, message boxes) in the language of the agent's windows.
    verolux::reports::InstallQtTranslations(app);
    // Reports need a Chinese font: the one shipped beside the program, where the desktop has none.
    verolux::reports::InstallUiFonts();

    verolux::frmServer::Options options;
    options.programFolder = folder;
    options.initialPort = args.port;
    options.portCount = args.portCount;
    verolux::frmServer window(options);
    verolux::InstallPrintProcedure(window);
    verolux::ApplyConnectionSettings(window, settings);
    window.Load();
#ifdef _WIN32
    window.winId(); // the hidden window gets its native one now, for FindWindowW to find by caption
#endif
    lock.PublishCaption(verolux::AgentCaption(verolux::VersionText()));
    std::unique_ptr<verolux::ShowRequests> showRequests;
    if (lock.held())
        showRequests = std::make_unique<verolux::ShowRequests>(folder, [&window] { window.ShowWindow(); });

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
