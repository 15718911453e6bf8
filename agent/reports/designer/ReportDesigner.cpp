#include "agent/reports/designer/ReportDesigner.h"

#include "agent/reports/design/Arrange.h"
#include "agent/reports/design/Clipboard.h"
#include "agent/reports/design/DesignChecks.h"
#include "agent/reports/design/ItemEdits.h"
#include "agent/reports/design/RowValues.h"
#include "agent/reports/design/StructureEdits.h"
#include "agent/reports/designer/ChecksList.h"
#include "agent/reports/designer/DesignCanvas.h"
#include "agent/reports/designer/DesignerIcons.h"
#include "agent/reports/designer/ExplorerTree.h"
#include "agent/reports/designer/ExpressionEditor.h"
#include "agent/reports/designer/Inspector.h"
#include "agent/reports/designer/PreviewPane.h"
#include "agent/reports/engine/Report.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace verolux::reports {

using design::ItemRef;

namespace {

constexpr double kPasteOffset = 2; // mm: a copy pasted onto its original steps aside by this much

// Some item has conditional formatting: the page shows it on the sample row.
bool HasRules(const Template& t) {
    for (design::BandRef b : design::PresentBands(t))
        for (const Item& it : design::FindBand(t, b)->items)
            if (!it.rules.empty()) return true;
    return false;
}

QWidget* titled(const QString& title, QWidget* body) {
    auto* box = new QWidget;
    auto* l = new QVBoxLayout(box);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    auto* head = new QLabel(title);
    head->setStyleSheet(QStringLiteral("QLabel { font-weight: bold; color: #374151; background: #f3f4f6; "
                                       "padding: 4px 6px; border-bottom: 1px solid #d1d5db; }"));
    l->addWidget(head);
    l->addWidget(body, 1);
    return box;
}

} // namespace

