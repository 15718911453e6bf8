#include "agent/reports/windows/frmDocumentPreview.h"

#include <QCache>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace verolux {
namespace {

constexpr int kGap = 12; // pixels around and between pages
// Rendered pages kept for scrolling back; a long PDF is drawn as it comes into view.
constexpr int kCacheKiB = 64 * 1024;

// The pages one below the other, each drawn when it is first seen.
class PageColumn : public QWidget {
  public:
    explicit PageColumn(const DocumentPages& pages, QWidget* parent) : QWidget(parent), m_pages(pages) {
        const double dpi =
            QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->logicalDotsPerInch() : 96;
        int width = 0, y = kGap;
        for (int i = 0; i < pages.count(); ++i) {
            const QSizeF pt = pages.pointSize(i);
            const QSize px(qMax(1, qRound(pt.width() * dpi / 72)), qMax(1, qRound(pt.height() * dpi / 72)));
            m_rects.push_back(QRect(QPoint(kGap, y), px));
            y += px.height() + kGap;
            width = qMax(width, px.width());
        }
        for (QRect& r : m_rects)
            r.moveLeft(kGap + (width - r.width()) / 2);
        setFixedSize(width + 2 * kGap, y);
        m_cache.setMaxCost(kCacheKiB);
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.fillRect(event->rect(), palette().color(QPalette::Dark));
        for (int i = 0; i < int(m_rects.size()); ++i) {
            if (!m_rects[i].intersects(event->rect())) continue;
            QImage* image = m_cache.object(i);
            if (!image) {
                image = new QImage(m_pages.render(i, m_rects[i].size()));
                m_cache.insert(i, image, qMax(1, int(image->sizeInBytes() / 1024)));
            }
            painter.drawImage(m_rects[i].topLeft(), *image);
        }
    }

  private:
    const DocumentPages& m_pages;
    std::vector<QRect> m_rects;
    QCache<int, QImage> m_cache;
};

} // namespace

frmDocumentPreview::frmDocumentPreview(std::unique_ptr<DocumentPages> documentPages, const std::string& title,
                                       const std::vector<std::string>& printers, const std::string& printer,
                                       Print print)
    : m_pages(std::move(documentPages)), m_print(std::move(print)) {
    setWindowTitle(QStringLiteral("文档预览-") + QString::fromStdString(title));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* bar = new QHBoxLayout;
    cboPrinter = new QComboBox(this);
    for (const std::string& p : printers)
        cboPrinter->addItem(QString::fromStdString(p));
    const int chosen = cboPrinter->findText(QString::fromStdString(printer));
    if (chosen >= 0) cboPrinter->setCurrentIndex(chosen);
    cmdPrint = new QPushButton(QStringLiteral("打印"), this);
    // A printer may join the list later (the user's own entry); 打印 follows the choice.
    const auto followChoice = [this] { cmdPrint->setEnabled(cboPrinter->currentIndex() >= 0); };
    followChoice();
    connect(cboPrinter, &QComboBox::currentIndexChanged, this, followChoice);
    auto* count = new QLabel(QStringLiteral("共 %1 页").arg(m_pages->count()), this);
    bar->addWidget(new QLabel(QStringLiteral("打印机:"), this));
    bar->addWidget(cboPrinter, 1);
    bar->addWidget(cmdPrint);
    bar->addWidget(count);
    pages = new QScrollArea(this);
    pages->setAlignment(Qt::AlignHCenter);
    pages->setWidget(new PageColumn(*m_pages, pages));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(pages, 1);
    connect(cmdPrint, &QPushButton::clicked, this,
            [this] { m_print(cboPrinter->currentText().toStdString()); });
    resize(900, 1000);
}

} // namespace verolux
