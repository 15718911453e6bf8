#include "agent/reports/engine/ProgramFonts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>

namespace verolux::reports {

QList<int> AddProgramFonts() {
    return AddFontsIn(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("fonts")));
}

QList<int> AddFontsIn(const QString& folder) {
    QList<int> ids;
    const QDir dir(folder);
    const QStringList files =
        dir.entryList({QStringLiteral("*.ttf"), QStringLiteral("*.ttc"), QStringLiteral("*.otf")},
                      QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString& file : files) {
        // A file Qt cannot read as a font is skipped.
        const int id = QFontDatabase::addApplicationFont(dir.filePath(file));
        if (id >= 0) ids << id;
    }
    return ids;
}

} // namespace verolux::reports
