#include "agent/reports/designer/Inspector.h"

#include "agent/reports/design/ItemEdits.h"
#include "agent/reports/design/References.h"
#include "agent/reports/design/SampleData.h"
#include "agent/reports/design/StructureEdits.h"
#include "agent/reports/design/StyleEdits.h"
#include "agent/reports/designer/PropertyWidgets.h"
#include "agent/reports/model/StyleKeys.h"
#include "agent/reports/model/TemplateExpressions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPrinterInfo>
#include <QPushButton>
#include <QVBoxLayout>

namespace verolux::reports {

using design::BandRef;
using design::BandSlot;
using design::DeclaredKind;
using design::ItemRef;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string S(const QString& s) {
    return s.toStdString();
}

// The value all of `values` share, or nothing when they differ (or there are none).
template <class T, class List, class Get> std::optional<T> shared(const List& list, Get get) {
    std::optional<T> out;
    for (const auto& x : list) {
        T v = get(x);
        if (out && !(*out == v)) return std::nullopt;
        out = v;
    }
    return out;
}

void setCheck(QCheckBox* box, std::optional<bool> v) {
    const QSignalBlocker block(box);
    box->setTristate(!v.has_value());
    box->setCheckState(!v ? Qt::PartiallyChecked : *v ? Qt::Checked : Qt::Unchecked);
}

void setCombo(QComboBox* box, std::optional<int> index) {
    const QSignalBlocker block(box);
    box->setCurrentIndex(index.value_or(-1));
}

const char* const kTypes[] = {"text", "integer", "decimal", "currency", "boolean", "datetime"};
const char* const kTypeNames[] = {"文本", "整数", "小数", "金额", "是/否", "日期时间"};
const char* const kPapers[] = {"A3", "A4", "A5", "B5", "Letter", "Legal", "Custom"};
const char* const kSymbologies[] = {"code128", "ean13", "qr", "datamatrix", "pdf417"};

} // namespace

Inspector::Inspector(design::DesignDocument& doc, QWidget* parent) : QScrollArea(parent), m_doc(doc) {
    setObjectName(QStringLiteral("inspector"));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    // The form fits the panel's width: editors shrink rather than scroll sideways.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rebuild();
}

void Inspector::setSubject(const DesignSubject& subject) {
    const std::vector<ItemRef> items =
        subject.kind == DesignSubject::Kind::Items ? m_doc.selection() : std::vector<ItemRef>{};
    if (subject == m_subject && items == m_items && m_form && shape() == m_shape) {
        refresh();
        return;
    }
    m_subject = subject;
    m_items = items;
    rebuild();
}

std::string Inspector::shape() const {
    // What decides which editors the form has besides the subject: a band there or not, the type of a
    // field (the formats offered), the fields a group can be keyed by, the kinds of the items.
    const Template& t = m_doc.tmpl();
    std::string s;
    switch (m_subject.kind) {
    case DesignSubject::Kind::Band:
        if (const Band* b = design::FindBand(t, m_subject.band)) s += b->present ? 'p' : 'a';
        if (m_subject.band.slot == BandSlot::GroupHeader || m_subject.band.slot == BandSlot::GroupFooter)
            for (const Declared& f : t.fields)
                s += f.name + ',';
        break;
    case DesignSubject::Kind::Field:
    case DesignSubject::Kind::Parameter: {
        const auto& list = design::DeclaredList(
            t, m_subject.kind == DesignSubject::Kind::Field ? DeclaredKind::Field : DeclaredKind::Parameter);
        if (m_subject.index >= 0 && size_t(m_subject.index) < list.size())
            s = list[size_t(m_subject.index)].type;
        break;
    }
    case DesignSubject::Kind::Group:
        for (const Declared& f : t.fields)
            s += f.name + ',';
        break;
    case DesignSubject::Kind::Items:
        for (const ItemRef& r : m_items)
            if (const Item* it = design::FindItem(t, r))
                s += char('0' + int(it->kind)) + std::to_string(it->rules.size()) + ',';
        break;
    default:
        break;
    }
    return s;
}

void Inspector::refresh() {
    for (const Row& r : m_rows)
        r.refresh();
}

void Inspector::clearForm() {
    m_rows.clear();
    // The old form goes later: this may run inside a signal of one of its editors (a type picked, a
    // band added), which must not be deleted under its own feet. Its editors say nothing more.
    if (QWidget* old = takeWidget()) {
        for (QObject* child : old->findChildren<QObject*>())
            QObject::disconnect(child, nullptr, this, nullptr);
        old->hide();
        old->deleteLater();
    }
    m_form = new QWidget;
    m_layout = new QFormLayout(m_form);
    m_layout->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_layout->setLabelAlignment(Qt::AlignRight);
    m_layout->setFormAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_layout->setContentsMargins(8, 6, 8, 8);
    m_layout->setVerticalSpacing(5);
    setWidget(m_form);
}

void Inspector::heading(const QString& text) {
    auto* h = new QLabel(text);
    h->setWordWrap(true); // a long heading wraps in a narrow panel rather than being cut
    QFont f = h->font();
    f.setBold(true);
    h->setFont(f);
    h->setStyleSheet(
        QStringLiteral("QLabel { color: #1f2937; padding-top: 6px; border-bottom: 1px solid #e5e7eb; }"));
    m_layout->addRow(h);
}

QLabel* Inspector::label(const QString& text) {
    return new QLabel(text);
}

void Inspector::addRow(const QString& text, QWidget* editor, std::function<void()> refresh,
                       std::function<bool()> overridden) {
    QLabel* l = label(text);
    editor->setMinimumWidth(60);
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(4);
    }
    m_layout->addRow(l, editor);
    m_rows.push_back({[l, refresh = std::move(refresh), overridden = std::move(overridden)] {
        if (refresh) refresh();
        if (overridden) {
            QFont f = l->font();
            f.setBold(overridden());
            l->setFont(f);
            l->setToolTip(overridden() ? QStringLiteral("此项改写了样式的值") : QString());
        }
    }});
    m_rows.back().refresh();
}