ReportDesigner::ReportDesigner(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("reportDesigner"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("designerToolBar"));
    m_toolBar->setIconSize(QSize(20, 20));
    m_toolBar->setStyleSheet(
        QStringLiteral("QToolBar#designerToolBar { background: #f3f4f6; border-bottom: 1px solid "
                       "#d1d5db; spacing: 1px; padding: 2px; }"));
    layout->addWidget(m_toolBar);

    m_canvas = new DesignCanvas(m_doc, this);
    m_explorer = new ExplorerTree(m_doc, this);
    m_inspector = new Inspector(m_doc, this);
    m_preview = new PreviewPane(m_doc, this);
    m_checks = new ChecksList(m_doc, this);

    m_centre = new QSplitter(Qt::Vertical, this);
    m_centre->addWidget(m_canvas);
    m_centre->addWidget(titled(QStringLiteral("检查"), m_checks));
    m_centre->setStretchFactor(0, 1);
    m_centre->setSizes({600, 90});
    m_split = new QSplitter(Qt::Horizontal, this);
    m_split->addWidget(titled(QStringLiteral("报表结构"), m_explorer));
    m_split->addWidget(m_centre);
    m_split->addWidget(titled(QStringLiteral("预览"), m_preview));
    m_split->addWidget(titled(QStringLiteral("属性"), m_inspector));
    m_split->setStretchFactor(1, 1);
    m_split->setSizes({210, 730, 300, 270});
    m_split->setChildrenCollapsible(false);
    layout->addWidget(m_split, 1);
    buildToolBar();

    connect(m_canvas, &DesignCanvas::edited, this, &ReportDesigner::afterEdit);
    connect(m_canvas, &DesignCanvas::selectionChanged, this, &ReportDesigner::afterSelection);
    connect(m_canvas, &DesignCanvas::zoomChanged, this, [this](double z) {
        const QSignalBlocker block(m_zoom);
        m_zoom->setEditText(QStringLiteral("%1%").arg(std::lround(z * 100)));
    });
    connect(m_canvas, &DesignCanvas::bandActivated, this, [this](design::BandRef band) {
        showSubject({DesignSubject::Kind::Band, band, -1});
    });
    connect(m_canvas, &DesignCanvas::menuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        for (QAction* a : m_itemMenu) {
            if (a)
                menu.addAction(a);
            else
                menu.addSeparator();
        }
        menu.exec(at);
    });
    connect(m_canvas, &DesignCanvas::placingEnded, this, [this] {
        for (QAction* a : m_tools)
            a->setChecked(false);
    });
    connect(m_explorer, &ExplorerTree::edited, this, &ReportDesigner::afterEdit);
    connect(m_explorer, &ExplorerTree::subjectPicked, this, &ReportDesigner::showSubject);
    connect(m_explorer, &ExplorerTree::itemsPicked, this, [this](const std::vector<ItemRef>& items) {
        m_doc.select(items, items.front());
        m_canvas->documentChanged();
        afterSelection();
    });
    connect(m_inspector, &Inspector::edited, this, &ReportDesigner::afterEdit);
    connect(m_inspector, &Inspector::imageRequested, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("选择图片"), QString(),
                                                          QStringLiteral("图片 (*.png *.jpg *.jpeg)"));
        if (!path.isEmpty()) replaceImages(path);
    });
    connect(m_checks, &ChecksList::itemPicked, this, [this](const ItemRef& ref) {
        m_doc.select({ref}, ref);
        m_canvas->documentChanged();
        afterSelection();
    });
    connect(m_checks, &ChecksList::bandPicked, this, [this](const design::BandRef& band) {
        showSubject({DesignSubject::Kind::Band, band, -1});
    });
    connect(m_checks, &ChecksList::makeNumberRequested, this, [this](const QString& field) {
        const std::string name = field.toStdString();
        if (design::MakeFieldNumber(m_doc, name, sampleColumn(name))) afterEdit();
    });
    connect(m_inspector, &Inspector::expressionRequested, this, &ReportDesigner::openExpressionEditor);
    // Queued: the name box that finished editing is rebuilt by the change.
    connect(
        m_inspector, &Inspector::fieldNamed, this,
        [this](int index) {
            const auto& fields = m_doc.tmpl().fields;
            if (index < 0 || size_t(index) >= fields.size()) return;
            Declared d = fields[size_t(index)];
            const auto type = design::TypeForNewName(d, sampleColumn(d.name));
            if (!type) return;
            d.type = *type;
            if (design::UpdateDeclared(m_doc, design::DeclaredKind::Field, index, d)) afterEdit();
        },
        Qt::QueuedConnection);
    connect(m_explorer, &ExplorerTree::expressionRequested, this, [this](const ItemRef& ref) {
        if (!design::FindItem(m_doc.tmpl(), ref)) return; // gone meanwhile
        select({ref});
        openExpressionEditor();
    });
    refreshActions();
    setFocusProxy(m_canvas);
}

ReportDesigner::~ReportDesigner() = default;

QAction* ReportDesigner::addAction(const QString& text, int icon, const QKeySequence& key) {
    auto* a =
        new QAction(icon >= 0 ? MakeDesignerIcon(static_cast<DesignerIcon>(icon)) : QIcon(), text, this);
    if (!key.isEmpty()) a->setShortcut(key);
    // Two designers in one program each answer their own keys.
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    a->setToolTip(key.isEmpty() ? text
                                : text + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) +
                                      QStringLiteral(")"));
    QWidget::addAction(a);
    return a;
}

