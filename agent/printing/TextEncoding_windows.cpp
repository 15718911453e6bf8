#include "agent/printing/TextEncoding.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

namespace verolux {
namespace {

constexpr UINT kGb18030 = 54936;

} // namespace

EncodedText Utf8ToGb18030(std::string_view utf8) {
    // Without the code page the conversion would fail for every text: said as such, not as text the
    // encoding cannot hold.
    if (!Gb18030Supported()) return {{}, EncodeFailure::Unsupported};
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    // Invalid UTF-8 is refused, as iconv refuses it; GB18030 has a code for every character, so the
    // UTF-16 from valid UTF-8 always converts (no WC_ERR_INVALID_CHARS: Wine refuses it for 54936).
    const int wideSize = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (wideSize <= 0) return {{}, EncodeFailure::NoCode};
    std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), wideSize);
    const int outSize =
        ::WideCharToMultiByte(kGb18030, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
    if (outSize <= 0) return {{}, EncodeFailure::NoCode};
    std::string out(static_cast<std::size_t>(outSize), '\0');
    ::WideCharToMultiByte(kGb18030, 0, wide.data(), wideSize, out.data(), outSize, nullptr, nullptr);
    return {std::move(out), std::nullopt};
}

bool Gb18030Supported() {
    return ::IsValidCodePage(kGb18030) != 0;
}

} // namespace verolux
