#include "agent/reports/designer/ChecksList.h"

#include <QHBoxLayout>
#include <QPushButton>

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
    for (const design::DesignProblem& p : m_problems) {
        auto* line = new QListWidgetItem(QStringLiteral("⚠ ") + QString::fromStdString(p.message), this);
        if (p.kind == design::DesignProblem::Kind::Expression) line->setForeground(QColor(0xb9, 0x1c, 0x1c));
        if (p.kind != design::DesignProblem::Kind::TextArithmetic) continue;
        // The fix beside the text, at the line's right end.
        auto* holder = new QWidget;
        auto* row = new QHBoxLayout(holder);
        row->setContentsMargins(0, 0, 4, 0);
        row->addStretch(1);
        auto* fix = new QPushButton(QStringLiteral("改为数字"));
        fix->setObjectName(QStringLiteral("makeNumber"));
        fix->setToolTip(QStringLiteral("把字段“%1”改为数字类型（按样本数据判断整数或小数）")
                            .arg(QString::fromStdString(p.field)));
        row->addWidget(fix);
        connect(
            fix, &QPushButton::clicked, this,
            [this, field = QString::fromStdString(p.field)] { emit makeNumberRequested(field); },
            Qt::QueuedConnection);
        setItemWidget(line, holder);
    }
    if (m_problems.empty()) {
        auto* ok = new QListWidgetItem(QStringLiteral("✓ 没有发现问题"), this);
        ok->setFlags(Qt::ItemIsEnabled);
        ok->setForeground(QColor(0x15, 0x80, 0x3d));
    }
}

} // namespace verolux::reports