void ReportDesigner::buildToolBar() {
    using I = DesignerIcon;
    auto icon = [](I i) { return static_cast<int>(i); };
    m_open = addAction(QStringLiteral("打开"), icon(I::Open), QKeySequence::Open);
    m_save = addAction(QStringLiteral("保存"), icon(I::Save), QKeySequence::Save);
    connect(m_open, &QAction::triggered, this, &ReportDesigner::OpenRequested);
    connect(m_save, &QAction::triggered, this, &ReportDesigner::SaveRequested);
    m_toolBar->addAction(m_open);
    m_toolBar->addAction(m_save);
    m_toolBar->addSeparator();

    m_undo = addAction(QStringLiteral("撤销"), icon(I::Undo), QKeySequence::Undo);
    m_redo = addAction(QStringLiteral("重做"), icon(I::Redo), QKeySequence(Qt::CTRL | Qt::Key_Y));
    m_redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    connect(m_undo, &QAction::triggered, this, &ReportDesigner::undo);
    connect(m_redo, &QAction::triggered, this, &ReportDesigner::redo);
    m_toolBar->addAction(m_undo);
    m_toolBar->addAction(m_redo);
    m_toolBar->addSeparator();

    QAction* cutA = addAction(QStringLiteral("剪切"), icon(I::Cut), QKeySequence::Cut);
    QAction* copyA = addAction(QStringLiteral("复制"), icon(I::Copy), QKeySequence::Copy);
    QAction* pasteA = addAction(QStringLiteral("粘贴"), icon(I::Paste), QKeySequence::Paste);
    QAction* dupA = addAction(QStringLiteral("再制一份"), -1, QKeySequence(Qt::CTRL | Qt::Key_D));
    QAction* delA = addAction(QStringLiteral("删除"), icon(I::Delete), QKeySequence::Delete);
    QAction* allA = addAction(QStringLiteral("全选"), -1, QKeySequence::SelectAll);
    QAction* exprA = addAction(QStringLiteral("表达式…"), -1, QKeySequence(Qt::CTRL | Qt::Key_E));
    exprA->setObjectName(QStringLiteral("expressionAction"));
    connect(exprA, &QAction::triggered, this, &ReportDesigner::openExpressionEditor);
    connect(cutA, &QAction::triggered, this, &ReportDesigner::cut);
    connect(copyA, &QAction::triggered, this, &ReportDesigner::copy);
    connect(pasteA, &QAction::triggered, this, &ReportDesigner::paste);
    connect(dupA, &QAction::triggered, this, &ReportDesigner::duplicate);
    connect(delA, &QAction::triggered, this, &ReportDesigner::deleteSelection);
    connect(allA, &QAction::triggered, this, &ReportDesigner::selectAll);
    m_needSelection << cutA << copyA << dupA << delA;
    m_needSelection << exprA;
    m_itemMenu << cutA << copyA << pasteA << dupA << delA << nullptr << exprA << nullptr;
    for (QAction* a : {cutA, copyA, pasteA, delA})
        m_toolBar->addAction(a);
    m_toolBar->addSeparator();

    struct Tool {
        const char* text;
        I icon;
        ItemKind kind;
    };
    for (const Tool& t : {Tool{"文本", I::Text, ItemKind::Text}, Tool{"线条", I::Line, ItemKind::Line},
                          Tool{"矩形", I::Rect, ItemKind::Rect}, Tool{"图片", I::Image, ItemKind::Image},
                          Tool{"条码", I::Barcode, ItemKind::Barcode}}) {
        QAction* a = addAction(QStringLiteral("插入") + QString::fromUtf8(t.text), icon(t.icon));
        a->setCheckable(true);
        const ItemKind kind = t.kind;
        connect(a, &QAction::triggered, this, [this, a, kind](bool on) {
            for (QAction* other : m_tools)
                if (other != a) other->setChecked(false);
            if (!on) {
                m_canvas->stopPlacing();
                return;
            }
            placeItem(kind);
        });
        m_tools << a;
        m_toolBar->addAction(a);
    }
    m_toolBar->addSeparator();

    struct Arrange {
        const char* text;
        I icon;
        std::function<bool(design::DesignDocument&)> run;
        int needs;
    };
    const Arrange arrange[] = {
        {"左对齐", I::AlignLeft,
         [](auto& d) { return design::AlignItems(d, d.selection(), design::Alignment::Lefts); }, 2},
        {"水平居中对齐", I::AlignCentreH,
         [](auto& d) { return design::AlignItems(d, d.selection(), design::Alignment::HorizontalCentres); },
         2},
        {"右对齐", I::AlignRight,
         [](auto& d) { return design::AlignItems(d, d.selection(), design::Alignment::Rights); }, 2},
        {"顶端对齐", I::AlignTop,
         [](auto& d) { return design::AlignItems(d, d.selection(), design::Alignment::Tops); }, 2},
        {"垂直居中对齐", I::AlignCentreV,
         [](auto& d) { return design::AlignItems(d, d.selection(), design::Alignment::VerticalCentres); }, 2},
        {"底端对齐", I::AlignBottom,
         [](auto& d) { return design::AlignItems(d, d.selection(), design::Alignment::Bottoms); }, 2},
        {"相同宽度", I::SameWidth,
         [](auto& d) { return design::MakeSameSize(d, d.selection(), true, false); }, 2},
        {"相同高度", I::SameHeight,
         [](auto& d) { return design::MakeSameSize(d, d.selection(), false, true); }, 2},
        {"水平均匀分布", I::DistributeH, [](auto& d) { return design::Distribute(d, d.selection(), true); },
         3},
        {"垂直均匀分布", I::DistributeV, [](auto& d) { return design::Distribute(d, d.selection(), false); },
         3},
        {"置于顶层", I::Front, [](auto& d) { return design::BringToFront(d, d.selection()); }, 1},
        {"置于底层", I::Back, [](auto& d) { return design::SendToBack(d, d.selection()); }, 1},
    };
    for (const Arrange& r : arrange) {
        QAction* a = addAction(QString::fromUtf8(r.text), icon(r.icon));
        connect(a, &QAction::triggered, this, [this, run = r.run] {
            if (run(m_doc)) afterEdit();
        });
        (r.needs == 3 ? m_needThree : r.needs == 2 ? m_needTwo : m_needSelection) << a;
        if (r.needs == 1) m_itemMenu << a;
        m_toolBar->addAction(a);
        if (std::string(r.text) == "底端对齐" || std::string(r.text) == "垂直均匀分布")
            m_toolBar->addSeparator();
    }
    m_toolBar->addSeparator();

    QAction* zoomOut = addAction(QStringLiteral("缩小"), -1, QKeySequence::ZoomOut);
    QAction* zoomIn = addAction(QStringLiteral("放大"), -1, QKeySequence(Qt::CTRL | Qt::Key_Equal));
    zoomIn->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence::ZoomIn});
    connect(zoomOut, &QAction::triggered, this, [this] { m_canvas->setZoom(m_canvas->zoom() / 1.25); });
    connect(zoomIn, &QAction::triggered, this, [this] { m_canvas->setZoom(m_canvas->zoom() * 1.25); });
    m_zoom = new QComboBox(this);
    m_zoom->setObjectName(QStringLiteral("zoomBox"));
    m_zoom->setEditable(true);
    m_zoom->setToolTip(QStringLiteral("缩放 (Ctrl+滚轮)"));
    for (int z : {50, 75, 100, 150, 200, 300, 400})
        m_zoom->addItem(QStringLiteral("%1%").arg(z));
    m_zoom->addItem(QStringLiteral("适合宽度"));
    m_zoom->setEditText(QStringLiteral("100%"));
    m_zoom->setMinimumContentsLength(6);
    auto applyZoom = [this](const QString& text) {
        if (text == QStringLiteral("适合宽度")) {
            m_canvas->zoomToFitWidth();
            return;
        }
        QString digits = text;
        digits.remove(QLatin1Char('%'));
        bool ok = false;
        const double z = digits.trimmed().toDouble(&ok);
        if (ok && z > 0) m_canvas->setZoom(z / 100);
    };
    connect(m_zoom, &QComboBox::textActivated, this, applyZoom);
    m_toolBar->addWidget(m_zoom);

    QAction* grid = addAction(QStringLiteral("网格与吸附"), icon(I::Grid));
    grid->setCheckable(true);
    grid->setChecked(true);
    grid->setToolTip(QStringLiteral("显示网格并吸附到网格（1 毫米）；拖动时按住 Alt 暂不吸附"));
    connect(grid, &QAction::toggled, this, [this](bool on) {
        m_canvas->setGridVisible(on);
        m_canvas->snap().grid = on;
    });
    m_toolBar->addAction(grid);

    m_previewToggle = addAction(QStringLiteral("预览"), icon(I::Preview), QKeySequence(Qt::Key_F5));
    m_previewToggle->setCheckable(true);
    m_previewToggle->setChecked(true);
    connect(m_previewToggle, &QAction::toggled, this, &ReportDesigner::setPreviewVisible);
    m_toolBar->addAction(m_previewToggle);

    // Panels: which parts of the designer show.
    auto* panels = new QToolButton(this);
    panels->setText(QStringLiteral("面板"));
    panels->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(panels);
    auto panel = [menu](const QString& text, std::function<void(bool)> show) {
        QAction* a = menu->addAction(text);
        a->setCheckable(true);
        a->setChecked(true);
        QObject::connect(a, &QAction::toggled, menu, std::move(show));
        return a;
    };
    m_explorerToggle = panel(QStringLiteral("报表结构"), [this](bool on) { setExplorerVisible(on); });
    m_inspectorToggle = panel(QStringLiteral("属性"), [this](bool on) { setInspectorVisible(on); });
    m_checksToggle = panel(QStringLiteral("检查"), [this](bool on) { setChecksVisible(on); });
    panels->setMenu(menu);
    m_toolBar->addWidget(panels);
}

