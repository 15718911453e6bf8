// The order list built from New in the designer program with mouse and keys: fields added (their types
// guessed from the sample rows, one changed), dropped into the detail band, amount = quantity × price
// through the expression editor, a group by customer with its sum, a grand total from the aggregate
// picker. Saved with Ctrl+S and opened again through the file dialogs, unchanged, and printed to PDF on
// the demo's 80 orders: poppler finds the total and every customer's sum.
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
#include "agent/reports/format/Decimal.h"
#include "common/JsonReader.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

using namespace verolux;
using namespace verolux::reports;
using design::BandRef;
using design::BandSlot;

namespace {

const QString kOrders = QStringLiteral(VEROLUX_SOURCE_DIR "/demo/requests/orders.json");
const BandRef kDetail{BandSlot::Detail};
const BandRef kFooter{BandSlot::ReportFooter};
const BandRef kGroupFooter{BandSlot::GroupFooter, 0};

// "1305203.9" → "1,305,203.90".
std::string Grouped(const format::Decimal& d) {
    std::string s = d.round(2)->toString();
    const size_t dot = s.find('.');
    if (dot == std::string::npos)
        s += ".00";
    else
        s.append(3 - (s.size() - dot), '0');
    for (int at = int(s.find('.')) - 3; at > (s[0] == '-' ? 1 : 0); at -= 3)
        s.insert(size_t(at), ",");
    return s;
}

// Each run of one customer's orders (as the report groups them) with its quantity × price summed
// exactly, and the grand total last.
std::vector<std::pair<QString, format::Decimal>> ExpectedSums(const QByteArray& json) {
    std::vector<std::pair<QString, format::Decimal>> out;
    format::Decimal total = format::Decimal::fromInteger(0);
    for (const QJsonValue row : QJsonDocument::fromJson(json).object()[QStringLiteral("repdata")].toArray()) {
        const QJsonObject o = row.toObject();
        const auto text = [&](const char* key) {
            const QJsonValue v = o[QLatin1String(key)];
            return v.isString() ? v.toString().toStdString() : std::to_string(v.toInteger());
        };
        const auto amount =
            format::Decimal::parse(text("quantity"))->multiply(*format::Decimal::parse(text("price")));
        const QString customer = o[QStringLiteral("customer")].toString();
        if (out.empty() || out.back().first != customer)
            out.emplace_back(customer, format::Decimal::fromInteger(0));
        out.back().second = *out.back().second.add(*amount);
        total = *total.add(*amount);
    }
    out.emplace_back(QString(), total);
    return out;
}

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
        QApplication::processEvents(); // the type guessed from the rows is a queued step
        settle();
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
    // The detail's amount cell copied, the band picked by its label, pasted with Ctrl+V.
    void pasteAmountInto(BandRef band) {
        const Item& amount = t().detail.items[5];
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(kDetail, 185, 2));
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(kDetail, amount.x + 2, 2));
        key(Qt::Key_C, Qt::ControlModifier);
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(band, -20, 2));
        QCursor::setPos(window.mapToGlobal(QPoint(5, 5)));
        d()->canvas()->setFocus();
        key(Qt::Key_V, Qt::ControlModifier);
    }
    // Answers the next file dialog as a user does: the folder typed and Enter, then the file's name and
    // Enter (each once the dialog takes it: the folder is read in the background).
    static void answerFileDialog(const QString& path) {
        QPointer<QFileDialog> dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* name = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        if (!name || !name->isVisible()) {
            QTimer::singleShot(10, [path] { answerFileDialog(path); });
            return;
        }
        const QFileInfo file(path);
        const bool inFolder = dialog->directory().absolutePath() == file.absolutePath();
        if (QWidget* list = QApplication::activePopupWidget()) QTest::keyClick(list, Qt::Key_Escape);
        const QString want = inFolder ? file.fileName() : file.absolutePath();
        if (name->text() != want) {
            name->setFocus();
            QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(name, want);
            if (QWidget* list = QApplication::activePopupWidget()) QTest::keyClick(list, Qt::Key_Escape);
        }
        QTest::keyClick(name, Qt::Key_Return);
        if (dialog && dialog->isVisible()) QTimer::singleShot(20, [path] { answerFileDialog(path); });
    }
    QByteArray bytesOf(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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

TEST_F(OrderList, BuiltFromNewWithMouseAndKeysPrintsItsSums) {
    // Fields: their types guessed from the demo's rows as they are named; quantity's then changed one
    // step down the type box, 整数 → 小数.
    for (const auto& [name, downs] :
         {std::pair{"customer", 0}, {"orderNo", 0}, {"product", 0}, {"quantity", 1}, {"price", 0}})
        addField(QString::fromLatin1(name), downs);
    ASSERT_EQ(t().fields.size(), 5u);
    EXPECT_EQ(t().fields[1].type, "text") << "SO0100000";
    EXPECT_EQ(t().fields[3].type, "decimal") << "guessed integer, changed";
    EXPECT_EQ(t().fields[4].type, "decimal") << "\"368.00\" and the like";
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

    // With the types guessed the checks list has no text field to make a number.
    d()->setChecksVisible(true);
    EXPECT_EQ(d()->checks()->findChild<QPushButton*>(QStringLiteral("makeNumber")), nullptr);

    // A group by customer (the first field) from the outline; the amount cell pasted into its footer
    // and made the group's sum.
    QTreeWidgetItem* groups = node(QStringLiteral("分组"));
    ASSERT_TRUE(groups);
    QTimer::singleShot(0, [] { pickMenu(QStringLiteral("添加分组")); });
    const QPoint g = nodePoint(groups);
    QContextMenuEvent groupMenu(QContextMenuEvent::Mouse, g, d()->explorer()->viewport()->mapToGlobal(g));
    QApplication::sendEvent(d()->explorer()->viewport(), &groupMenu);
    settle();
    ASSERT_EQ(t().groups.size(), 1u);
    EXPECT_EQ(t().groups[0].fields, std::vector<std::string>{"customer"});
    pasteAmountInto(kGroupFooter);
    ASSERT_EQ(t().groups[0].footer.items.size(), 1u);
    e = editExpression(QStringLiteral("{sum(quantity*price)|#,##0.00}"));
    ASSERT_TRUE(e);
    accept(e);
    auto* groupWidth = inspectorRow<QLineEdit>(QStringLiteral("宽"));
    ASSERT_TRUE(groupWidth);
    typeInto(groupWidth, QStringLiteral("60"));

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
    pasteAmountInto(kFooter);
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

    // Ctrl+S asks for a name the first time; Ctrl+N, then Ctrl+O opens it again: the same template;
    // Ctrl+S writes the same bytes.
    const QString path = dir.filePath(QStringLiteral("orders.grf"));
    QTimer::singleShot(0, [path] { answerFileDialog(path); });
    d()->canvas()->setFocus();
    key(Qt::Key_S, Qt::ControlModifier);
    const QByteArray bytes = bytesOf(path);
    ASSERT_FALSE(bytes.isEmpty());
    key(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(t().fields.empty());
    QTimer::singleShot(0, [path] { answerFileDialog(path); });
    d()->canvas()->setFocus();
    key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(t().reportFooter.items.at(0).text, total);
    ASSERT_TRUE(QFile::remove(path));
    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(bytesOf(path), bytes) << "saved again to the file it was opened from";

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
    // The Windows build's tests under Wine cannot start Linux's poppler-utils.
    if (!text.waitForStarted()) GTEST_SKIP() << "pdftotext (poppler-utils) cannot be started";
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    const auto sums = ExpectedSums(json);
    ASSERT_EQ(Grouped(sums.back().second), "1,305,203.90");
    EXPECT_TRUE(printed.contains(QStringLiteral("1,305,203.90 / 80"))) << printed.right(600).toStdString();
    for (size_t i = 0; i + 1 < sums.size(); ++i)
        EXPECT_TRUE(printed.contains(QString::fromStdString(Grouped(sums[i].second))))
            << sums[i].first.toStdString() << " " << Grouped(sums[i].second);
    EXPECT_TRUE(printed.contains(QStringLiteral("21712"))) << "the first row's amount (no format)";
}
