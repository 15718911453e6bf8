#include "agent/reports/viewer/UiLanguage.h"

#include "agent/reports/engine/ProgramFonts.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace verolux::reports {

QString UiLanguage() {
    return QStringLiteral("zh_CN");
}

bool InstallQtTranslations(QCoreApplication& app) {
    // Owned by the application: it translates for as long as the application runs.
    auto* translator = new QTranslator(&app);
    // Qt's own folder (Debian's qt6-translations-l10n), else "translations" beside the program: the
    // Windows build ships Qt's Chinese there.
    for (const QString& folder :
         {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
          QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))})
        if (translator->load(QLocale(UiLanguage()), QStringLiteral("qtbase"), QStringLiteral("_"), folder))
            return QCoreApplication::installTranslator(translator);
    delete translator;
    return false;
}

void InstallUiFonts() {
    AddProgramFonts();
}

} // namespace verolux::reports