void Inspector::done(bool changed) {
    if (changed) emit edited();
}

void Inspector::rebuild() {
    clearForm();
    m_shape = shape();
    const Template& t = m_doc.tmpl();
    switch (m_subject.kind) {
    case DesignSubject::Kind::Report:
        buildReport();
        break;
    case DesignSubject::Kind::Items:
        if (m_items.empty()) {
            m_subject = {};
            buildReport();
        } else {
            buildItems();
        }
        break;
    case DesignSubject::Kind::Band:
        if (design::FindBand(t, m_subject.band)) buildBand(m_subject.band);
        break;
    case DesignSubject::Kind::Field:
    case DesignSubject::Kind::Parameter: {
        const DeclaredKind kind =
            m_subject.kind == DesignSubject::Kind::Field ? DeclaredKind::Field : DeclaredKind::Parameter;
        if (m_subject.index >= 0 && size_t(m_subject.index) < design::DeclaredList(t, kind).size())
            buildDeclared(kind, m_subject.index);
        break;
    }
    case DesignSubject::Kind::Group:
        if (m_subject.index >= 0 && size_t(m_subject.index) < t.groups.size()) buildGroup(m_subject.index);
        break;
    case DesignSubject::Kind::Style:
        if (m_subject.index >= 0 && size_t(m_subject.index) < t.styles.size()) buildStyle(m_subject.index);
        break;
    }
}

void Inspector::addNumber(const QString& text, double min, double max, int decimals,
                          const std::function<std::optional<double>()>& get,
                          const std::function<bool(double)>& set, std::function<bool()> overridden) {
    auto* e = new NumberEdit(min, max, decimals);
    connect(e, &NumberEdit::committed, this, [this, set](double v) { done(set(v)); });
    addRow(
        text, e, [e, get] { e->setValue(get()); }, std::move(overridden));
}

void Inspector::addFormat(const QString& text, const std::string& type,
                          const std::function<std::optional<std::string>()>& get,
                          const std::function<bool(const std::string&)>& set,
                          std::function<bool()> overridden) {
    auto* box = new QWidget;
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    auto* combo = new QComboBox;
    combo->setEditable(true);
    // What is typed stays as typed: no completion to a longer offered format, nothing added to the list.
    combo->setCompleter(nullptr);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setObjectName(QStringLiteral("formatBox"));
    combo->addItem(QString());
    for (const std::string& f : design::CommonFormats(type))
        combo->addItem(Q(f));
    combo->setToolTip(QStringLiteral("显示格式，例如 #,##0.00、yyyy-MM-dd、大写金额"));
    auto* sample = new QLabel;
    sample->setWordWrap(true);
    sample->setStyleSheet(QStringLiteral("QLabel { color: #6b7280; }"));
    v->addWidget(combo);
    v->addWidget(sample);
    auto showSample = [sample, type](const QString& f) {
        sample->setText(f.isEmpty() ? QString()
                                    : QStringLiteral("示例：") + Q(design::FormatSample(S(f), type)));
    };
    connect(combo, &QComboBox::currentTextChanged, sample, showSample);
    auto commit = [this, combo, set, get] {
        const std::optional<std::string> now = get();
        if (now && *now == S(combo->currentText())) return;
        done(set(S(combo->currentText())));
    };
    connect(combo->lineEdit(), &QLineEdit::editingFinished, this, commit);
    connect(combo, &QComboBox::activated, this, commit);
    addRow(
        text, box,
        [combo, get, showSample] {
            const std::optional<std::string> f = get();
            const QSignalBlocker block(combo);
            combo->setEditText(f ? Q(*f) : QString());
            combo->lineEdit()->setPlaceholderText(f ? QString() : QStringLiteral("（多个值）"));
            showSample(combo->currentText());
        },
        std::move(overridden));
}

// ---- the report ----

