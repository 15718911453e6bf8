// The order list built from New in the designer program with mouse and keys: fields added and typed,
// dropped into the detail band, amount = quantity × price through the expression editor, a grand total
// from the aggregate picker, the text field the checks list makes a number. Saved, opened again
// unchanged, and printed to PDF on the demo's 80 orders: poppler finds the total.
#include "tools/verolux-designer/DesignerWindow.h"

#include "agent/reports/design/BandRef.h"
#include "agent/reports/designer/ChecksList.h"
#include "agent/reports/designer/DesignCanvas.h"
#include "agent/reports/designer/ExplorerTree.h"
#include "agent/reports/designer/ExpressionEditor.h"
#include "agent/reports/designer/Inspector.h"
#include "agent/reports/designer/ReportDesigner.h"
#include "agent/reports/engine/Report.h"
#include "agent/reports/engine/RequestFill.h"
#include "common/JsonReader.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace verolux;
using namespace verolux::reports;
using design::BandRef;
using design::BandSlot;

namespace {

const QString kOrders = QStringLiteral(VEROLUX_SOURCE_DIR "/demo/requests/orders.json");
const BandRef kDetail{BandSlot::Detail};
const BandRef kFooter{BandSlot::ReportFooter};

class OrderList : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        window.resize(1600, 1000);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        window.newTemplate();
        QString error;
        ASSERT_TRUE(window.loadPreviewData(kOrders, &error)) << error.toStdString();
        d()->canvas()->setZoom(1.5);
    }

    ReportDesigner* d() { return window.designer(); }
    const Template& t() { return d()->document().tmpl(); }
    QWidget* viewport() { return d()->canvas()->viewport(); }
    void settle() { QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    QPoint at(BandRef b, double x, double y) {
        const auto* placed = d()->canvas()->layout().find(b);
        return d()->canvas()->toView(d()->canvas()->layout().left + x, placed->top + y).toPoint();
    }
    QTreeWidgetItem* node(const QString& text) {
        d()->explorer()->expandAll();
        const auto found = d()->explorer()->findItems(text, Qt::MatchStartsWith | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.front();
    }
    QPoint nodePoint(QTreeWidgetItem* n) {
        d()->explorer()->scrollToItem(n);
        return d()->explorer()->visualItemRect(n).center();
    }
    // The editor of the inspector's row labelled `label`.
    template <class W> W* inspectorRow(const QString& label) {
        for (auto* form : d()->inspector()->findChildren<QFormLayout*>())
            for (int r = 0; r < form->rowCount(); ++r) {
                auto* l = form->itemAt(r, QFormLayout::LabelRole);
                auto* f = form->itemAt(r, QFormLayout::FieldRole);
                if (l && f && qobject_cast<QLabel*>(l->widget()) &&
                    qobject_cast<QLabel*>(l->widget())->text() == label)
                    return qobject_cast<W*>(f->widget());
            }
        return nullptr;
    }
    void typeInto(QWidget* w, const QString& text) {
        w->setFocus();
        QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w, text);
        QTest::keyClick(w, Qt::Key_Return);
        settle();
    }
    // Right-clicks the outline's fields and picks 添加字段 with the keys; names and types it.
    void addField(const QString& name, int typeDowns) {
        QTreeWidgetItem* fields = node(QStringLiteral("字段"));
        ASSERT_TRUE(fields);
        QTimer::singleShot(0, [] { pickMenu(QStringLiteral("添加字段")); });
        const QPoint p = nodePoint(fields);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, p, d()->explorer()->viewport()->mapToGlobal(p));
        QApplication::sendEvent(d()->explorer()->viewport(), &menu);
        settle();
        auto* nameBox = inspectorRow<QLineEdit>(QStringLiteral("名称"));
        ASSERT_TRUE(nameBox);
        typeInto(nameBox, name);
        auto* type = inspectorRow<QComboBox>(QStringLiteral("类型"));
        ASSERT_TRUE(type);
        type->setFocus();
        for (int i = 0; i < typeDowns; ++i) {
            QTest::keyClick(type, Qt::Key_Down);
            settle();
            type = inspectorRow<QComboBox>(QStringLiteral("类型"));
        }
    }
    static void pickMenu(const QString& text) {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) {
            QTimer::singleShot(10, [text] { pickMenu(text); });
            return;
        }
        for (QAction* a : menu->actions())
            if (a->text() == text) menu->setActiveAction(a);
        QTest::keyClick(menu, Qt::Key_Return);
    }
    // Drags a field from the outline onto the detail band.
    void dropField(const QString& name) {
        QTreeWidgetItem* n = node(name);
        ASSERT_TRUE(n) << name.toStdString();
        std::unique_ptr<QMimeData> mime(
            d()->explorer()->model()->mimeData({d()->explorer()->indexFromItem(n)}));
        const QPoint drop = at(kDetail, 2, 2);
        QDragEnterEvent enter(drop, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
        QApplication::sendEvent(viewport(), &enter);
        QDropEvent dropEvent(drop, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
        QApplication::sendEvent(viewport(), &dropEvent);
    }
    // Shortcuts need the active window (a closed popup menu may have taken it).
    void key(int k, Qt::KeyboardModifiers mods = {}) {
        if (!window.isActiveWindow()) {
            window.activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        }
        QWidget* to = QApplication::focusWidget();
        QTest::keyClick(to ? to : d()->canvas(), Qt::Key(k), mods);
        settle();
    }
    // Ctrl+E on the selection; the editor's text replaced by typing.
    ExpressionEditor* editExpression(const QString& text) {
        d()->canvas()->setFocus();
        key(Qt::Key_E, Qt::ControlModifier);
        ExpressionEditor* e = d()->expressionEditor();
        if (!e) return nullptr;
        auto* edit = e->findChild<QPlainTextEdit*>(QStringLiteral("expressionText"));
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
        return e;
    }
    void accept(ExpressionEditor* e) {
        QTest::mouseClick(e->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        settle();
    }

    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("designer.ini")), QSettings::IniFormat};
    DesignerWindow window{settings, nullptr, dir.filePath(QStringLiteral("recovery"))};
};

} // namespace

