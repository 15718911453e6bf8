#pragma once

#include <string>
#include <string_view>
#include <vector>

// PNG and JPEG pictures decoded by Windows itself (WIC), for document jobs. Windows only; no Qt.
namespace verolux::cups::win {

struct Picture {
    int width = 0, height = 0;
    double dpiX = 96, dpiY = 96;
    std::vector<unsigned char> pixels; // blue, green, red, unused; on white where it was transparent
};

bool DecodePicture(std::string_view bytes, Picture* picture, std::string* error);

} // namespace verolux::cups::win