void Inspector::buildReport() {
    heading(QStringLiteral("报表"));
    auto* title = new QLineEdit;
    title->setToolTip(QStringLiteral("报表的标题；参数 title 的默认值与它相同时随之改变。"
                                     "{#title} 打印时，打印请求的报表名（repname）优先"));
    connect(title, &QLineEdit::editingFinished, this, [this, title] {
        if (S(title->text()) != m_doc.tmpl().title) done(design::SetTitle(m_doc, S(title->text())));
    });
    addRow(QStringLiteral("标题"), title, [this, title] {
        if (title->text() != Q(m_doc.tmpl().title)) title->setText(Q(m_doc.tmpl().title));
    });
    auto* printer = new QComboBox;
    printer->setEditable(true);
    printer->addItem(QString());
    printer->addItems(QPrinterInfo::availablePrinterNames());
    printer->lineEdit()->setPlaceholderText(QStringLiteral("（系统默认打印机）"));
    connect(printer->lineEdit(), &QLineEdit::editingFinished, this, [this, printer] {
        if (S(printer->currentText()) != m_doc.tmpl().printer)
            done(design::SetPrinter(m_doc, S(printer->currentText())));
    });
    connect(printer, &QComboBox::activated, this,
            [this, printer] { done(design::SetPrinter(m_doc, S(printer->currentText()))); });
    addRow(QStringLiteral("打印机"), printer, [this, printer] {
        const QSignalBlocker block(printer);
        printer->setEditText(Q(m_doc.tmpl().printer));
    });

    heading(QStringLiteral("页面（毫米）"));
    auto setPage = [this](const std::function<void(PageSetup&)>& change) {
        PageSetup p = m_doc.tmpl().page;
        change(p);
        const design::EditResult r = design::SetPage(m_doc, p);
        if (!r.error.empty()) QMessageBox::warning(this, QStringLiteral("页面设置"), Q(r.error));
        done(r.changed);
        if (!r.changed) refresh();
        return r.changed;
    };
    auto* paper = new QComboBox;
    for (const char* name : kPapers)
        paper->addItem(name == std::string("Custom") ? QStringLiteral("自定义") : QString::fromLatin1(name));
    connect(paper, &QComboBox::activated, this, [setPage](int i) {
        setPage([i](PageSetup& p) {
            p.paper = kPapers[i];
            if (p.paper == "Custom") return;
            PaperSize(p.paper, p.width, p.height);
        });
    });
    addRow(QStringLiteral("纸张"), paper, [this, paper] {
        int at = -1;
        for (int i = 0; i < int(std::size(kPapers)); ++i)
            if (m_doc.tmpl().page.paper == kPapers[i]) at = i;
        setCombo(paper, at);
    });
    addNumber(
        QStringLiteral("纸宽"), 10, 5000, 1, [this] { return std::optional(m_doc.tmpl().page.width); },
        [setPage](double v) { return setPage([v](PageSetup& p) { p.paper = "Custom", p.width = v; }); });
    addNumber(
        QStringLiteral("纸高"), 10, 5000, 1, [this] { return std::optional(m_doc.tmpl().page.height); },
        [setPage](double v) { return setPage([v](PageSetup& p) { p.paper = "Custom", p.height = v; }); });
    auto* orientation = new QComboBox;
    orientation->addItems({QStringLiteral("纵向"), QStringLiteral("横向")});
    connect(orientation, &QComboBox::activated, this,
            [setPage](int i) { setPage([i](PageSetup& p) { p.landscape = i == 1; }); });
    addRow(QStringLiteral("方向"), orientation,
           [this, orientation] { setCombo(orientation, m_doc.tmpl().page.landscape ? 1 : 0); });
    struct Margin {
        const char* label;
        double PageSetup::*member;
    };
    for (const Margin& m :
         {Margin{"左边距", &PageSetup::marginLeft}, Margin{"上边距", &PageSetup::marginTop},
          Margin{"右边距", &PageSetup::marginRight}, Margin{"下边距", &PageSetup::marginBottom}}) {
        const auto member = m.member;
        addNumber(
            QString::fromUtf8(m.label), 0, 1000, 2,
            [this, member] { return std::optional(m_doc.tmpl().page.*member); },
            [setPage, member](double v) { return setPage([v, member](PageSetup& p) { p.*member = v; }); });
    }
}

// ---- items ----

