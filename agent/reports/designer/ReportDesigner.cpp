#include "agent/reports/designer/ReportDesigner.h"

#include "agent/reports/designer/DesignCanvas.h"
#include "agent/reports/engine/Report.h"

#include <QAction>
#include <QToolBar>
#include <QVBoxLayout>

namespace verolux::reports {

ReportDesigner::ReportDesigner(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("designerToolBar"));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    layout->addWidget(m_toolBar);
    m_canvas = new DesignCanvas(m_doc, this);
    layout->addWidget(m_canvas, 1);

    m_open = addAction(QStringLiteral("打开"), QKeySequence::Open, QStringLiteral("打开报表模板 (Ctrl+O)"));
    m_save = addAction(QStringLiteral("保存"), QKeySequence::Save, QStringLiteral("保存报表模板 (Ctrl+S)"));
    m_toolBar->addSeparator();
    m_undo = addAction(QStringLiteral("撤销"), QKeySequence::Undo, QString());
    m_redo = addAction(QStringLiteral("重做"), QKeySequence(Qt::CTRL | Qt::Key_Y), QString());
    m_redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});

    connect(m_open, &QAction::triggered, this, &ReportDesigner::OpenRequested);
    connect(m_save, &QAction::triggered, this, &ReportDesigner::SaveRequested);
    connect(m_undo, &QAction::triggered, this, [this] {
        if (m_doc.undo()) afterEdit();
    });
    connect(m_redo, &QAction::triggered, this, [this] {
        if (m_doc.redo()) afterEdit();
    });
    connect(m_canvas, &DesignCanvas::edited, this, &ReportDesigner::afterEdit);
    connect(m_canvas, &DesignCanvas::selectionChanged, this, &ReportDesigner::refreshActions);
    refreshActions();
    setFocusProxy(m_canvas);
}

ReportDesigner::~ReportDesigner() = default;

QAction* ReportDesigner::addAction(const QString& text, const QKeySequence& key, const QString& tip) {
    auto* a = m_toolBar->addAction(text);
    a->setShortcut(key);
    // Two designers in one program each answer their own keys.
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    a->setToolTip(tip.isEmpty() ? text + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) +
                                      QStringLiteral(")")
                                : tip);
    QWidget::addAction(a);
    return a;
}

void ReportDesigner::BindReport(Report* report) {
    m_report = report;
    m_reportGuard = report;
}

void ReportDesigner::ReloadDesign() {
    if (m_reportGuard.isNull()) m_report = nullptr;
    m_doc.reset(m_report ? m_report->reportTemplate() : Template{});
    m_canvas->documentChanged();
    afterEdit();
}

bool ReportDesigner::CommitDesign() {
    if (m_reportGuard.isNull()) m_report = nullptr;
    if (!m_report) return false;
    m_report->setTemplate(m_doc.tmpl());
    return true;
}

bool ReportDesigner::SetSetting(int id, const QVariant& value) {
    if (id != kSettingEditsPending || !value.canConvert<bool>()) return false;
    setEditsPending(value.toBool());
    return true;
}

QVariant ReportDesigner::Setting(int id) const {
    if (id == kSettingEditsPending) return editsPending();
    return {};
}

bool ReportDesigner::editsPending() const {
    return m_doc.modified();
}

void ReportDesigner::setEditsPending(bool pending) {
    m_doc.setModified(pending);
    refreshActions();
}

void ReportDesigner::afterEdit() {
    m_canvas->documentChanged();
    refreshActions();
}

void ReportDesigner::refreshActions() {
    const auto& steps = m_doc.steps();
    m_undo->setEnabled(steps.canUndo());
    m_redo->setEnabled(steps.canRedo());
    m_undo->setToolTip(QStringLiteral("撤销%1 (Ctrl+Z)").arg(QString::fromStdString(steps.undoName())));
    m_redo->setToolTip(QStringLiteral("重做%1 (Ctrl+Y)").arg(QString::fromStdString(steps.redoName())));
    const bool pending = editsPending();
    if (pending != m_lastPending) {
        m_lastPending = pending;
        emit editsPendingChanged(pending);
    }
}

} // namespace verolux::reports
