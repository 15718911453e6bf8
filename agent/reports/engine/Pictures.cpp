#include "agent/reports/engine/Pictures.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

namespace verolux::reports {

namespace {

// A reader over the template's bytes, without copying them.
class BytesReader {
  public:
    explicit BytesReader(std::string_view bytes)
        : m_bytes(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()))), m_buffer(&m_bytes) {
        m_buffer.open(QIODevice::ReadOnly);
        m_reader.setDevice(&m_buffer);
    }
    QImageReader& reader() { return m_reader; }

  private:
    QByteArray m_bytes;
    QBuffer m_buffer;
    QImageReader m_reader;
};

} // namespace

PixelSize PictureNaturalSize(std::string_view bytes) {
    if (bytes.empty()) return {};
    BytesReader in(bytes);
    const QSize size = in.reader().size();
    if (!size.isValid() || size.isEmpty()) return {};
    return {size.width(), size.height()};
}

QImage DecodePicture(std::string_view bytes, PixelSize size) {
    if (bytes.empty() || size.pixels() <= 0) return {};
    BytesReader in(bytes);
    QImageReader& reader = in.reader();
    const QSize own = reader.size();
    const QSize wanted(int(size.width), int(size.height));
    if (own.isValid() && own != wanted) reader.setScaledSize(wanted);
    QImage image = reader.read();
    // A reader that ignores the scaled size (not Qt's own PNG and JPEG readers) leaves it to us.
    if (!image.isNull() && image.size() != wanted)
        image = image.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

std::string CheckTemplatePictures(const Template& tmpl) {
    return CheckPictureBudget(tmpl, [](const Item& item) { return PictureNaturalSize(item.imageData); });
}

const PictureCache::Picture& PictureCache::picture(const Item& item, double boxWidth, double boxHeight) {
    auto found = m_pictures.find(&item);
    if (found != m_pictures.end()) return found->second;
    Picture p;
    p.natural = PictureNaturalSize(item.imageData);
    const PixelSize size = PictureDecodeSize(p.natural, boxWidth, boxHeight, item.keepAspect);
    if (size.pixels() > 0 && m_used + size.pixels() <= m_budget) {
        p.image = DecodePicture(item.imageData, size);
        if (!p.image.isNull()) m_used += size.pixels();
    }
    return m_pictures.emplace(&item, std::move(p)).first->second;
}

} // namespace verolux::reports