void Inspector::buildItems() {
    auto items = [this] {
        std::vector<const Item*> out;
        for (const ItemRef& r : m_items)
            if (const Item* it = design::FindItem(m_doc.tmpl(), r)) out.push_back(it);
        return out;
    };
    const auto now = items();
    auto allOf = [&](ItemKind k) {
        return std::all_of(now.begin(), now.end(), [k](const Item* i) { return i->kind == k; });
    };
    static const char* const kKindNames[] = {"文本", "线条", "矩形", "图片", "条码"};
    heading((now.size() == 1 ? QString::fromUtf8(kKindNames[int(now.front()->kind)])
                             : QStringLiteral("%1 个项目").arg(now.size())) +
            QStringLiteral("（位置和大小以毫米计）"));

    // Position and size.
    struct Coord {
        const char* label;
        double Item::*member;
    };
    for (const Coord& c :
         {Coord{"X", &Item::x}, Coord{"Y", &Item::y}, Coord{"宽", &Item::w}, Coord{"高", &Item::h}}) {
        const auto member = c.member;
        const bool size = member == &Item::w || member == &Item::h;
        addNumber(
            QString::fromUtf8(c.label), size ? -5000 : 0, 5000, 2,
            [items, member] {
                return shared<double>(items(), [member](const Item* i) { return i->*member; });
            },
            [this, member](double v) {
                std::vector<std::pair<ItemRef, design::RectMm>> g;
                for (const ItemRef& r : m_items)
                    if (const Item* it = design::FindItem(m_doc.tmpl(), r)) {
                        Item copy = *it;
                        copy.*member = v;
                        g.emplace_back(r, design::RectMm{copy.x, copy.y, copy.w, copy.h});
                    }
                return design::SetItemGeometry(m_doc, g, "位置和大小");
            });
    }

    if (allOf(ItemKind::Text)) {
        auto* text = new TextBlockEdit;
        text->setToolTip(QStringLiteral("文字，{字段}、{$参数}、{#page} 等引用在打印时填入"));
        connect(text, &TextBlockEdit::committed, this, [this](const QString& v) {
            done(design::UpdateItems(m_doc, m_items, "编辑文本", [s = S(v)](Item& it) { it.text = s; }));
        });
        addRow(QStringLiteral("文字"), text, [items, text] {
            const auto v = shared<std::string>(items(), [](const Item* i) { return i->text; });
            text->setText(v ? std::optional(Q(*v)) : std::nullopt);
        });
        auto* fx = new QPushButton(QStringLiteral("ƒx 表达式…"));
        fx->setObjectName(QStringLiteral("expressionButton"));
        fx->setToolTip(QStringLiteral("插入字段、参数、函数和汇总，输入时检查 (Ctrl+E)"));
        // Queued: the editor's edit rebuilds this form, and with it this button.
        connect(fx, &QPushButton::clicked, this, &Inspector::expressionRequested, Qt::QueuedConnection);
        addRow(QString(), fx, [] {});
    }
    if (allOf(ItemKind::Barcode)) {
        auto* kind = new QComboBox;
        for (const char* s : kSymbologies)
            kind->addItem(QString::fromLatin1(s));
        connect(kind, &QComboBox::activated, this, [this](int i) {
            done(design::UpdateItems(m_doc, m_items, "条码类型",
                                     [i](Item& it) { it.symbology = kSymbologies[i]; }));
        });
        addRow(QStringLiteral("条码类型"), kind, [items, kind] {
            const auto v = shared<std::string>(items(), [](const Item* i) { return i->symbology; });
            int at = -1;
            for (int i = 0; v && i < int(std::size(kSymbologies)); ++i)
                if (*v == kSymbologies[i]) at = i;
            setCombo(kind, at);
        });
        auto* payload = new QLineEdit;
        payload->setToolTip(QStringLiteral("条码内容，可以是 {字段} 这样的引用"));
        connect(payload, &QLineEdit::editingFinished, this, [this, payload, items] {
            const auto v = shared<std::string>(items(), [](const Item* i) { return i->text; });
            if (v && *v == S(payload->text())) return;
            done(design::UpdateItems(m_doc, m_items, "条码内容",
                                     [s = S(payload->text())](Item& it) { it.text = s; }));
        });
        addRow(QStringLiteral("条码内容"), payload, [items, payload] {
            const auto v = shared<std::string>(items(), [](const Item* i) { return i->text; });
            payload->setPlaceholderText(v ? QString() : QStringLiteral("（多个值）"));
            if (payload->text() != Q(v.value_or(""))) payload->setText(Q(v.value_or("")));
        });
    }
    if (allOf(ItemKind::Image)) {
        auto* keep = new QCheckBox(QStringLiteral("保持比例"));
        connect(keep, &QCheckBox::clicked, this, [this](bool on) {
            done(design::UpdateItems(m_doc, m_items, "保持比例", [on](Item& it) { it.keepAspect = on; }));
        });
        addRow(QString(), keep, [items, keep] {
            setCheck(keep, shared<bool>(items(), [](const Item* i) { return i->keepAspect; }));
        });
        auto* pick = new QPushButton(QStringLiteral("更换图片…"));
        connect(pick, &QPushButton::clicked, this, &Inspector::imageRequested);
        m_layout->addRow(QString(), pick);
    }

    heading(QStringLiteral("样式（字号以磅、其余以毫米计）"));
    auto* style = new QComboBox;
    auto fillStyles = [this, style] {
        const QSignalBlocker block(style);
        style->clear();
        for (size_t i = 0; i < m_doc.tmpl().styles.size(); ++i)
            if (!m_doc.tmpl().styles[i].name.empty()) style->addItem(Q(m_doc.tmpl().styles[i].name), int(i));
    };
    fillStyles();
    connect(style, &QComboBox::activated, this, [this, style](int i) {
        done(design::SetItemsStyle(m_doc, m_items, style->itemData(i).toInt()));
    });
    addRow(QStringLiteral("样式"), style, [this, items, style] {
        const auto v =
            shared<int>(items(), [this](const Item* i) { return design::NamedStyleOf(m_doc.tmpl(), *i); });
        setCombo(style, v ? std::optional(style->findData(*v)) : std::nullopt);
    });
    auto* clear = new QPushButton(QStringLiteral("清除覆盖"));
    clear->setToolTip(QStringLiteral("去掉项目自己设置的样式值，完全使用所选样式"));
    connect(clear, &QPushButton::clicked, this, [this] {
        bool changed = false;
        for (const ItemRef& r : m_items)
            if (const Item* it = design::FindItem(m_doc.tmpl(), r))
                changed =
                    design::SetItemsStyle(m_doc, {r}, design::NamedStyleOf(m_doc.tmpl(), *it)) || changed;
        done(changed);
    });
    m_layout->addRow(QString(), clear);

    StyleTarget target;
    target.styles = [this, items] {
        std::vector<const TextStyle*> out;
        const auto& styles = m_doc.tmpl().styles;
        for (const Item* it : items())
            out.push_back(
                &styles[size_t(it->style >= 0 && size_t(it->style) < styles.size() ? it->style : 0)]);
        return out;
    };
    target.change = [this](const QString& name, const StyleChange& change, uint32_t clearKeys) {
        return design::OverrideItemsStyle(m_doc, m_items, S(name), change, clearKeys);
    };
    const bool lineOnly = allOf(ItemKind::Line);
    const bool noText = std::none_of(now.begin(), now.end(), [](const Item* i) {
        return i->kind == ItemKind::Text || i->kind == ItemKind::Barcode;
    });
    buildStyleKeys(target, !lineOnly && !noText, true);
    if (m_items.size() == 1 && now.size() == 1) buildRules(m_items.front());
}

