#pragma once

#include <QString>

class QCoreApplication;

namespace verolux::reports {

// The language of every window of the agent and the designer: Chinese, whatever the system's locale.
QString UiLanguage(); // "zh_CN"

// Makes Qt's own dialogs and buttons (print and file dialogs, message boxes) speak the UI's language, from
// Qt's translations (Debian: qt6-translations-l10n). Call once after the application object exists. False
// when the translations are not installed: Qt's dialogs then stay in English.
bool InstallQtTranslations(QCoreApplication& app);

} // namespace verolux::reports
