// What a report author does with mouse and keys, each checked on the document: the inspector surviving
// its own editors, pasting where the mouse is, duplicating across, fields dropped with their column
// titles, Tab in reading order, band labels, the outline in step with the page, the format box.
#include "agent/reports/designer/DesignCanvas.h"
#include "agent/reports/designer/ExplorerTree.h"
#include "agent/reports/designer/ExpressionEditor.h"
#include "agent/reports/designer/Inspector.h"
#include "agent/reports/designer/PreviewPane.h"
#include "agent/reports/designer/PropertyWidgets.h"
#include "agent/reports/designer/ReportDesigner.h"

#include "agent/reports/design/BandRef.h"
#include "agent/reports/design/ItemEdits.h"
#include "agent/reports/engine/Report.h"
#include "agent/reports/model/StyleKeys.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFontComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace verolux::reports;
using design::BandRef;
using design::BandSlot;
using design::ItemRef;

namespace {

const BandRef kDetail{BandSlot::Detail};
const BandRef kColumnHeader{BandSlot::ColumnHeader};
const BandRef kReportFooter{BandSlot::ReportFooter};
const BandRef kPageFooter{BandSlot::PageFooter};

class Authoring : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(report.LoadTemplate(QStringLiteral(VEROLUX_SOURCE_DIR "/demo/templates/orders.grf")));
        designer.resize(1400, 900);
        designer.setPreviewVisible(false);
        designer.show();
        designer.BindReport(&report);
        designer.ReloadDesign();
        designer.canvas()->setZoom(1.5);
        designer.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&designer)); // the shortcuts need an active window
    }

    const design::DesignDocument& doc() { return designer.document(); }
    const Band& band(BandRef ref) { return *design::FindBand(doc().tmpl(), ref); }
    QWidget* viewport() { return designer.canvas()->viewport(); }
    QPoint at(BandRef b, double x, double y) {
        const auto* placed = designer.canvas()->layout().find(b);
        return designer.canvas()->toView(designer.canvas()->layout().left + x, placed->top + y).toPoint();
    }
    void click(BandRef b, double x, double y) {
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(b, x, y));
    }
    void key(int k, Qt::KeyboardModifiers mods = {}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(k), mods);
    }
    // Lets the inspector's replaced forms go.
    void settle() { QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    QTreeWidgetItem* node(const QString& text) {
        designer.explorer()->expandAll();
        const auto found = designer.explorer()->findItems(text, Qt::MatchStartsWith | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.front();
    }
    void clickNode(QTreeWidgetItem* n) {
        ExplorerTree* tree = designer.explorer();
        tree->scrollToItem(n);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(n).center());
    }

    Report report;
    ReportDesigner designer;
};

} // namespace

// The type box rebuilt the form inside its own signal and was deleted under its feet (a crash).
TEST_F(Authoring, ChangingTheTypeOfAFieldOrParameterAgainAndAgainKeepsTheDesignerUp) {
    for (const QString& name : {QStringLiteral("amount"), QStringLiteral("company")}) {
        QTreeWidgetItem* n = node(name);
        ASSERT_TRUE(n) << name.toStdString();
        clickNode(n);
        for (int i = 0; i < 6; ++i) {
            auto* type = designer.inspector()->findChild<QComboBox*>(QStringLiteral("typeBox"));
            ASSERT_TRUE(type);
            type->setFocus();
            const int before = type->currentIndex();
            QTest::keyClick(type, i < 3 ? Qt::Key_Down : Qt::Key_Up);
            settle();
            const auto& list =
                name == QStringLiteral("amount") ? doc().tmpl().fields : doc().tmpl().parameters;
            const auto d = std::find_if(list.begin(), list.end(),
                                        [&](const Declared& x) { return x.name == name.toStdString(); });
            ASSERT_NE(d, list.end());
            static const char* const kTypes[] = {"text",     "integer", "decimal",
                                                 "currency", "boolean", "datetime"};
            EXPECT_EQ(d->type, kTypes[i < 3 ? std::min(before + 1, 5) : std::max(before - 1, 0)]);
        }
    }
}