TEST_F(OrderList, BuiltFromNewWithMouseAndKeysPrintsTheGrandTotal) {
    // Fields: quantity typed as an integer (one step down the type box); price left as text.
    for (const auto& [name, downs] :
         {std::pair{"customer", 0}, {"orderNo", 0}, {"product", 0}, {"quantity", 1}, {"price", 0}})
        addField(QString::fromLatin1(name), downs);
    ASSERT_EQ(t().fields.size(), 5u);
    EXPECT_EQ(t().fields[3].type, "integer");
    EXPECT_EQ(t().fields[4].type, "text");
    for (const char* name : {"orderNo", "customer", "product", "quantity", "price"})
        dropField(QString::fromLatin1(name));
    ASSERT_EQ(t().detail.items.size(), 5u);

    // Amount: a copy of the price cell (Ctrl+D puts it to the right), its content typed in the editor.
    const Item& price = t().detail.items[4];
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(kDetail, 185, 2)); // off the dropped cell and title
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(kDetail, price.x + 2, 2));
    d()->canvas()->setFocus();
    ASSERT_EQ(d()->document().selection().size(), 1u);
    key(Qt::Key_D, Qt::ControlModifier);
    ASSERT_EQ(t().detail.items.size(), 6u);
    ExpressionEditor* e = editExpression(QStringLiteral("{quantity*}"));
    ASSERT_TRUE(e);
    EXPECT_TRUE(e->problem().startsWith(QStringLiteral("第 11 个字符：expected a value")))
        << e->problem().toStdString();
    auto* edit = e->findChild<QPlainTextEdit*>(QStringLiteral("expressionText"));
    QTest::keyClick(edit, Qt::Key_Left);
    QTest::keyClicks(edit, QStringLiteral("price"));
    EXPECT_EQ(e->problem(), QString());
    accept(e);
    EXPECT_EQ(t().detail.items[5].text, "{quantity*price}");

    // The checks list names price and makes it a number with one click; the type from the sample rows.
    d()->setChecksVisible(true);
    QPushButton* fix = d()->checks()->findChild<QPushButton*>(QStringLiteral("makeNumber"));
    ASSERT_TRUE(fix);
    QTest::mouseClick(fix, Qt::LeftButton);
    QApplication::processEvents(); // the button's request is queued: the list is rebuilt by it
    settle();
    EXPECT_EQ(t().fields[4].type, "decimal") << "\"368.00\" and the like";
    EXPECT_EQ(d()->checks()->findChild<QPushButton*>(QStringLiteral("makeNumber")), nullptr);

    // The report footer, added from its band's settings; the amount cell pasted into it (its label picked).
    QTreeWidgetItem* footerNode = node(QStringLiteral("报表尾"));
    ASSERT_TRUE(footerNode);
    QTest::mouseClick(d()->explorer()->viewport(), Qt::LeftButton, {}, nodePoint(footerNode));
    settle();
    QPushButton* add = nullptr;
    for (auto* b : d()->inspector()->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("添加此带区")) add = b;
    ASSERT_TRUE(add);
    QTest::mouseClick(add, Qt::LeftButton);
    settle();
    ASSERT_TRUE(t().reportFooter.present);
    const Item& amount = t().detail.items[5];
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(kDetail, 185, 2));
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(kDetail, amount.x + 2, 2));
    key(Qt::Key_C, Qt::ControlModifier);
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(kFooter, -20, 2));
    QCursor::setPos(window.mapToGlobal(QPoint(5, 5)));
    d()->canvas()->setFocus();
    key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(t().reportFooter.items.size(), 1u);

    // The grand total: typed, then a count from the aggregate picker at the end.
    e = editExpression(QStringLiteral("{sum(quantity*price, report)|#,##0.00} / "));
    ASSERT_TRUE(e);
    auto* fn = e->findChild<QComboBox*>(QStringLiteral("aggregateFunction"));
    fn->setFocus();
    QTest::keyClick(fn, Qt::Key_Down); // 合计 → 平均
    QTest::keyClick(fn, Qt::Key_Down); // → 计数
    auto* scope = e->findChild<QComboBox*>(QStringLiteral("aggregateScope"));
    scope->setFocus();
    QTest::keyClick(scope, Qt::Key_Down); // 本组 → 全部
    QTest::mouseClick(e->findChild<QPushButton*>(QStringLiteral("insertAggregate")), Qt::LeftButton);
    EXPECT_EQ(e->text(), QStringLiteral("{sum(quantity*price, report)|#,##0.00} / {count(quantity, report)}"))
        << "numbers first in the field list";
    EXPECT_EQ(e->findChild<QLabel*>(QStringLiteral("expressionValue"))->text(),
              QStringLiteral("第一行的值：21,712.00 / 1"));
    accept(e);
    const std::string total = "{sum(quantity*price, report)|#,##0.00} / {count(quantity, report)}";
    EXPECT_EQ(t().reportFooter.items[0].text, total);
    // Room for the total: its width typed in the inspector.
    auto* width = inspectorRow<QLineEdit>(QStringLiteral("宽"));
    ASSERT_TRUE(width);
    typeInto(width, QStringLiteral("60"));
    EXPECT_DOUBLE_EQ(t().reportFooter.items[0].w, 60);

    // Saved, opened again: the same template; saved again: the same bytes.
    const QString path = dir.filePath(QStringLiteral("orders.grf"));
    QString error;
    ASSERT_TRUE(window.saveTo(path, &error)) << error.toStdString();
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    saved.close();
    ASSERT_TRUE(window.openFile(path, &error)) << error.toStdString();
    EXPECT_EQ(t().reportFooter.items.at(0).text, total);
    const QString again = dir.filePath(QStringLiteral("again.grf"));
    ASSERT_TRUE(window.saveTo(again, &error));
    QFile second(again);
    ASSERT_TRUE(second.open(QIODevice::ReadOnly));
    EXPECT_EQ(second.readAll(), bytes);

    // Printed to PDF with the demo's orders.
    Report report;
    ASSERT_TRUE(report.LoadTemplate(path)) << report.lastError().toStdString();
    EXPECT_TRUE(report.loadWarnings().isEmpty());
    QFile request(kOrders);
    ASSERT_TRUE(request.open(QIODevice::ReadOnly));
    const QByteArray json = request.readAll();
    FillFromRequest(report, JsonDocument::Parse(std::string_view(json.constData(), size_t(json.size()))));
    const QString pdf = dir.filePath(QStringLiteral("orders.pdf"));
    ASSERT_TRUE(report.ExportToFile(Report::kExportPdf, pdf, 0, 0)) << report.lastError().toStdString();
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(printed.contains(QStringLiteral("1,305,203.90 / 80"))) << printed.right(600).toStdString();
    EXPECT_TRUE(printed.contains(QStringLiteral("21712"))) << "the first row's amount (no format)";
}
