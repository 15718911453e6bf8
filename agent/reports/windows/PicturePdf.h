#pragma once

#include <QPointF>
#include <QSizeF>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

class QIODevice;

namespace verolux {

// Writes a PNG or JPEG picture as a one-page PDF through the engine's PDF writer: the page is the
// picture at its own resolution (96 dpi when it names none). A JPEG goes in unchanged; a PNG's pixels
// are stored compressed. False when the picture does not decode or the file cannot be written.
bool WritePicturePdf(std::string_view picture, const std::filesystem::path& pdf);
// The same into `out`, a picture that names no resolution taken at `unnamedDpi` (0: the decoder's
// default), moved on its page by
// `shiftMm` of the page's size in points (x right, y down): for a printer that is off.
bool WritePicturePdf(std::string_view picture, QIODevice& out,
                     const std::function<QPointF(QSizeF pagePoints)>& shiftMm, double unnamedDpi);

} // namespace verolux
