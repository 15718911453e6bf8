#pragma once

#include <QImage>
#include <QSizeF>

#include <memory>
#include <string>
#include <vector>

namespace verolux {

// The pages of a document to preview: a PDF's through Qt PDF (where the build has it), a PNG or
// JPEG as one page of its own size.
class DocumentPages {
  public:
    DocumentPages();
    ~DocumentPages();
    DocumentPages(const DocumentPages&) = delete;
    DocumentPages& operator=(const DocumentPages&) = delete;

    // True when this build shows PDFs.
    static bool PdfSupported();

    // false with the reason when the bytes cannot be shown.
    bool Load(std::string bytes, std::string* error);

    int count() const;
    // The page's size in points (1/72 inch).
    QSizeF pointSize(int page) const;
    // The page drawn on white, `pixelSize` large.
    QImage render(int page, const QSize& pixelSize) const;

  private:
    struct Pdf;
    std::unique_ptr<Pdf> m_pdf;
    QImage m_picture; // a picture's one page
    QSizeF m_pictureSize;
};

} // namespace verolux
