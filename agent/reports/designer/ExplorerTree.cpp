#include "agent/reports/designer/ExplorerTree.h"

#include "agent/reports/design/StructureEdits.h"
#include "agent/reports/design/StyleEdits.h"
#include "agent/reports/designer/DesignCanvas.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QSet>

#include <algorithm>

namespace verolux::reports {

using design::BandRef;
using design::DeclaredKind;

namespace {

constexpr int kSubjectRole = Qt::UserRole;       // DesignSubject::Kind, or -1 for a section
constexpr int kIndexRole = Qt::UserRole + 1;     // index of the field, group, style
constexpr int kBandSlotRole = Qt::UserRole + 2;  // band slot
constexpr int kBandGroupRole = Qt::UserRole + 3; // band's group
constexpr int kReferenceRole = Qt::UserRole + 4; // text a drag inserts
constexpr int kSectionRole = Qt::UserRole + 5;   // section key
constexpr int kTitleRole = Qt::UserRole + 6;     // the column title of a dragged reference
constexpr int kNoSubject = -2;                   // a node that only drags (system values)

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

DesignSubject subjectOf(const QTreeWidgetItem* item) {
    DesignSubject s;
    s.kind = static_cast<DesignSubject::Kind>(item->data(0, kSubjectRole).toInt());
    s.index = item->data(0, kIndexRole).toInt();
    s.band = BandRef{static_cast<design::BandSlot>(item->data(0, kBandSlotRole).toInt()),
                     item->data(0, kBandGroupRole).toInt()};
    return s;
}

QString typeName(const std::string& type) {
    static const char* const names[][2] = {{"text", "文本"},     {"integer", "整数"},
                                           {"decimal", "小数"},  {"currency", "金额"},
                                           {"boolean", "是/否"}, {"datetime", "日期时间"}};
    for (const auto& n : names)
        if (type == n[0]) return QString::fromUtf8(n[1]);
    return QString::fromStdString(type);
}

const char* const kSystemValues[][2] = {
    {"{#page}", "页码"},         {"{#pages}", "总页数"}, {"{#row}", "行号"},
    {"{#grouprow}", "组内行号"}, {"{#now}", "打印时间"}, {"{#title}", "报表标题"},
};

const char* const kItemKinds[] = {"文本", "线条", "矩形", "图片", "条码"};

design::ItemRef itemOf(const QTreeWidgetItem* item) {
    return {BandRef{static_cast<design::BandSlot>(item->data(0, kBandSlotRole).toInt()),
                    item->data(0, kBandGroupRole).toInt()},
            item->data(0, kIndexRole).toInt()};
}

bool isItemNode(const QTreeWidgetItem* item) {
    return item->data(0, kSubjectRole).toInt() == int(DesignSubject::Kind::Items);
}

} // namespace

ExplorerTree::ExplorerTree(design::DesignDocument& doc, QWidget* parent) : QTreeWidget(parent), m_doc(doc) {
    setObjectName(QStringLiteral("explorerTree"));
    setHeaderHidden(true);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    // Items of the page are picked as on the page (Ctrl and Shift add); anything else one at a time.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        std::vector<design::ItemRef> items;
        std::optional<DesignSubject> subject;
        for (QTreeWidgetItem* it : selectedItems()) {
            if (isItemNode(it))
                items.push_back(itemOf(it));
            else if (it->data(0, kSubjectRole).toInt() >= 0)
                subject = subjectOf(it);
        }
        if (!items.empty())
            emit itemsPicked(items);
        else if (subject)
            emit subjectPicked(*subject);
    });
    // Queued: the editor's edit rebuilds this tree, and with it the node clicked.
    connect(
        this, &QTreeWidget::itemDoubleClicked, this,
        [this](QTreeWidgetItem* node) {
            if (!isItemNode(node)) return;
            const Item* it = design::FindItem(m_doc.tmpl(), itemOf(node));
            if (it && it->kind == ItemKind::Text) emit expressionRequested(itemOf(node));
        },
        Qt::QueuedConnection);
    refresh();
}

QTreeWidgetItem* ExplorerTree::section(const QString& title, const QString& key) {
    auto* s = new QTreeWidgetItem(this, {title});
    s->setData(0, kSubjectRole, -1);
    s->setData(0, kSectionRole, key);
    s->setFlags(Qt::ItemIsEnabled);
    QFont f = s->font(0);
    f.setBold(true);
    s->setFont(0, f);
    return s;
}