// Conditional formatting of one item: each rule's condition, the style it applies and whether the item
// shows; the first rule that holds on a row applies.
void Inspector::buildRules(ItemRef ref) {
    heading(QStringLiteral("条件格式（第一条成立的规则生效）"));
    auto rule = [this, ref](size_t r) -> const StyleRule* {
        const Item* it = design::FindItem(m_doc.tmpl(), ref);
        return it && r < it->rules.size() ? &it->rules[r] : nullptr;
    };
    auto change = [this, ref](const char* name, const std::function<void(std::vector<StyleRule>&)>& edit) {
        done(design::UpdateItems(m_doc, {ref}, name, [&edit](Item& it) { edit(it.rules); }));
    };
    const size_t count = design::FindItem(m_doc.tmpl(), ref)->rules.size();
    for (size_t r = 0; r < count; ++r) {
        auto* box = new QWidget;
        auto* lines = new QVBoxLayout(box);
        lines->setContentsMargins(0, 0, 0, 0);
        lines->setSpacing(3);
        auto* row = new QHBoxLayout;
        auto* when = new QLineEdit;
        when->setObjectName(QStringLiteral("ruleWhen"));
        when->setPlaceholderText(QStringLiteral("条件，如 amount >= 10000"));
        auto* style = new QComboBox;
        style->setObjectName(QStringLiteral("ruleStyle"));
        style->addItem(QStringLiteral("样式不变"), QString());
        for (const TextStyle& st : m_doc.tmpl().styles)
            if (!st.name.empty() && st.name != "default") style->addItem(Q(st.name), Q(st.name));
        auto* shown = new QCheckBox(QStringLiteral("显示"));
        shown->setObjectName(QStringLiteral("ruleVisible"));
        auto* remove = new QPushButton(QStringLiteral("删除"));
        lines->addWidget(when); // the condition gets the whole width, its effect the line below
        lines->addLayout(row);
        row->addWidget(style, 1);
        row->addWidget(shown);
        row->addWidget(remove);
        connect(when, &QLineEdit::editingFinished, this, [when, r, rule, change] {
            const StyleRule* now = rule(r);
            if (now && now->when != S(when->text()))
                change("条件格式",
                       [r, v = S(when->text())](std::vector<StyleRule>& rules) { rules[r].when = v; });
        });
        connect(style, &QComboBox::activated, this, [style, r, change](int i) {
            change("条件格式", [r, v = S(style->itemData(i).toString())](std::vector<StyleRule>& rules) {
                rules[r].style = v;
            });
        });
        connect(shown, &QCheckBox::clicked, this, [r, change](bool on) {
            change("条件格式", [r, on](std::vector<StyleRule>& rules) { rules[r].visible = on; });
        });
        connect(remove, &QPushButton::clicked, this, [r, change] {
            change("删除条件格式",
                   [r](std::vector<StyleRule>& rules) { rules.erase(rules.begin() + long(r)); });
        });
        addRow(QStringLiteral("规则 %1").arg(r + 1), box, [this, when, style, shown, r, rule] {
            const StyleRule* now = rule(r);
            if (!now) return;
            if (!when->hasFocus()) when->setText(Q(now->when));
            // A condition that cannot be read is marked with why and where.
            const auto problems = CheckCondition(now->when, m_doc.tmpl());
            const bool broken = !problems.empty() && problems.front().broken;
            when->setStyleSheet(broken ? QStringLiteral("background: #fee2e2") : QString());
            when->setToolTip(broken
                                 ? QStringLiteral("第 %1 个字符：%2")
                                       .arg(problems.front().character)
                                       .arg(Q(problems.front().message))
                                 : QStringLiteral("成立时套用右边的样式（颜色、粗细、斜体、下划线、背景）"));
            setCombo(style, style->findData(Q(now->style)));
            setCheck(shown, now->visible);
        });
    }
    auto* add = new QPushButton(QStringLiteral("添加条件格式"));
    add->setObjectName(QStringLiteral("addRule"));
    connect(add, &QPushButton::clicked, this, [this, change] {
        // A condition to start from: the first number field above zero.
        std::string when = "#row % 2 = 0";
        for (const Declared& f : m_doc.tmpl().fields)
            if (f.type == "integer" || f.type == "decimal" || f.type == "currency") {
                when = f.name + " > 0";
                break;
            }
        change("添加条件格式", [when](std::vector<StyleRule>& rules) {
            rules.push_back({when, "", true, {}});
        });
    });
    m_layout->addRow(QString(), add);
}

