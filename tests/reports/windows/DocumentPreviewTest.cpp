// A document's pages in the preview: a PDF's pages at their own sizes, a picture as one page, and
// 打印 handing the chosen printer to the opener.
#include "agent/reports/windows/DocumentPages.h"
#include "agent/reports/windows/frmDocumentPreview.h"

#include <QBuffer>
#include <QComboBox>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace verolux;

namespace {

std::string Bytes(const QByteArray& a) {
    return std::string(a.constData(), std::size_t(a.size()));
}

// Page 1 A4 with a black block in its upper half, page 2 A5 landscape.
std::string TwoSizePdf() {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF());
    QPainter painter(&writer);
    painter.fillRect(QRect(0, 0, writer.width(), writer.height() / 2), Qt::black);
    writer.setPageSize(QPageSize(QPageSize::A5));
    writer.setPageOrientation(QPageLayout::Landscape);
    writer.newPage();
    painter.end();
    return Bytes(out);
}

double Darkness(const QImage& image) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += 255 - qGray(image.pixel(x, y));
    return sum / (255.0 * image.width() * image.height());
}

TEST(DocumentPages, PdfPagesAtTheirOwnSizes) {
    if (!DocumentPages::PdfSupported()) GTEST_SKIP() << "built without Qt PDF";
    DocumentPages pages;
    std::string error;
    ASSERT_TRUE(pages.Load(TwoSizePdf(), &error)) << error;
    ASSERT_EQ(pages.count(), 2);
    EXPECT_EQ(pages.pointSize(0).toSize(), QSize(595, 842));
    EXPECT_EQ(pages.pointSize(1).toSize(), QSize(595, 420));
    const QImage first = pages.render(0, QSize(60, 84));
    EXPECT_NEAR(Darkness(first.copy(0, 0, 60, 40)), 1.0, 0.05);
    EXPECT_NEAR(Darkness(first.copy(0, 44, 60, 40)), 0.0, 0.05);
    EXPECT_FALSE(pages.Load("%PDF-1.4 broken", &error));
}

TEST(DocumentPages, PictureIsOnePageOfItsOwnSize) {
    QImage picture(300, 150, QImage::Format_RGB32);
    picture.fill(Qt::black);
    picture.setDotsPerMeterX(qRound(150 / 0.0254)); // 150 dpi: 2 × 1 inches
    picture.setDotsPerMeterY(qRound(150 / 0.0254));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(picture.save(&buffer, "PNG"));
    DocumentPages pages;
    std::string error;
    ASSERT_TRUE(pages.Load(Bytes(png), &error)) << error;
    EXPECT_EQ(pages.count(), 1);
    EXPECT_EQ(pages.pointSize(0).toSize(), QSize(144, 72));
    EXPECT_NEAR(Darkness(pages.render(0, QSize(20, 10))), 1.0, 0.01);
    EXPECT_FALSE(pages.Load("GIF89a", &error));
}

TEST(DocumentPreviewWindow, PrintHandsOverTheChosenPrinter) {
    QImage picture(40, 40, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    auto pages = std::make_unique<DocumentPages>();
    std::string error;
    ASSERT_TRUE(pages->Load(Bytes(png), &error));
    std::vector<std::string> printed;
    frmDocumentPreview w(std::move(pages), "doc-1", {"A", "LABEL", "C"}, "LABEL",
                         [&](const std::string& printer) { printed.push_back(printer); });
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("文档预览-doc-1"));
    w.cmdPrint->click();
    w.cboPrinter->setCurrentIndex(2);
    w.cmdPrint->click();
    EXPECT_EQ(printed, (std::vector<std::string>{"LABEL", "C"}));
    // No printer at all: nothing to print on.
    auto none = std::make_unique<DocumentPages>();
    ASSERT_TRUE(none->Load(Bytes(png), &error));
    frmDocumentPreview empty(std::move(none), "doc-2", {}, "", [](const std::string&) {});
    empty.setAttribute(Qt::WA_DeleteOnClose, false);
    EXPECT_FALSE(empty.cmdPrint->isEnabled());
}

} // namespace
