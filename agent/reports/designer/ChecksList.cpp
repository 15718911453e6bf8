#include "agent/reports/designer/ChecksList.h"

namespace verolux::reports {

ChecksList::ChecksList(design::DesignDocument& doc, QWidget* parent) : QListWidget(parent), m_doc(doc) {
    setObjectName(QStringLiteral("checksList"));
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const int i = row(item);
        if (i < 0 || size_t(i) >= m_problems.size()) return;
        const design::DesignProblem& p = m_problems[size_t(i)];
        if (p.item)
            emit itemPicked(*p.item);
        else
            emit bandPicked(p.band);
    });
    refresh();
}

void ChecksList::refresh() {
    if (m_shown == m_doc.generation()) return;
    m_shown = m_doc.generation();
    m_problems = design::CheckDesign(m_doc.tmpl());
    clear();
    for (const design::DesignProblem& p : m_problems)
        addItem(QStringLiteral("⚠ ") + QString::fromStdString(p.message));
    if (m_problems.empty()) {
        auto* ok = new QListWidgetItem(QStringLiteral("✓ 没有发现问题"), this);
        ok->setFlags(Qt::ItemIsEnabled);
        ok->setForeground(QColor(0x15, 0x80, 0x3d));
    }
}

} // namespace verolux::reports
