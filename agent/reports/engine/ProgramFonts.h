#pragma once

#include <QList>
#include <QString>

namespace verolux::reports {

// The fonts a program ships in the folder "fonts" beside its program file (the Windows build ships
// WenQuanYi Micro Hei there, the templates' default family, for desktops without a Chinese font;
// the Linux package has the system's). Registers each font file of that folder with Qt for reports,
// preview and designer; returns their ids (QFontDatabase's). Call once after the application object exists.
QList<int> AddProgramFonts();

// The same for the font files (.ttf, .ttc, .otf) of any folder; a missing folder adds nothing.
QList<int> AddFontsIn(const QString& folder);

} // namespace verolux::reports
