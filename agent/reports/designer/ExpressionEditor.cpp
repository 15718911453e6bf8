#include "agent/reports/designer/ExpressionEditor.h"

#include "agent/reports/model/TemplateExpressions.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTextBlock>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace verolux::reports {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

constexpr int kInsertRole = Qt::UserRole + 1;

const char* TypeName(const std::string& type) {
    static const char* const kTypes[][2] = {{"text", "文本"},     {"integer", "整数"},
                                            {"decimal", "小数"},  {"currency", "金额"},
                                            {"boolean", "是/否"}, {"datetime", "日期时间"}};
    for (const auto& t : kTypes)
        if (type == t[0]) return t[1];
    return "文本";
}

bool IsNumber(const std::string& type) {
    return type == "integer" || type == "decimal" || type == "currency";
}

} // namespace

ExpressionEditor::ExpressionEditor(const Template& tmpl, design::SampleRow row, const QString& text,
                                   QWidget* parent)
    : QDialog(parent), m_t(tmpl), m_row(std::move(row)) {
    setObjectName(QStringLiteral("expressionEditor"));
    setWindowTitle(QStringLiteral("表达式"));
    m_tree = new QTreeWidget;
    m_tree->setObjectName(QStringLiteral("expressionData"));
    m_tree->setHeaderLabels({QStringLiteral("数据（双击插入）"), QStringLiteral("类型")});
    m_tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    fillTree();
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        const QString r = item->data(0, kInsertRole).toString();
        if (!r.isEmpty()) insertReference(r);
    });

    m_edit = new QPlainTextEdit(text);
    m_edit->setObjectName(QStringLiteral("expressionText"));
    m_edit->setTabChangesFocus(true);
    QFont mono = m_edit->font();
    mono.setPointSizeF(mono.pointSizeF() * 1.15);
    m_edit->setFont(mono);
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("expressionStatus"));
    m_status->setWordWrap(true);
    m_value = new QLabel;
    m_value->setObjectName(QStringLiteral("expressionValue"));
    m_value->setWordWrap(true);
    m_value->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // The aggregate picker: function, field (numbers first), scope.
    auto* picker = new QGroupBox(QStringLiteral("汇总"));
    m_function = new QComboBox;
    m_function->setObjectName(QStringLiteral("aggregateFunction"));
    for (const auto& [name, label] : {std::pair{"sum", "合计 sum"},
                                      {"avg", "平均 avg"},
                                      {"count", "计数 count"},
                                      {"min", "最小 min"},
                                      {"max", "最大 max"}})
        m_function->addItem(QString::fromUtf8(label), QString::fromLatin1(name));
    m_field = new QComboBox;
    m_field->setObjectName(QStringLiteral("aggregateField"));
    for (bool numbers : {true, false})
        for (const Declared& f : m_t.fields)
            if (IsNumber(f.type) == numbers)
                m_field->addItem(Q(f.name) + QStringLiteral("（") + QString::fromUtf8(TypeName(f.type)) +
                                     QStringLiteral("）"),
                                 Q(f.name));
    m_scope = new QComboBox;
    m_scope->setObjectName(QStringLiteral("aggregateScope"));
    for (const auto& [name, label] : {std::pair{"group", "本组 group"},
                                      {"report", "全部 report"},
                                      {"page", "本页 page"},
                                      {"", "所在带区"}})
        m_scope->addItem(QString::fromUtf8(label), QString::fromLatin1(name));
    auto* insert = new QPushButton(QStringLiteral("插入汇总"));
    insert->setObjectName(QStringLiteral("insertAggregate"));
    insert->setAutoDefault(false);
    connect(insert, &QPushButton::clicked, this, &ExpressionEditor::insertAggregate);
    auto* pickRow = new QHBoxLayout(picker);
    pickRow->addWidget(m_function);
    pickRow->addWidget(m_field, 1);
    pickRow->addWidget(m_scope);
    pickRow->addWidget(insert);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* right = new QWidget;
    auto* rl = new QVBoxLayout(right);
    rl->setContentsMargins(0, 0, 0, 0);
    auto* hint = new QLabel(QStringLiteral("文字中 {…} 里的部分在打印时计算：{quantity*price}、"
                                           "{round(price*1.13, 2)}、{if(amount>=10000, \"大额\", \"\")}、"
                                           "{sum(amount, group)|#,##0.00}"));
    hint->setWordWrap(true);
    rl->addWidget(hint);
    rl->addWidget(m_edit, 1);
    rl->addWidget(m_status);
    rl->addWidget(m_value);
    rl->addWidget(picker);
    auto* split = new QSplitter;
    split->addWidget(m_tree);
    split->addWidget(right);
    split->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addWidget(buttons);
    resize(860, 440);
    split->setSizes({300, 560});

    connect(m_edit, &QPlainTextEdit::textChanged, this, &ExpressionEditor::check);
    check();
    m_edit->setFocus();
    m_edit->moveCursor(QTextCursor::End);
}

