#include "agent/reports/windows/DocumentPages.h"

#include <QBuffer>
#include <QPainter>

#ifdef VEROLUX_HAVE_QT_PDF
#include <QPdfDocument>
#endif

namespace verolux {
namespace {
// A picture that names no resolution is taken at the screen's usual one.
constexpr double kDefaultDpi = 96;
} // namespace

struct DocumentPages::Pdf {
    QByteArray bytes; // the document reads from it while it lives
    QBuffer buffer{&bytes};
#ifdef VEROLUX_HAVE_QT_PDF
    QPdfDocument document;
#endif
};

DocumentPages::DocumentPages() = default;
DocumentPages::~DocumentPages() = default;

bool DocumentPages::PdfSupported() {
#ifdef VEROLUX_HAVE_QT_PDF
    return true;
#else
    return false;
#endif
}

bool DocumentPages::Load(std::string bytes, std::string* error) {
    m_pdf.reset();
    m_picture = {};
    if (bytes.starts_with("%PDF-")) {
#ifdef VEROLUX_HAVE_QT_PDF
        auto pdf = std::make_unique<Pdf>();
        pdf->bytes = QByteArray(bytes.data(), qsizetype(bytes.size()));
        pdf->buffer.open(QIODevice::ReadOnly);
        pdf->document.load(&pdf->buffer);
        if (pdf->document.status() != QPdfDocument::Status::Ready || pdf->document.pageCount() < 1) {
            *error = "the PDF cannot be read";
            return false;
        }
        m_pdf = std::move(pdf);
        return true;
#else
        *error = "this agent was built without Qt PDF and cannot preview PDFs";
        return false;
#endif
    }
    if (!m_picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), qsizetype(bytes.size()))) {
        *error = "the picture cannot be read";
        return false;
    }
    // QImage keeps the resolution in dots per metre; none given reads as 0 or Qt's default.
    const auto dpi = [](int dpm) { return dpm > 100 ? dpm * 0.0254 : kDefaultDpi; };
    m_pictureSize = QSizeF(m_picture.width() * 72.0 / dpi(m_picture.dotsPerMeterX()),
                           m_picture.height() * 72.0 / dpi(m_picture.dotsPerMeterY()));
    return true;
}

int DocumentPages::count() const {
#ifdef VEROLUX_HAVE_QT_PDF
    if (m_pdf) return m_pdf->document.pageCount();
#endif
    return m_picture.isNull() ? 0 : 1;
}

QSizeF DocumentPages::pointSize(int page) const {
#ifdef VEROLUX_HAVE_QT_PDF
    if (m_pdf) return m_pdf->document.pagePointSize(page);
#endif
    return page == 0 ? m_pictureSize : QSizeF();
}

QImage DocumentPages::render(int page, const QSize& pixelSize) const {
    QImage out(pixelSize, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter painter(&out);
#ifdef VEROLUX_HAVE_QT_PDF
    if (m_pdf) {
        // Pages without a background of their own come out transparent.
        painter.drawImage(0, 0, m_pdf->document.render(page, pixelSize));
        return out;
    }
#endif
    if (page == 0 && !m_picture.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(QPoint(0, 0), pixelSize), m_picture);
    }
    return out;
}

} // namespace verolux