void ReportDesigner::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Narrower than this, the preview gives its room to the page first (F5 still shows it); it comes
    // back when the control is wide again, unless the user hid it.
    const bool narrow = width() < kPreviewMinWidth;
    if (narrow && !m_split->widget(2)->isHidden()) {
        setPreviewVisible(false);
        m_previewCollapsed = true;
    } else if (!narrow && m_previewCollapsed) {
        setPreviewVisible(true);
    }
}

void ReportDesigner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_shownOnce) return;
    m_shownOnce = true;
    // In a low window the page gets the room: the checks are a menu entry away; else they take a few
    // lines at the bottom.
    if (height() < kChecksMinHeight) setChecksVisible(false);
    const int total = m_centre->height();
    m_centre->setSizes({std::max(100, total - kChecksHeight), kChecksHeight});
}

void ReportDesigner::setToolbarVisible(bool on) {
    m_toolBar->setVisible(on);
}
namespace {
void showChecked(QAction* a, bool on) {
    const QSignalBlocker block(a);
    a->setChecked(on);
}
} // namespace

void ReportDesigner::setExplorerVisible(bool on) {
    m_split->widget(0)->setVisible(on);
    showChecked(m_explorerToggle, on);
}
void ReportDesigner::setInspectorVisible(bool on) {
    m_split->widget(3)->setVisible(on);
    showChecked(m_inspectorToggle, on);
}
void ReportDesigner::setPreviewVisible(bool on) {
    m_previewCollapsed = false;
    m_split->widget(2)->setVisible(on);
    showChecked(m_previewToggle, on);
    if (on) m_preview->scheduleRefresh();
}
void ReportDesigner::setChecksVisible(bool on) {
    m_centre->widget(1)->setVisible(on);
    showChecked(m_checksToggle, on);
}