void ExpressionEditor::fillTree() {
    auto group = [this](const QString& title) {
        auto* g = new QTreeWidgetItem(m_tree, {title});
        g->setExpanded(true);
        return g;
    };
    auto add = [](QTreeWidgetItem* parent, const QString& label, const QString& type, const QString& insert) {
        auto* i = new QTreeWidgetItem(parent, {label, type});
        i->setData(0, kInsertRole, insert);
        i->setToolTip(0, insert);
    };
    QTreeWidgetItem* fields = group(QStringLiteral("字段"));
    for (const Declared& f : m_t.fields)
        add(fields, Q(f.name), QString::fromUtf8(TypeName(f.type)), Q(f.name));
    QTreeWidgetItem* params = group(QStringLiteral("参数"));
    for (const Declared& p : m_t.parameters)
        add(params, QStringLiteral("$") + Q(p.name), QString::fromUtf8(TypeName(p.type)),
            QStringLiteral("$") + Q(p.name));
    QTreeWidgetItem* system = group(QStringLiteral("系统值"));
    for (const auto& [name, label] : {std::pair{"#page", "页码"},
                                      {"#pages", "总页数（单独使用）"},
                                      {"#row", "行号"},
                                      {"#grouprow", "组内行号"},
                                      {"#now", "打印时间"},
                                      {"#title", "标题"}})
        add(system, QString::fromLatin1(name), QString::fromUtf8(label), QString::fromLatin1(name));
    QTreeWidgetItem* functions = group(QStringLiteral("函数"));
    for (const auto& [call, label] : {std::pair{"if(条件, 是, 否)", "条件"},
                                      {"round(值, 2)", "四舍五入"},
                                      {"abs(值)", "绝对值"},
                                      {"len(文字)", "长度"},
                                      {"text(值)", "转为文字"},
                                      {"isempty(值)", "是否为空"}})
        add(functions, QString::fromUtf8(call), QString::fromUtf8(label), QString::fromUtf8(call));
    QTreeWidgetItem* aggregates = group(QStringLiteral("汇总"));
    for (const auto& [fn, label] :
         {std::pair{"sum", "合计"}, {"avg", "平均"}, {"count", "计数"}, {"min", "最小"}, {"max", "最大"}})
        for (const auto& [scope, scopeLabel] :
             {std::pair{"group", "本组"}, {"report", "全部"}, {"page", "本页"}})
            add(aggregates,
                QString::fromLatin1(fn) + QStringLiteral("(值, ") + QString::fromLatin1(scope) +
                    QStringLiteral(")"),
                QString::fromUtf8(label) + QStringLiteral("·") + QString::fromUtf8(scopeLabel),
                QString::fromStdString(design::AggregateReference(fn, "值", scope)));
}

QString ExpressionEditor::text() const {
    return m_edit->toPlainText();
}

QString ExpressionEditor::problem() const {
    return m_problem;
}

void ExpressionEditor::insertReference(const QString& reference) {
    QTextCursor c = m_edit->textCursor();
    const QString all = m_edit->toPlainText();
    const size_t place = size_t(all.left(c.position()).toUtf8().size());
    c.insertText(Q(design::Insertion(all.toStdString(), place, reference.toStdString())));
    m_edit->setTextCursor(c);
    m_edit->setFocus();
}

void ExpressionEditor::insertAggregate() {
    if (m_field->currentIndex() < 0) return;
    insertReference(Q(design::AggregateReference(m_function->currentData().toString().toStdString(),
                                                 m_field->currentData().toString().toStdString(),
                                                 m_scope->currentData().toString().toStdString())));
}

void ExpressionEditor::check() {
    const std::string text = m_edit->toPlainText().toStdString();
    const auto problems = CheckReferenceText(text, m_t);
    QList<QTextEdit::ExtraSelection> marks;
    if (problems.empty()) {
        m_problem.clear();
        m_status->setText(QStringLiteral("✓ 没有错误"));
        m_status->setStyleSheet(QStringLiteral("color: #15803d"));
    } else {
        const ExpressionProblem& p = problems.front();
        m_problem = QStringLiteral("第 %1 个字符：%2").arg(p.character).arg(Q(p.message));
        m_status->setText(QStringLiteral("✗ ") + m_problem);
        m_status->setStyleSheet(QStringLiteral("color: #b91c1c"));
        // Mark the character (characters here are code points; the editor counts UTF-16 units).
        const QString all = m_edit->toPlainText();
        int at = 0;
        for (size_t n = 1; n < p.character && at < all.size(); ++n)
            at += all.at(at).isHighSurrogate() ? 2 : 1;
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(m_edit->document());
        mark.cursor.setPosition(std::min(at, int(all.size())));
        mark.cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        if (!mark.cursor.hasSelection()) { // at the end: mark the last character
            mark.cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor, 1);
        }
        mark.format.setBackground(QColor(0xfe, 0xca, 0xca));
        mark.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        mark.format.setUnderlineColor(QColor(0xb9, 0x1c, 0x1c));
        marks << mark;
    }
    m_edit->setExtraSelections(marks);
    m_value->setText(QStringLiteral("第一行的值：") + Q(design::TextOnRow(text, m_t, m_row)));
}

} // namespace verolux::reports