TEST_F(Authoring, PasteGoesIntoTheBandUnderTheMouseElseThePickedBand) {
    click(kDetail, 170, 2); // {amount}
    key(Qt::Key_C, Qt::ControlModifier);
    // The mouse over the report footer.
    QCursor::setPos(viewport()->mapToGlobal(at(kReportFooter, 100, 8)));
    const size_t footer = band(kReportFooter).items.size();
    key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(band(kReportFooter).items.size(), footer + 1);
    EXPECT_EQ(band(kReportFooter).items.back().text, "{amount}");
    // The mouse off the page: the band whose label was clicked.
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(kPageFooter, -20, 2));
    QCursor::setPos(designer.mapToGlobal(QPoint(5, 5)));
    const size_t pageFooter = band(kPageFooter).items.size();
    designer.canvas()->setFocus();
    key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(band(kPageFooter).items.size(), pageFooter + 1);
    EXPECT_EQ(band(kPageFooter).items.back().text, "{amount}");
    EXPECT_DOUBLE_EQ(band(kPageFooter).items.back().y, 0) << "it fits in the 8 mm band";
}

TEST_F(Authoring, DuplicatePutsTheCopyToTheRightInTheSameRow) {
    click(kDetail, 2, 2); // {orderNo} at 0,0
    key(Qt::Key_D, Qt::ControlModifier);
    ASSERT_EQ(band(kDetail).items.size(), 8u);
    EXPECT_DOUBLE_EQ(band(kDetail).items.back().x, 2);
    EXPECT_DOUBLE_EQ(band(kDetail).items.back().y, 0);
    EXPECT_EQ(doc().selection(), (std::vector<ItemRef>{{kDetail, 7}}));
}

TEST_F(Authoring, AFieldDroppedIntoTheDetailBandBringsItsColumnTitle) {
    QTreeWidgetItem* n = node(QStringLiteral("product"));
    ASSERT_TRUE(n);
    std::unique_ptr<QMimeData> mime(
        designer.explorer()->model()->mimeData({designer.explorer()->indexFromItem(n)}));
    ASSERT_TRUE(mime);
    // Onto {customer}: that column is taken, so the next free one (right of everything) is used.
    const QPoint drop = at(kDetail, 60, 3);
    QDragEnterEvent enter(drop, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
    QApplication::sendEvent(viewport(), &enter);
    QDropEvent dropEvent(drop, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
    QApplication::sendEvent(viewport(), &dropEvent);
    const Item& cell = band(kDetail).items.back();
    const Item& title = band(kColumnHeader).items.back();
    EXPECT_EQ(cell.text, "{product}");
    EXPECT_EQ(title.text, "product");
    EXPECT_DOUBLE_EQ(cell.x, 190);
    EXPECT_DOUBLE_EQ(title.x, 190);
    EXPECT_DOUBLE_EQ(cell.h, 6) << "as tall as the detail band";
    EXPECT_DOUBLE_EQ(title.h, 7) << "as tall as the column header";
    EXPECT_DOUBLE_EQ(cell.w, title.w);
    EXPECT_GT(cell.w, 10) << "room for the text";
    EXPECT_LT(cell.w, 30) << "sized to the text, not a fixed width";
    EXPECT_EQ(doc().steps().count(), 1u);
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(band(kDetail).items.size(), 7u);
    EXPECT_EQ(band(kColumnHeader).items.size(), 7u);
}

TEST_F(Authoring, TabFollowsReadingOrderNotTheOrderItemsWereMade) {
    // {orderNo} goes to the end of the detail band's list; it still stands first in its row.
    design::BringToFront(designer.document(), {{kDetail, 0}});
    designer.select({});
    click(BandRef{BandSlot::GroupHeader, 0}, 100, 3); // 客户：{customer}, just above the detail band
    key(Qt::Key_Tab);
    EXPECT_EQ(doc().selection(), (std::vector<ItemRef>{{kDetail, 6}}));
    key(Qt::Key_Tab);
    EXPECT_EQ(doc().selection(), (std::vector<ItemRef>{{kDetail, 0}})) << "{orderDate}, next to the right";
}

TEST_F(Authoring, AClickOnABandLabelPicksTheBand) {
    click(kDetail, 2, 2);
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(kReportFooter, -20, 3));
    EXPECT_TRUE(doc().selection().empty());
    EXPECT_EQ(designer.inspector()->subject(), (DesignSubject{DesignSubject::Kind::Band, kReportFooter, -1}));
    EXPECT_EQ(designer.canvas()->pickedBand(), kReportFooter);
}

TEST_F(Authoring, TheOutlineFollowsThePageAndThePageTheOutline) {
    click(kDetail, 170, 2);
    EXPECT_EQ(designer.explorer()->pickedItems(), (std::vector<ItemRef>{{kDetail, 6}}));
    QTreeWidgetItem* n = node(QStringLiteral("文本  {orderDate}"));
    ASSERT_TRUE(n);
    clickNode(n);
    EXPECT_EQ(doc().selection(), (std::vector<ItemRef>{{kDetail, 1}}));
    EXPECT_EQ(designer.inspector()->subject().kind, DesignSubject::Kind::Items);
}

TEST_F(Authoring, TheFormatBoxKeepsWhatWasTyped) {
    click(kDetail, 170, 2);
    auto* box = designer.inspector()->findChild<QComboBox*>(QStringLiteral("formatBox"));
    ASSERT_TRUE(box);
    QTest::mouseClick(box->lineEdit(), Qt::LeftButton);
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), QStringLiteral("#,##0"));
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    const Item& amount = band(kDetail).items[6];
    EXPECT_EQ(doc().tmpl().styles[size_t(amount.style)].format, "#,##0");
    settle();
    box = designer.inspector()->findChild<QComboBox*>(QStringLiteral("formatBox"));
    EXPECT_EQ(box->currentText(), QStringLiteral("#,##0"));
}

