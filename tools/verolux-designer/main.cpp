// verolux-designer [FILE.grf] [--data REQUEST.json]: the report designer as a program of its own, for
// template authors. See the README.
#include "tools/verolux-designer/DesignerWindow.h"

#include "agent/reports/viewer/UiLanguage.h"

#include <QApplication>
#include <QMessageBox>
#include <QSettings>

#include <cstdio>
#include <cstdlib>

namespace {

const char kUsage[] =
    "usage: verolux-designer [FILE.grf] [--data REQUEST.json] [--autosave SECONDS]\n"
    "\n"
    "Designs Verolux report templates (.grf).\n"
    "  FILE.grf             the template to open (else a new one)\n"
    "  --data REQUEST.json  fill the live preview with the parameters and rows of a print request\n"
    "                       (as a web page sends it); without it the preview shows made-up rows\n"
    "  --autosave SECONDS   copy unsaved edits aside this often (default 30); after a crash the next\n"
    "                       start offers the copy\n"
    "  -h, --help           this text\n";

} // namespace

int main(int argc, char** argv) {
    // Read the command line before Qt starts: --help must work without a display.
    QString file, data;
    int autosaveSeconds = 0;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QStringLiteral("-h") || arg == QStringLiteral("--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == QStringLiteral("--data") && i + 1 < argc) {
            data = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == QStringLiteral("--autosave") && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
            autosaveSeconds = std::atoi(argv[++i]);
        } else if (arg.startsWith(QLatin1Char('-')) || !file.isEmpty()) {
            std::fprintf(stderr, "verolux-designer: unexpected argument \"%s\"\n\n%s", argv[i], kUsage);
            return 2;
        } else {
            file = arg;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("verolux-designer"));
    QApplication::setOrganizationName(QStringLiteral("Verolux"));
    verolux::reports::InstallQtTranslations(app);
    verolux::reports::InstallUiFonts();
    QSettings settings;
    verolux::reports::DesignerWindow window(settings);
    if (autosaveSeconds > 0) window.setAutosaveInterval(autosaveSeconds * 1000);
    window.show();
    QString error;
    // A copy left by a crash comes first; taken up, it stands instead of the file named.
    const bool recovered = window.offerRecovery();
    if (!recovered && !file.isEmpty() && !window.openFile(file, &error))
        QMessageBox::warning(&window, QStringLiteral("打开"), QStringLiteral("无法打开：") + error);
    if (!data.isEmpty() && !window.loadPreviewData(data, &error))
        QMessageBox::warning(&window, QStringLiteral("预览数据"), QStringLiteral("无法读取：") + error);
    return app.exec();
}