QTreeWidgetItem* ExplorerTree::node(QTreeWidgetItem* parent, const QString& text,
                                    const DesignSubject& subject, const QString& reference) {
    // Filled before it joins the tree: each change of a node in the tree tells the view.
    auto* n = new QTreeWidgetItem(QStringList{text});
    n->setData(0, kSubjectRole, int(subject.kind));
    n->setData(0, kIndexRole, subject.index);
    n->setData(0, kBandSlotRole, int(subject.band.slot));
    n->setData(0, kBandGroupRole, subject.band.group);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!reference.isEmpty()) {
        n->setData(0, kReferenceRole, reference);
        flags |= Qt::ItemIsDragEnabled;
        n->setToolTip(0, QStringLiteral("拖到带区上插入 %1").arg(reference));
    }
    n->setFlags(flags);
    if (parent) parent->addChild(n);
    return n;
}

void ExplorerTree::refresh() {
    // Keep what was open and picked.
    QSet<QString> closed;
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (!topLevelItem(i)->isExpanded()) closed.insert(topLevelItem(i)->data(0, kSectionRole).toString());
    const bool first = m_shown == 0;
    std::optional<DesignSubject> picked;
    if (currentItem() && currentItem()->data(0, kSubjectRole).toInt() >= 0 && !isItemNode(currentItem()))
        picked = subjectOf(currentItem());
    m_shown = m_doc.generation();

    const QSignalBlocker block(this);
    clear();
    const Template& t = m_doc.tmpl();
    auto* report = section(QStringLiteral("报表"), QStringLiteral("report"));
    node(report, QStringLiteral("页面与标题"), {DesignSubject::Kind::Report, {}, -1});

    auto declared = [&](const QString& title, const QString& key, DeclaredKind kind) {
        auto* s = section(title, key);
        const auto& list = design::DeclaredList(t, kind);
        for (size_t i = 0; i < list.size(); ++i) {
            const QString name = Q(list[i].name);
            const QString ref = kind == DeclaredKind::Field ? QStringLiteral("{%1}").arg(name)
                                                            : QStringLiteral("{$%1}").arg(name);
            node(s, name + QStringLiteral("  ·  ") + typeName(list[i].type),
                 {kind == DeclaredKind::Field ? DesignSubject::Kind::Field : DesignSubject::Kind::Parameter,
                  {},
                  int(i)},
                 ref)
                ->setData(0, kTitleRole, name);
        }
    };
    declared(QStringLiteral("参数"), QStringLiteral("parameters"), DeclaredKind::Parameter);
    declared(QStringLiteral("字段"), QStringLiteral("fields"), DeclaredKind::Field);

    auto* system = section(QStringLiteral("系统变量"), QStringLiteral("system"));
    for (const auto& v : kSystemValues) {
        // Selectable, or the view would not start a drag from it; picking it shows nothing else.
        auto* n = node(system, QString::fromUtf8(v[1]) + QStringLiteral("  ") + QString::fromUtf8(v[0]),
                       {DesignSubject::Kind::Report, {}, -1}, QString::fromUtf8(v[0]));
        n->setData(0, kSubjectRole, kNoSubject);
        n->setData(0, kTitleRole, QString::fromUtf8(v[1]));
        if (std::string(v[0]) == "{#title}")
            n->setToolTip(
                0, QStringLiteral("拖到带区上插入 {#title}：打印请求的报表名（repname）优先于报表的标题"));
    }

    auto* bands = section(QStringLiteral("带区"), QStringLiteral("bands"));
    for (BandRef ref : design::AllBands(t)) {
        const Band* b = design::FindBand(t, ref);
        auto* n = node(bands, Q(design::BandLabel(t, ref)), {DesignSubject::Kind::Band, ref, -1});
        if (!b->present) {
            n->setText(0, n->text(0) + QStringLiteral("（未使用）"));
            n->setForeground(0, QColor(0x9c, 0xa3, 0xaf));
        }
        // The band's items, in the band's order: picked here, selected on the page, and back.
        // Added at once: a form has thousands.
        QList<QTreeWidgetItem*> items;
        items.reserve(qsizetype(b->items.size()));
        for (size_t i = 0; i < b->items.size(); ++i) {
            const Item& it = b->items[i];
            QString text = QString::fromUtf8(kItemKinds[int(it.kind)]);
            if (it.kind == ItemKind::Text || it.kind == ItemKind::Barcode)
                text +=
                    QStringLiteral("  ") + Q(it.text).left(40).replace(QLatin1Char('\n'), QLatin1Char(' '));
            items.push_back(node(nullptr, text, {DesignSubject::Kind::Items, ref, int(i)}));
        }
        n->addChildren(items);
    }

    auto* groups = section(QStringLiteral("分组"), QStringLiteral("groups"));
    for (size_t g = 0; g < t.groups.size(); ++g) {
        QStringList by;
        for (const auto& f : t.groups[g].fields)
            by << Q(f);
        node(groups, Q(t.groups[g].name) + QStringLiteral("  ·  按 ") + by.join(QStringLiteral("、")),
             {DesignSubject::Kind::Group, {}, int(g)});
    }

    auto* styles = section(QStringLiteral("样式"), QStringLiteral("styles"));
    for (size_t s = 0; s < t.styles.size(); ++s) {
        const TextStyle& st = t.styles[s];
        if (st.name.empty()) continue;
        QString text = Q(st.name);
        if (!st.base.empty()) text += QStringLiteral("  ←  ") + Q(st.base);
        node(styles, text, {DesignSubject::Kind::Style, {}, int(s)});
    }

    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* s = topLevelItem(i);
        const QString key = s->data(0, kSectionRole).toString();
        // At first the things that are dragged onto the page are open, the rest closed.
        const bool open = first ? (key == QStringLiteral("parameters") || key == QStringLiteral("fields") ||
                                   key == QStringLiteral("system") || key == QStringLiteral("report"))
                                : !closed.contains(key);
        s->setExpanded(open);
    }
    if (picked) pick(*picked);
}

