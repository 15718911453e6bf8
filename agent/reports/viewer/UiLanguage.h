#pragma once

#include <QString>

class QCoreApplication;

namespace verolux::reports {

// The language of every window of the agent and the designer: Chinese, whatever the system's locale.
QString UiLanguage(); // "zh_CN"

// Makes Qt's own dialogs and buttons (print and file dialogs, message boxes) speak the UI's language, from
// Qt's translations (Debian: qt6-translations-l10n; on Windows, translations/ beside the program). Call once
// after the application object exists. False when the translations are not installed: Qt's dialogs then stay
// in English.
bool InstallQtTranslations(QCoreApplication& app);

// Registers the fonts shipped beside the program (see AddProgramFonts), so windows and reports show
// Chinese on a desktop without a Chinese font. Call once after the application object exists.
void InstallUiFonts();

} // namespace verolux::reports