bool ReportDesigner::loadPreviewData(const QString& path, QString* error) {
    return m_preview->loadRequest(path, error);
}

// ---- the interface of the designer window ----

void ReportDesigner::BindReport(Report* report) {
    m_report = report;
    m_reportGuard = report;
}

void ReportDesigner::ReloadDesign() {
    if (m_reportGuard.isNull()) m_report = nullptr;
    m_canvas->stopPlacing();
    m_doc.reset(m_report ? m_report->reportTemplate() : Template{});
    m_inspector->setSubject({});
    afterEdit(); // refreshes the outline
    // Keys go to the page from the start (Tab picks the first item, arrows move it).
    m_canvas->setFocus();
}

bool ReportDesigner::CommitDesign() {
    if (m_reportGuard.isNull()) m_report = nullptr;
    if (!m_report) return false;
    m_report->setTemplate(m_doc.tmpl());
    return true;
}

bool ReportDesigner::SetSetting(int id, const QVariant& value) {
    if (id != kSettingEditsPending || value.typeId() != QMetaType::Bool) return false;
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

// ---- commands ----

void ReportDesigner::undo() {
    if (m_doc.undo()) afterEdit();
}

void ReportDesigner::redo() {
    if (m_doc.redo()) afterEdit();
}

void ReportDesigner::copy() {
    if (m_doc.selection().empty()) return;
    const QByteArray json = QByteArray::fromStdString(design::CopyItems(m_doc.tmpl(), m_doc.selection()));
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kItemsMime), json);
    mime->setText(QString::fromUtf8(json));
    QApplication::clipboard()->setMimeData(mime);
}