void ExplorerTree::pick(const DesignSubject& subject) {
    const QSignalBlocker block(this);
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if ((*it)->data(0, kSubjectRole).toInt() >= 0 && !isItemNode(*it) && subjectOf(*it) == subject) {
            setCurrentItem(*it);
            return;
        }
    }
    clearSelection();
    setCurrentItem(nullptr);
}

void ExplorerTree::pickItems(const std::vector<design::ItemRef>& items) {
    const QSignalBlocker block(this);
    clearSelection();
    QTreeWidgetItem* first = nullptr;
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if (!isItemNode(*it) || std::find(items.begin(), items.end(), itemOf(*it)) == items.end()) continue;
        (*it)->setSelected(true);
        if (!first) first = *it;
    }
    if (first) {
        setCurrentItem(first, 0, QItemSelectionModel::NoUpdate);
        scrollToItem(first); // opens the band it is in
    }
}

std::vector<design::ItemRef> ExplorerTree::pickedItems() const {
    std::vector<design::ItemRef> out;
    for (QTreeWidgetItem* it : selectedItems())
        if (isItemNode(it)) out.push_back(itemOf(it));
    std::sort(out.begin(), out.end());
    return out;
}

QStringList ExplorerTree::mimeTypes() const {
    return {QString::fromLatin1(DesignCanvas::kReferenceMime), QStringLiteral("text/plain")};
}

QMimeData* ExplorerTree::mimeData(const QList<QTreeWidgetItem*>& items) const {
    if (items.isEmpty()) return nullptr;
    const QString ref = items.front()->data(0, kReferenceRole).toString();
    if (ref.isEmpty()) return nullptr;
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(DesignCanvas::kReferenceMime), ref.toUtf8());
    mime->setData(QString::fromLatin1(DesignCanvas::kTitleMime),
                  items.front()->data(0, kTitleRole).toString().toUtf8());
    mime->setText(ref);
    return mime;
}

void ExplorerTree::after(bool changed, const DesignSubject& pickAfter) {
    if (!changed) return;
    emit edited();
    refresh();
    pick(pickAfter);
    emit subjectPicked(pickAfter);
}

void ExplorerTree::addDeclared(DeclaredKind kind) {
    const auto& list = design::DeclaredList(m_doc.tmpl(), kind);
    const std::string stem = kind == DeclaredKind::Field ? "field" : "param";
    std::string name;
    for (int n = int(list.size()) + 1;; ++n) {
        name = stem + std::to_string(n);
        if (std::none_of(list.begin(), list.end(), [&](const Declared& d) { return d.name == name; })) break;
    }
    Declared d;
    d.name = name;
    const bool ok = bool(design::AddDeclared(m_doc, kind, d));
    after(ok, {kind == DeclaredKind::Field ? DesignSubject::Kind::Field : DesignSubject::Kind::Parameter,
               {},
               int(list.size()) - 1});
}