// Editors for the keys of a style; for items they set overrides, for a named style its own keys.
void Inspector::buildStyleKeys(const StyleTarget& target, bool withText, bool forItems) {
    // Items: a key set by an item's own inline style; a named style: a key it sets itself.
    auto overridden = [target, forItems](uint32_t key) {
        return [target, key, forItems] {
            for (const TextStyle* s : target.styles())
                if ((s->own & key) && (!forItems || s->name.empty())) return true;
            return false;
        };
    };
    auto get = [target](auto read) {
        using T = decltype(read(std::declval<const TextStyle&>()));
        return [target, read]() -> std::optional<T> {
            return shared<T>(target.styles(), [read](const TextStyle* s) { return read(*s); });
        };
    };

    auto text = [](std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); };
    // Reads one key of a style, as `T`.
    auto value = [](const StyleKeyInfo& key, auto type) {
        using T = decltype(type);
        return [k = &key](const TextStyle& s) {
            T out{};
            VisitStyleKey(*k, s, [&](const auto& field) {
                if constexpr (std::is_same_v<std::decay_t<decltype(field)>, T>) out = field;
            });
            return out;
        };
    };
    // Sets one key of the target styles, as one undo step.
    auto change = [target, text](const StyleKeyInfo& key, auto v) {
        using V = decltype(v);
        return target.change(
            text(key.undo.empty() ? key.label : key.undo),
            [k = &key, v](TextStyle& s) {
                VisitStyleKey(*k, s, [&](auto& field) {
                    if constexpr (std::is_same_v<std::decay_t<decltype(field)>, V>) field = v;
                });
            },
            0);
    };

    // The keys text items use first, then those every item has.
    for (const bool textKeys : {true, false}) {
        if (textKeys && !withText) continue;
        for (size_t i = 0; i < kStyleKeys.size(); ++i) {
            const StyleKeyInfo& key = kStyleKeys[i];
            if (key.textOnly != textKeys) continue;
            const QString label = text(key.label);
            if (!key.row.empty()) {
                // Check boxes of the keys sharing the row, side by side.
                auto* row = new QWidget;
                auto* rl = new QHBoxLayout(row);
                rl->setContentsMargins(0, 0, 0, 0);
                std::vector<std::function<void()>> refresh;
                uint32_t keys = 0;
                for (; i < kStyleKeys.size() && kStyleKeys[i].row == key.row; ++i) {
                    const StyleKeyInfo& k = kStyleKeys[i];
                    auto* box = new QCheckBox(text(k.label));
                    if (!k.tip.empty()) box->setToolTip(text(k.tip));
                    connect(box, &QCheckBox::clicked, this,
                            [this, change, kp = &k](bool on) { done(change(*kp, on)); });
                    rl->addWidget(box);
                    refresh.push_back([box, g = get(value(k, bool{}))] { setCheck(box, g()); });
                    keys |= k.bit;
                }
                --i;
                if (keys == kStyleBorderSides) {
                    auto* all = new QToolButton;
                    all->setText(QStringLiteral("全部"));
                    connect(all, &QToolButton::clicked, this, [this, target] {
                        done(target.change(
                            QStringLiteral("边框"),
                            [](TextStyle& s) {
                                const bool on =
                                    !(s.borders.left && s.borders.top && s.borders.right && s.borders.bottom);
                                s.borders.left = s.borders.top = s.borders.right = s.borders.bottom = on;
                            },
                            0));
                    });
                    rl->addWidget(all);
                }
                rl->addStretch();
                addRow(
                    text(key.row), row,
                    [refresh] {
                        for (const auto& r : refresh)
                            r();
                    },
                    overridden(keys));
                continue;
            }
            switch (key.kind) {
            case StyleValueKind::FontFamily: {
                auto* font = new QFontComboBox;
                font->setEditable(true);
                connect(font, &QFontComboBox::activated, this,
                        [this, change, k = &key, font] { done(change(*k, S(font->currentText()))); });
                addRow(
                    label, font,
                    [font, g = get(value(key, std::string{}))] {
                        const QSignalBlocker block(font);
                        const auto f = g();
                        font->setEditText(f ? Q(*f) : QString());
                    },
                    overridden(key.bit));
                break;
            }
            case StyleValueKind::Text:
                addFormat(
                    label, std::string(), get(value(key, std::string{})),
                    [change, k = &key](const std::string& f) { return change(*k, f); }, overridden(key.bit));
                break;
            case StyleValueKind::Number:
                addNumber(
                    label, key.min, key.max, key.decimals, get(value(key, double{})),
                    [change, k = &key](double v) { return change(*k, v); }, overridden(key.bit));
                break;
            case StyleValueKind::Colour: {
                auto* colour = new ColourButton;
                connect(colour, &ColourButton::committed, this,
                        [this, change, k = &key](uint32_t c) { done(change(*k, c)); });
                addRow(
                    label, colour, [colour, g = get(value(key, uint32_t{}))] { colour->setColour(g()); },
                    overridden(key.bit));
                break;
            }
            case StyleValueKind::HAlign:
            case StyleValueKind::VAlign: {
                const bool h = key.kind == StyleValueKind::HAlign;
                auto* align = new QComboBox;
                if (h)
                    align->addItems({QStringLiteral("左对齐"), QStringLiteral("居中"),
                                     QStringLiteral("右对齐"), QStringLiteral("两端对齐")});
                else
                    align->addItems({QStringLiteral("顶端"), QStringLiteral("居中"), QStringLiteral("底端")});
                connect(align, &QComboBox::activated, this, [this, change, k = &key, h](int at) {
                    done(h ? change(*k, HAlign(at)) : change(*k, VAlign(at)));
                });
                auto index = [h, ha = value(key, HAlign{}), va = value(key, VAlign{})](const TextStyle& s) {
                    return h ? int(ha(s)) : int(va(s));
                };
                addRow(
                    label, align, [align, g = get(index)] { setCombo(align, g()); }, overridden(key.bit));
                break;
            }
            case StyleValueKind::Boolean: // check boxes share a row, above
                break;
            }
        }
    }
}

// ---- bands ----

void Inspector::buildBand(BandRef band) {
    const Template& t = m_doc.tmpl();
    heading(QStringLiteral("带区：") + Q(design::BandLabel(t, band)) + QStringLiteral("（毫米）"));
    const Band* b = design::FindBand(t, band);
    if (!b->present) {
        auto* add = new QPushButton(QStringLiteral("添加此带区"));
        connect(add, &QPushButton::clicked, this,
                [this, band] { done(design::SetBandPresent(m_doc, band, true)); });
        m_layout->addRow(add);
        return;
    }
    addNumber(
        QStringLiteral("高度"), 0, 5000, 2,
        [this, band] { return std::optional(design::FindBand(m_doc.tmpl(), band)->height); },
        [this, band](double v) { return design::SetBandHeight(m_doc, band, v); });
    // Page options of the band: what the engine reads for this kind of band only.
    const struct {
        const char* label;
        const char* tip;
        bool Band::*member;
        bool shown;
    } flags[] = {
        {"不跨页拆分", "整个带区放不下时移到下一页（比一页还高时照常拆分）", &Band::keepTogether,
         band.slot != BandSlot::PageHeader && band.slot != BandSlot::PageFooter},
        {"与明细同页", "分组尾不单独出现在新页顶部：带上前一行明细", &Band::keepWithDetail,
         band.slot == BandSlot::GroupFooter},
        {"打印在页底", "报表尾打印在最后一页的底部、页脚之上", &Band::printAtBottom,
         band.slot == BandSlot::ReportFooter},
    };
    for (const auto& f : flags) {
        if (!f.shown) continue;
        auto* box = new QCheckBox(QString::fromUtf8(f.label));
        box->setToolTip(QString::fromUtf8(f.tip));
        const auto member = f.member;
        connect(box, &QCheckBox::clicked, this, [this, band, member, box](bool on) {
            done(design::UpdateBand(m_doc, band, S(box->text()),
                                    [member, on](Band& live) { live.*member = on; }));
        });
        addRow(QString(), box, [this, band, member, box] {
            if (const Band* now = design::FindBand(m_doc.tmpl(), band)) setCheck(box, now->*member);
        });
    }
    if (band.slot == BandSlot::Detail) {
        heading(QStringLiteral("分栏（标签纸）"));
        auto setColumns = [this](const std::function<void(Columns&)>& change) {
            Columns c = m_doc.tmpl().detail.columns;
            change(c);
            const design::EditResult r = design::SetColumns(m_doc, c);
            if (!r.error.empty()) QMessageBox::warning(this, QStringLiteral("分栏"), Q(r.error));
            if (!r.changed) refresh();
            return r.changed;
        };
        addNumber(
            QStringLiteral("栏数"), 1, 100, 0,
            [this] { return std::optional<double>(m_doc.tmpl().detail.columns.count); },
            [setColumns](double v) { return setColumns([v](Columns& c) { c.count = int(v); }); });
        addNumber(
            QStringLiteral("栏宽"), 0, 5000, 2,
            [this] { return std::optional(m_doc.tmpl().detail.columns.width); },
            [setColumns](double v) { return setColumns([v](Columns& c) { c.width = v; }); });
        addNumber(
            QStringLiteral("栏距"), 0, 5000, 2,
            [this] { return std::optional(m_doc.tmpl().detail.columns.spacing); },
            [setColumns](double v) { return setColumns([v](Columns& c) { c.spacing = v; }); });
        auto* order = new QComboBox;
        order->addItems({QStringLiteral("先横后竖"), QStringLiteral("先竖后横")});
        connect(order, &QComboBox::activated, this,
                [this, setColumns](int i) { done(setColumns([i](Columns& c) { c.down = i == 1; })); });
        addRow(QStringLiteral("排列顺序"), order,
               [this, order] { setCombo(order, m_doc.tmpl().detail.columns.down ? 1 : 0); });
    }
    const bool groupBand = band.slot == BandSlot::GroupHeader || band.slot == BandSlot::GroupFooter;
    auto* remove = new QPushButton(groupBand ? QStringLiteral("关闭此带区") : QStringLiteral("删除此带区"));
    remove->setToolTip(QStringLiteral("带区和其中的项目一起删除"));
    connect(remove, &QPushButton::clicked, this,
            [this, band] { done(design::SetBandPresent(m_doc, band, false)); });
    m_layout->addRow(remove);
    if (groupBand) buildGroup(band.group);
}

