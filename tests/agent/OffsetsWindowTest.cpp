// 打印机校准: the window reads, saves and prints a printer's offset; the test page is drawn moved by it.
#include "agent/desktop/CalibrationPage.h"
#include "agent/desktop/frmOffsets.h"
#include "agent/reports/windows/DocumentPages.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <map>

using namespace verolux;

namespace {

TEST(OffsetsWindow, ReadsSavesAndPrintsTheChosenPrintersOffset) {
    std::map<std::string, PrinterOffset> kept{{"LABEL", {15, -8}}};
    std::vector<std::pair<std::string, PrinterOffset>> printed;
    frmOffsets w({{"A4LASER", "LABEL"},
                  [&](const std::string& p) { return kept[p]; },
                  [&](const std::string& p, const PrinterOffset& o) { kept[p] = o; },
                  [&](const std::string& p, const PrinterOffset& o) {
                      printed.emplace_back(p, o);
                      return std::string(printed.size() == 1 ? "" : "printer \"LABEL\" does not exist");
                  }});
    EXPECT_EQ(w.txtX->value(), 0.0);
    w.cboPrinter->setCurrentIndex(1);
    EXPECT_EQ(std::make_pair(w.txtX->value(), w.txtY->value()), std::make_pair(1.5, -0.8));
    w.txtX->setValue(2.3);
    w.cmdTestPage->click();
    EXPECT_EQ(w.lbStatus->text(), QStringLiteral("测试页已发送"));
    w.cmdSave->click();
    EXPECT_EQ(kept["LABEL"], (PrinterOffset{23, -8}));
    EXPECT_EQ(printed, (std::vector<std::pair<std::string, PrinterOffset>>{{"LABEL", {23, -8}}}));
    w.cmdTestPage->click();
    EXPECT_EQ(w.lbStatus->text(), QStringLiteral("printer \"LABEL\" does not exist"));
}

// The mark 10 mm from the left edge, on a 62 × 29 mm label at 10 pixels a millimetre.
bool DarkAt(const QImage& page, int column) {
    return qGray(page.pixel(column, 250)) < 128;
}

TEST(CalibrationPage, DrawnMovedByTheOffset) {
    if (!DocumentPages::PdfSupported()) GTEST_SKIP() << "built without Qt PDF";
    DocumentPages plain, moved;
    std::string error;
    ASSERT_TRUE(plain.Load(CalibrationPdf(62, 29, {}), &error)) << error;
    ASSERT_TRUE(moved.Load(CalibrationPdf(62, 29, {30, -20}), &error)) << error;
    EXPECT_EQ(plain.pointSize(0).toSize(), QSize(176, 82));
    const QImage a = plain.render(0, {620, 290}), b = moved.render(0, {620, 290});
    EXPECT_TRUE(DarkAt(a, 100) || DarkAt(a, 99));
    EXPECT_FALSE(DarkAt(b, 100) || DarkAt(b, 99));
    EXPECT_TRUE(DarkAt(b, 130) || DarkAt(b, 129));
}

TEST(CalibrationPage, PictureDrawnMovedByTheOffset) {
    // 10 pixels a millimetre, as above.
    QImage a, b;
    const std::string plain = CalibrationPng(62, 29, {}, 254), moved = CalibrationPng(62, 29, {30, -20}, 254);
    ASSERT_TRUE(a.loadFromData(reinterpret_cast<const uchar*>(plain.data()), int(plain.size()), "PNG"));
    ASSERT_TRUE(b.loadFromData(reinterpret_cast<const uchar*>(moved.data()), int(moved.size()), "PNG"));
    EXPECT_EQ(a.size(), QSize(620, 290));
    EXPECT_EQ(a.dotsPerMeterX(), 10000); // the print path places it by its resolution
    EXPECT_TRUE(DarkAt(a, 100) || DarkAt(a, 99));
    EXPECT_FALSE(DarkAt(b, 100) || DarkAt(b, 99));
    EXPECT_TRUE(DarkAt(b, 130) || DarkAt(b, 129));
}

} // namespace