void ReportDesigner::cut() {
    if (m_doc.selection().empty()) return;
    copy();
    deleteSelection();
}

void ReportDesigner::paste() {
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    if (!mime) return;
    QByteArray json = mime->data(QString::fromLatin1(kItemsMime));
    // Template JSON copied as text from elsewhere pastes too.
    if (json.isEmpty() && mime->hasText() && mime->text().contains(QStringLiteral("verolux-report")))
        json = mime->text().toUtf8();
    if (json.isEmpty()) return;
    const design::PasteResult r = design::PasteItems(
        m_doc, std::string_view(json.constData(), size_t(json.size())), m_canvas->pasteBand(), kPasteOffset);
    if (!r.error.empty()) {
        QMessageBox::information(this, QStringLiteral("粘贴"), QString::fromStdString(r.error));
        return;
    }
    afterEdit();
}

void ReportDesigner::duplicate() {
    if (design::DuplicateItems(m_doc, m_doc.selection(), kPasteOffset)) afterEdit();
}

void ReportDesigner::deleteSelection() {
    if (design::DeleteItems(m_doc, m_doc.selection())) afterEdit();
}

void ReportDesigner::selectAll() {
    m_doc.selectAll();
    m_canvas->documentChanged();
    afterSelection();
}

void ReportDesigner::select(const std::vector<ItemRef>& items) {
    m_doc.select(items, items.empty() ? ItemRef{} : items.front());
    m_canvas->documentChanged();
    afterSelection();
}

std::string ReportDesigner::readImage(const QString& path) {
    QFile file(path);
    QImageReader reader(path);
    const QByteArray format = reader.format();
    if (!file.open(QIODevice::ReadOnly) || (format != "png" && format != "jpeg")) {
        QMessageBox::warning(this, QStringLiteral("图片"),
                             QStringLiteral("只能使用 PNG 或 JPEG 图片：%1").arg(path));
        return {};
    }
    return file.readAll().toStdString();
}

void ReportDesigner::insertImage(const QString& path) {
    const QString file = path.isEmpty()
                             ? QFileDialog::getOpenFileName(this, QStringLiteral("插入图片"), QString(),
                                                            QStringLiteral("图片 (*.png *.jpg *.jpeg)"))
                             : path;
    if (file.isEmpty()) return;
    std::string bytes = readImage(file);
    if (bytes.empty()) return;
    Item item = design::NewItem(ItemKind::Image, 0, 0);
    item.imageData = std::move(bytes);
    // A picture keeps its proportions from the start: 30 mm wide.
    const QSize size = QImageReader(file).size();
    if (size.width() > 0 && size.height() > 0)
        item.h = design::RoundMm(item.w * size.height() / size.width());
    m_canvas->startPlacing(item);
}

void ReportDesigner::replaceImages(const QString& path) {
    const std::string bytes = readImage(path);
    if (bytes.empty()) return;
    if (design::UpdateItems(m_doc, m_doc.selection(), "更换图片", [&](Item& it) {
            if (it.kind == ItemKind::Image) it.imageData = bytes;
        }))
        afterEdit();
}

void ReportDesigner::placeItem(ItemKind kind) {
    if (kind == ItemKind::Image) {
        insertImage();
        if (!m_canvas->placing())
            for (QAction* a : m_tools)
                a->setChecked(false);
        return;
    }
    m_canvas->startPlacing(design::NewItem(kind, 0, 0));
}

// ---- keeping the parts in step ----

void ReportDesigner::afterEdit() {
    if (HasRules(m_doc.tmpl())) m_canvas->setSampleRow(sampleRow());
    m_canvas->documentChanged();
    m_explorer->refresh();
    afterSelection();
    m_checks->refresh();
    if (!m_split->widget(2)->isHidden()) m_preview->scheduleRefresh();
    emit designChanged();
}

