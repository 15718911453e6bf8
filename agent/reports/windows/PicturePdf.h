#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace verolux {

// Writes a PNG or JPEG picture as a one-page PDF through the engine's PDF writer: the page is the
// picture at its own resolution (96 dpi when it names none). A JPEG goes in unchanged; a PNG's pixels
// are stored compressed. False when the picture does not decode or the file cannot be written.
bool WritePicturePdf(std::string_view picture, const std::filesystem::path& pdf);

} // namespace verolux