void ExplorerTree::contextMenuEvent(QContextMenuEvent* event) {
    QTreeWidgetItem* item = itemAt(event->pos());
    if (!item) return;
    QTreeWidgetItem* sec = item->parent() ? item->parent() : item;
    const QString key = sec->data(0, kSectionRole).toString();
    const bool onNode = item->parent() != nullptr && item->data(0, kSubjectRole).toInt() >= 0;
    const DesignSubject s = onNode ? subjectOf(item) : DesignSubject{};
    QMenu menu(this);
    const Template& t = m_doc.tmpl();
    if (key == QStringLiteral("parameters") || key == QStringLiteral("fields")) {
        const DeclaredKind kind =
            key == QStringLiteral("fields") ? DeclaredKind::Field : DeclaredKind::Parameter;
        menu.addAction(kind == DeclaredKind::Field ? QStringLiteral("添加字段") : QStringLiteral("添加参数"),
                       this, [this, kind] { addDeclared(kind); });
        if (onNode) {
            const int n = int(design::DeclaredList(t, kind).size());
            menu.addAction(QStringLiteral("上移"), this,
                           [this, kind, s] {
                               after(design::MoveDeclared(m_doc, kind, s.index, s.index - 1),
                                     {s.kind, {}, s.index - 1});
                           })
                ->setEnabled(s.index > 0);
            menu.addAction(QStringLiteral("下移"), this,
                           [this, kind, s] {
                               after(design::MoveDeclared(m_doc, kind, s.index, s.index + 1),
                                     {s.kind, {}, s.index + 1});
                           })
                ->setEnabled(s.index + 1 < n);
            menu.addAction(QStringLiteral("删除"), this, [this, kind, s] {
                const std::string name = design::DeclaredList(m_doc.tmpl(), kind)[size_t(s.index)].name;
                const int uses = design::CountReferences(m_doc.tmpl(), kind, name);
                if (uses > 0 &&
                    QMessageBox::question(
                        this, QStringLiteral("删除"),
                        QStringLiteral("“%1”还被引用 %2 处，仍然删除吗？").arg(Q(name)).arg(uses)) !=
                        QMessageBox::Yes)
                    return;
                after(design::DeleteDeclared(m_doc, kind, s.index), {});
            });
        }
    } else if (key == QStringLiteral("bands") && onNode) {
        const Band* b = design::FindBand(t, s.band);
        if (b && !b->present)
            menu.addAction(QStringLiteral("添加此带区"), this,
                           [this, s] { after(design::SetBandPresent(m_doc, s.band, true), s); });
        else if (b && s.band.slot != design::BandSlot::GroupHeader &&
                 s.band.slot != design::BandSlot::GroupFooter)
            menu.addAction(QStringLiteral("删除此带区"), this,
                           [this, s] { after(design::SetBandPresent(m_doc, s.band, false), s); });
        else if (b)
            menu.addAction(QStringLiteral("关闭此带区"), this,
                           [this, s] { after(design::SetBandPresent(m_doc, s.band, false), s); });
    } else if (key == QStringLiteral("groups")) {
        menu.addAction(QStringLiteral("添加分组"), this, [this] {
            const Template& tt = m_doc.tmpl();
            const std::string field = tt.fields.empty() ? std::string() : tt.fields.front().name;
            if (field.empty()) {
                QMessageBox::information(this, QStringLiteral("添加分组"),
                                         QStringLiteral("请先添加字段，分组按字段的值划分。"));
                return;
            }
            const int at = int(tt.groups.size());
            after(bool(design::AddGroup(m_doc, at, "", field)), {DesignSubject::Kind::Group, {}, at});
        });
        if (onNode) {
            const int n = int(t.groups.size());
            menu.addAction(
                    QStringLiteral("上移（外层）"), this,
                    [this, s] {
                        after(design::MoveGroup(m_doc, s.index, s.index - 1), {s.kind, {}, s.index - 1});
                    })
                ->setEnabled(s.index > 0);
            menu.addAction(
                    QStringLiteral("下移（内层）"), this,
                    [this, s] {
                        after(design::MoveGroup(m_doc, s.index, s.index + 1), {s.kind, {}, s.index + 1});
                    })
                ->setEnabled(s.index + 1 < n);
            menu.addAction(QStringLiteral("删除分组"), this,
                           [this, s] { after(design::RemoveGroup(m_doc, s.index), {}); });
        }
    } else if (key == QStringLiteral("styles")) {
        menu.addAction(QStringLiteral("添加样式"), this, [this, s, onNode] {
            std::string name;
            for (int n = 1;; ++n) {
                name = "style" + std::to_string(n);
                if (m_doc.tmpl().findStyle(name) < 0) break;
            }
            const bool ok = bool(design::AddStyle(m_doc, name, onNode ? s.index : 0));
            after(ok, {DesignSubject::Kind::Style, {}, int(m_doc.tmpl().styles.size()) - 1});
        });
        if (onNode && s.index > 0)
            menu.addAction(QStringLiteral("删除样式"), this, [this, s] {
                const int uses = design::StyleUsers(m_doc.tmpl(), s.index);
                if (uses > 0 && QMessageBox::question(
                                    this, QStringLiteral("删除样式"),
                                    QStringLiteral("有 %1 个项目使用此样式，删除后它们改用默认样式。继续吗？")
                                        .arg(uses)) != QMessageBox::Yes)
                    return;
                after(design::DeleteStyle(m_doc, s.index), {});
            });
    }
    if (!menu.isEmpty()) menu.exec(event->globalPos());
}

} // namespace verolux::reports