void ReportDesigner::afterSelection() {
    const DesignSubject current = m_inspector->subject();
    if (!m_doc.selection().empty()) {
        // The outline follows the page (and the page the outline, see itemsPicked).
        if (m_explorer->pickedItems() != m_doc.selection()) m_explorer->pickItems(m_doc.selection());
        m_inspector->setSubject({DesignSubject::Kind::Items, {}, -1});
    } else if (current.kind == DesignSubject::Kind::Items) {
        m_explorer->pickItems({});
        m_inspector->setSubject({});
    } else {
        m_inspector->setSubject(current); // rebuilt if what it shows is gone or moved
    }
    refreshActions();
}

void ReportDesigner::showSubject(const DesignSubject& subject) {
    if (!m_doc.selection().empty()) {
        m_doc.clearSelection();
        m_canvas->documentChanged();
    }
    m_inspector->setSubject(subject);
    m_explorer->pick(subject);
    m_canvas->pickBand(subject.kind == DesignSubject::Kind::Band ? std::optional(subject.band)
                                                                 : std::nullopt);
    refreshActions();
}

void ReportDesigner::refreshActions() {
    const auto& steps = m_doc.steps();
    m_undo->setEnabled(steps.canUndo());
    m_redo->setEnabled(steps.canRedo());
    m_undo->setToolTip(QStringLiteral("撤销%1 (Ctrl+Z)").arg(QString::fromStdString(steps.undoName())));
    m_redo->setToolTip(QStringLiteral("重做%1 (Ctrl+Y)").arg(QString::fromStdString(steps.redoName())));
    const size_t n = m_doc.selection().size();
    for (QAction* a : m_needSelection)
        a->setEnabled(n >= 1);
    for (QAction* a : m_needTwo)
        a->setEnabled(n >= 2);
    for (QAction* a : m_needThree)
        a->setEnabled(n >= 3);
    const bool pending = editsPending();
    if (pending != m_lastPending) {
        m_lastPending = pending;
        emit editsPendingChanged(pending);
    }
}

design::SampleRow ReportDesigner::sampleRow() {
    design::SampleRow row;
    Report& filled = m_preview->filledReport();
    if (!filled.records().empty()) row.fields = filled.records().front();
    row.parameters = filled.Parameters().values();
    row.title = filled.documentTitle().toStdString();
    return row;
}

std::vector<ScalarValue> ReportDesigner::sampleColumn(const std::string& field) {
    std::vector<ScalarValue> out;
    const auto& fields = m_doc.tmpl().fields;
    const auto at =
        std::find_if(fields.begin(), fields.end(), [&](const Declared& d) { return d.name == field; });
    if (at == fields.end()) return out;
    for (const auto& r : m_preview->filledReport().records())
        if (size_t(at - fields.begin()) < r.size()) out.push_back(r[size_t(at - fields.begin())]);
    return out;
}

ExpressionEditor* ReportDesigner::expressionEditor() const {
    return m_expressionEditor.data();
}

void ReportDesigner::openExpressionEditor() {
    std::vector<ItemRef> texts;
    for (const ItemRef& r : m_doc.selection())
        if (const Item* it = design::FindItem(m_doc.tmpl(), r); it && it->kind == ItemKind::Text)
            texts.push_back(r);
    if (texts.empty() || m_expressionEditor) return;
    const std::string text = design::FindItem(m_doc.tmpl(), texts.front())->text;
    auto* dialog = new ExpressionEditor(m_doc.tmpl(), sampleRow(), QString::fromStdString(text), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_expressionEditor = dialog;
    connect(dialog, &QDialog::accepted, this, [this, dialog, texts] {
        // Only items still there and still text: the design may have changed under a window-modal dialog.
        std::vector<ItemRef> still;
        for (const ItemRef& r : texts)
            if (const Item* it = design::FindItem(m_doc.tmpl(), r); it && it->kind == ItemKind::Text)
                still.push_back(r);
        if (design::UpdateItems(m_doc, still, "编辑表达式",
                                [s = dialog->text().toStdString()](Item& it) { it.text = s; }))
            afterEdit();
    });
    dialog->open();
}

} // namespace verolux::reports