// Every style key has its editor in the named style's inspector, and each editor changes its own key.
TEST_F(Authoring, EachStyleKeyHasAnEditorThatSetsIt) {
    auto text = [](std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); };
    for (const StyleKeyInfo& key : kStyleKeys) {
        SCOPED_TRACE(std::string(key.name) + (key.inBorders ? " (borders)" : ""));
        designer.inspector()->setSubject({DesignSubject::Kind::Style, {}, 0});
        settle();
        const QString rowLabel = text(key.row.empty() ? key.label : key.row);
        QLabel* label = nullptr;
        for (auto* l : designer.inspector()->findChildren<QLabel*>())
            if (l->text() == rowLabel && qobject_cast<QFormLayout*>(l->parentWidget()->layout())) label = l;
        ASSERT_TRUE(label);
        auto* form = qobject_cast<QFormLayout*>(label->parentWidget()->layout());
        int row = -1;
        QFormLayout::ItemRole role;
        form->getWidgetPosition(label, &row, &role);
        QWidget* editor = form->itemAt(row, QFormLayout::FieldRole)->widget();
        ASSERT_TRUE(editor);

        const TextStyle before = doc().tmpl().styles[0];
        switch (key.kind) {
        case StyleValueKind::Boolean: {
            QCheckBox* box = nullptr;
            for (auto* b : editor->findChildren<QCheckBox*>())
                if (b->text() == text(key.label)) box = b;
            ASSERT_TRUE(box);
            box->click();
            break;
        }
        case StyleValueKind::Number:
            ASSERT_TRUE(qobject_cast<NumberEdit*>(editor));
            emit static_cast<NumberEdit*>(editor)->committed(key.min + 1);
            break;
        case StyleValueKind::Colour:
            ASSERT_TRUE(qobject_cast<ColourButton*>(editor));
            emit static_cast<ColourButton*>(editor)->committed(0xFF123456);
            break;
        case StyleValueKind::HAlign:
        case StyleValueKind::VAlign:
            ASSERT_TRUE(qobject_cast<QComboBox*>(editor));
            emit static_cast<QComboBox*>(editor)->activated(2);
            break;
        case StyleValueKind::FontFamily: {
            auto* font = qobject_cast<QFontComboBox*>(editor);
            ASSERT_TRUE(font);
            font->setEditText(QStringLiteral("Some Font"));
            emit font->activated(0);
            break;
        }
        case StyleValueKind::Text: {
            auto* box = editor->findChild<QComboBox*>(QStringLiteral("formatBox"));
            ASSERT_TRUE(box);
            box->setEditText(QStringLiteral("0.0"));
            emit box->lineEdit()->editingFinished();
            break;
        }
        }
        const TextStyle& after = doc().tmpl().styles[0];
        EXPECT_EQ(DifferingStyleKeys(before, after), uint32_t(key.bit));
        EXPECT_TRUE(after.own & key.bit);
    }
}

