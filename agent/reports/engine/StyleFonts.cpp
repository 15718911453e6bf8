#include "agent/reports/engine/StyleFonts.h"

namespace verolux::reports {

StyleFonts::StyleFonts(const Template& tmpl) {
    m_fonts.reserve(tmpl.styles.size());
    for (const TextStyle& st : tmpl.styles) {
        QFont f(QString::fromStdString(st.fontFamily));
        f.setPointSizeF(st.fontSize);
        f.setBold(st.bold);
        f.setItalic(st.italic);
        // Underlines are drawn by the page painter, the same way on every canvas.
        // Unhinted outlines: the same advances on screen, in the PDF and on paper.
        f.setHintingPreference(QFont::PreferNoHinting);
        f.setStyleStrategy(QFont::PreferOutline);
        m_fonts.push_back(f);
    }
}

} // namespace verolux::reports