// ---- fields and parameters ----

void Inspector::buildDeclared(DeclaredKind kind, int index) {
    const bool field = kind == DeclaredKind::Field;
    heading(field ? QStringLiteral("字段") : QStringLiteral("参数"));
    auto current = [this, kind, index]() -> const Declared& {
        return design::DeclaredList(m_doc.tmpl(), kind)[size_t(index)];
    };
    auto* name = new QLineEdit;
    connect(name, &QLineEdit::editingFinished, this, [this, name, kind, index, current] {
        const std::string to = S(name->text().trimmed());
        const std::string from = current().name;
        if (to == from) return;
        bool rewrite = false;
        if (const int uses = design::CountReferences(m_doc.tmpl(), kind, from); uses > 0) {
            const auto answer = QMessageBox::question(
                this, QStringLiteral("重命名"),
                QStringLiteral("有 %1 处引用了“%2”。同时把它们改为“%3”吗？").arg(uses).arg(Q(from), Q(to)),
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
            if (answer == QMessageBox::Cancel) {
                name->setText(Q(from));
                return;
            }
            rewrite = answer == QMessageBox::Yes;
        }
        const design::EditResult r = design::RenameDeclared(m_doc, kind, index, to, rewrite);
        if (!r.error.empty()) {
            QMessageBox::warning(this, QStringLiteral("重命名"), Q(r.error));
            name->setText(Q(from));
        }
        done(r.changed);
        if (r.changed && kind == DeclaredKind::Field) emit fieldNamed(index);
    });
    addRow(QStringLiteral("名称"), name, [name, current] {
        if (!name->hasFocus() && name->text() != Q(current().name)) name->setText(Q(current().name));
    });
    auto* type = new QComboBox;
    type->setObjectName(QStringLiteral("typeBox"));
    for (const char* n : kTypeNames)
        type->addItem(QString::fromUtf8(n));
    connect(type, &QComboBox::activated, this, [this, kind, index, current](int i) {
        Declared d = current();
        d.type = kTypes[i];
        // The designer shows the change again; the form is rebuilt there, for the formats of the type.
        done(bool(design::UpdateDeclared(m_doc, kind, index, d)));
    });
    addRow(QStringLiteral("类型"), type, [type, current] {
        int at = -1;
        for (int i = 0; i < int(std::size(kTypes)); ++i)
            if (current().type == kTypes[i]) at = i;
        setCombo(type, at);
    });
    addFormat(
        QStringLiteral("显示格式"), current().type, [current] { return std::optional(current().format); },
        [this, kind, index, current](const std::string& f) {
            Declared d = current();
            d.format = f;
            return bool(design::UpdateDeclared(m_doc, kind, index, d));
        });
    if (!field) {
        auto* def = new QLineEdit;
        def->setPlaceholderText(QStringLiteral("打印请求没有给出时使用"));
        connect(def, &QLineEdit::editingFinished, this, [this, def, kind, index, current] {
            if (S(def->text()) == current().defaultValue) return;
            Declared d = current();
            d.defaultValue = S(def->text());
            done(bool(design::UpdateDeclared(m_doc, kind, index, d)));
        });
        addRow(QStringLiteral("默认值"), def, [def, current] {
            if (def->text() != Q(current().defaultValue)) def->setText(Q(current().defaultValue));
        });
    }
    auto* uses = new QLabel;
    uses->setWordWrap(true);
    uses->setStyleSheet(QStringLiteral("QLabel { color: #6b7280; }"));
    addRow(QString(), uses, [this, uses, kind, current] {
        const int n = design::CountReferences(m_doc.tmpl(), kind, current().name);
        uses->setText(n ? QStringLiteral("被引用 %1 处").arg(n) : QStringLiteral("没有被引用"));
    });
}

// ---- groups ----

void Inspector::buildGroup(int index) {
    heading(QStringLiteral("分组"));
    auto group = [this, index]() -> const Group& { return m_doc.tmpl().groups[size_t(index)]; };
    auto update = [this, index](const std::function<void(Group&)>& change) {
        const design::EditResult r = design::UpdateGroup(m_doc, index, change);
        if (!r.error.empty()) QMessageBox::warning(this, QStringLiteral("分组"), Q(r.error));
        if (!r.changed) refresh();
        return r.changed;
    };
    auto* name = new QLineEdit;
    connect(name, &QLineEdit::editingFinished, this, [this, name, group, update] {
        if (S(name->text()) != group().name) done(update([n = S(name->text())](Group& g) { g.name = n; }));
    });
    addRow(QStringLiteral("名称"), name, [name, group] {
        if (name->text() != Q(group().name)) name->setText(Q(group().name));
    });
    auto* by = new QListWidget;
    by->setToolTip(QStringLiteral("这些字段的值都相同的相邻各行成为一组"));
    by->setMaximumHeight(110);
    for (const Declared& f : m_doc.tmpl().fields) {
        auto* it = new QListWidgetItem(Q(f.name), by);
        it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    }
    connect(by, &QListWidget::itemChanged, this, [this, by, update] {
        std::vector<std::string> fields;
        for (int i = 0; i < by->count(); ++i)
            if (by->item(i)->checkState() == Qt::Checked) fields.push_back(S(by->item(i)->text()));
        done(update([fields](Group& g) { g.fields = fields; }));
    });
    addRow(QStringLiteral("分组字段"), by, [by, group] {
        const QSignalBlocker block(by);
        for (int i = 0; i < by->count(); ++i) {
            const auto& f = group().fields;
            const bool on = std::find(f.begin(), f.end(), S(by->item(i)->text())) != f.end();
            by->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
        }
    });
    struct Flag {
        const char* label;
        const char* tip;
        std::function<bool(const Group&)> read;
        std::function<void(Group&, bool)> write;
    };
    const Flag flags[] = {
        {"每组换页", "第一组之后，每组从新的一页开始", [](const Group& g) { return g.newPage; },
         [](Group& g, bool on) { g.newPage = on; }},
        {"跨页重复组头", "一组跨到下一页时，在新页上再打印组头",
         [](const Group& g) { return g.repeatHeader; }, [](Group& g, bool on) { g.repeatHeader = on; }},
        {"显示组头", "", [](const Group& g) { return g.header.present; },
         [](Group& g, bool on) { g.header.present = on; }},
        {"显示组尾", "", [](const Group& g) { return g.footer.present; },
         [](Group& g, bool on) { g.footer.present = on; }},
    };
    for (const Flag& f : flags) {
        auto* box = new QCheckBox(QString::fromUtf8(f.label));
        box->setToolTip(QString::fromUtf8(f.tip));
        connect(box, &QCheckBox::clicked, this, [this, update, write = f.write](bool on) {
            done(update([write, on](Group& g) { write(g, on); }));
        });
        addRow(QString(), box, [box, group, read = f.read] { setCheck(box, read(group())); });
    }
}

// ---- named styles ----

void Inspector::buildStyle(int index) {
    heading(QStringLiteral("样式"));
    auto style = [this, index]() -> const TextStyle& { return m_doc.tmpl().styles[size_t(index)]; };
    auto* name = new QLineEdit;
    name->setEnabled(index != 0);
    connect(name, &QLineEdit::editingFinished, this, [this, name, index, style] {
        if (S(name->text()) == style().name) return;
        const design::EditResult r = design::RenameStyle(m_doc, index, S(name->text().trimmed()));
        if (!r.error.empty()) {
            QMessageBox::warning(this, QStringLiteral("样式"), Q(r.error));
            name->setText(Q(style().name));
        }
        done(r.changed);
    });
    addRow(QStringLiteral("名称"), name, [name, style] {
        if (!name->hasFocus() && name->text() != Q(style().name)) name->setText(Q(style().name));
    });
    if (index != 0) {
        auto* base = new QComboBox;
        connect(base, &QComboBox::activated, this, [this, base, index] {
            const design::EditResult r = design::SetStyleBase(m_doc, index, S(base->currentText()));
            if (!r.error.empty()) QMessageBox::warning(this, QStringLiteral("样式"), Q(r.error));
            done(r.changed);
            if (!r.changed) refresh();
        });
        addRow(QStringLiteral("基于"), base, [this, base, style] {
            const QSignalBlocker block(base);
            base->clear();
            for (const TextStyle& s : m_doc.tmpl().styles)
                if (!s.name.empty() && s.name != style().name) base->addItem(Q(s.name));
            base->setCurrentIndex(
                base->findText(style().base.empty() ? QStringLiteral("default") : Q(style().base)));
        });
    }
    auto* users = new QLabel;
    users->setWordWrap(true);
    users->setStyleSheet(QStringLiteral("QLabel { color: #6b7280; }"));
    addRow(QString(), users, [this, users, index] {
        users->setText(QStringLiteral("%1 个项目使用此样式；粗体的是此样式自己设置的值")
                           .arg(design::StyleUsers(m_doc.tmpl(), index)));
    });
    StyleTarget target;
    target.styles = [style] { return std::vector<const TextStyle*>{&style()}; };
    target.change = [this, index](const QString&, const StyleChange& change, uint32_t clear) {
        return design::UpdateStyle(m_doc, index, change, clear);
    };
    buildStyleKeys(target, true, false);
    if (index != 0) {
        auto* reset = new QPushButton(QStringLiteral("全部恢复为继承的值"));
        connect(reset, &QPushButton::clicked, this, [this, index, style] {
            done(design::UpdateStyle(
                m_doc, index, [](TextStyle&) {}, style().own));
        });
        m_layout->addRow(reset);
    }
}

} // namespace verolux::reports