TEST_F(Authoring, AddingABandShowsItsSettingsNotTheAddButtonAgain) {
    QTreeWidgetItem* n = node(QStringLiteral("报表头"));
    ASSERT_TRUE(n);
    clickNode(n);
    auto* add = designer.inspector()->findChild<QPushButton*>();
    ASSERT_TRUE(add);
    ASSERT_EQ(add->text(), QStringLiteral("添加此带区"));
    QTest::mouseClick(add, Qt::LeftButton);
    settle();
    EXPECT_TRUE(band({BandSlot::ReportHeader}).present);
    for (auto* b : designer.inspector()->findChildren<QPushButton*>())
        EXPECT_NE(b->text(), QStringLiteral("添加此带区"));
    EXPECT_TRUE(designer.inspector()->findChild<QLineEdit*>()) << "the height editor";
}

TEST_F(Authoring, AGroupsFormStartsAtTheTopOfTheInspector) {
    designer.setInspectorVisible(true);
    QTreeWidgetItem* n = node(QStringLiteral("customer  ·  按"));
    ASSERT_TRUE(n);
    clickNode(n);
    settle();
    QApplication::processEvents();
    QLabel* heading = nullptr;
    for (QLabel* l : designer.inspector()->findChildren<QLabel*>())
        if (l->text() == QStringLiteral("分组") && l->isVisible()) heading = l;
    ASSERT_TRUE(heading);
    EXPECT_LT(heading->mapTo(designer.inspector(), QPoint(0, 0)).y(), 40);
}

TEST(DesignerLayout, NarrowTheControlAndThePreviewMakesRoomForThePage) {
    ReportDesigner designer;
    designer.resize(1500, 800);
    designer.show();
    QApplication::processEvents();
    EXPECT_TRUE(designer.preview()->isVisibleTo(&designer) ||
                designer.preview()->parentWidget()->isVisibleTo(&designer));
    designer.resize(1100, 800);
    QApplication::processEvents();
    EXPECT_FALSE(designer.preview()->parentWidget()->isVisibleTo(&designer));
    EXPECT_GT(designer.canvas()->width(), 450);
    designer.resize(1500, 800);
    QApplication::processEvents();
    EXPECT_TRUE(designer.preview()->parentWidget()->isVisibleTo(&designer)) << "back when there is room";
}

