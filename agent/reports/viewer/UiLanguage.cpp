#include "agent/reports/viewer/UiLanguage.h"

#include <QCoreApplication>
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
    if (!translator->load(QLocale(UiLanguage()), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace verolux::reports