// A band's page options are undoable steps; a double click on a text item in the outline opens the
// expression editor, whose data tree inserts a name bare inside the braces.
TEST_F(Authoring, BandOptionsAndTheExpressionEditorFromTheOutline) {
    clickNode(node(QStringLiteral("报表尾")));
    settle();
    QCheckBox* bottom = nullptr;
    for (auto* b : designer.inspector()->findChildren<QCheckBox*>())
        if (b->text() == QStringLiteral("打印在页底")) bottom = b;
    ASSERT_TRUE(bottom);
    QTest::mouseClick(bottom, Qt::LeftButton, {}, QPoint(8, bottom->height() / 2)); // on the box
    settle();
    EXPECT_TRUE(band(kReportFooter).printAtBottom);
    designer.undo();
    EXPECT_FALSE(band(kReportFooter).printAtBottom);

    clickNode(node(QStringLiteral("文本  {amount}"))); // picked first: the outline follows the page
    QTreeWidgetItem* amount = node(QStringLiteral("文本  {amount}"));
    ASSERT_TRUE(amount);
    ExplorerTree* tree = designer.explorer();
    tree->scrollToItem(amount);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(amount).center());
    QApplication::processEvents(); // the request is queued
    ExpressionEditor* editor = designer.expressionEditor();
    ASSERT_TRUE(editor);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
    EXPECT_EQ(doc().selection(), (std::vector<ItemRef>{{kDetail, 6}}));
    auto* text = editor->findChild<QPlainTextEdit*>(QStringLiteral("expressionText"));
    EXPECT_EQ(text->toPlainText(), QStringLiteral("{amount}"));
    QTest::keyClick(text, Qt::Key_Left);
    QTest::keyClicks(text, QStringLiteral("*"));
    auto* data = editor->findChild<QTreeWidget*>(QStringLiteral("expressionData"));
    const auto price = data->findItems(QStringLiteral("price"), Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(price.size(), 1);
    data->scrollToItem(price.front());
    const QPoint on = data->visualItemRect(price.front()).center();
    QTest::mouseClick(data->viewport(), Qt::LeftButton, {}, on);
    QTest::mouseDClick(data->viewport(), Qt::LeftButton, {}, on);
    EXPECT_EQ(text->toPlainText(), QStringLiteral("{amount*price}"));
    EXPECT_EQ(editor->problem(), QString());
    QTest::keyClick(editor, Qt::Key_Escape);
    settle();
    EXPECT_EQ(band(kDetail).items[6].text, "{amount}") << "cancelled";
}

// Conditional formatting in the inspector: a rule added, its condition typed (marked while it cannot
// be read), a style picked, the item hidden when it holds; every step undoable.
TEST_F(Authoring, RulesAreEditedInTheInspector) {
    click(kDetail, 170, 2); // {amount}
    settle();
    auto button = [this](const char* name) {
        return designer.inspector()->findChild<QPushButton*>(QString::fromLatin1(name));
    };
    ASSERT_TRUE(button("addRule"));
    QTest::mouseClick(button("addRule"), Qt::LeftButton);
    settle();
    ASSERT_EQ(band(kDetail).items[6].rules.size(), 1u);
    EXPECT_EQ(band(kDetail).items[6].rules[0].when, "quantity > 0") << "the first number field";
    auto* when = designer.inspector()->findChild<QLineEdit*>(QStringLiteral("ruleWhen"));
    ASSERT_TRUE(when);
    when->setFocus();
    QTest::keyClick(when, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(when, QStringLiteral("amount >="));
    QTest::keyClick(when, Qt::Key_Return);
    settle();
    EXPECT_EQ(band(kDetail).items[6].rules[0].when, "amount >=");
    EXPECT_TRUE(when->toolTip().startsWith(QStringLiteral("第 10 个字符：")))
        << when->toolTip().toStdString();
    QTest::keyClicks(when, QStringLiteral(" 10000"));
    QTest::keyClick(when, Qt::Key_Return);
    settle();
    EXPECT_EQ(band(kDetail).items[6].rules[0].when, "amount >= 10000");
    auto* style = designer.inspector()->findChild<QComboBox*>(QStringLiteral("ruleStyle"));
    style->setFocus();
    while (style->currentData().toString() != QStringLiteral("total") &&
           style->currentIndex() + 1 < style->count())
        QTest::keyClick(style, Qt::Key_Down);
    settle();
    EXPECT_EQ(band(kDetail).items[6].rules[0].style, "total");
    auto* shown = designer.inspector()->findChild<QCheckBox*>(QStringLiteral("ruleVisible"));
    QTest::mouseClick(shown, Qt::LeftButton, {}, QPoint(8, shown->height() / 2));
    settle();
    EXPECT_FALSE(band(kDetail).items[6].rules[0].visible);
    for (int i = 0; i < 40 && !band(kDetail).items[6].rules.empty(); ++i) // a step per style passed
        designer.undo();
    EXPECT_TRUE(band(kDetail).items[6].rules.empty());
}
