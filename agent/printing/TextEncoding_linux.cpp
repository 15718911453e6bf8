#include "agent/printing/TextEncoding.h"

#include <iconv.h>

#include <cerrno>

namespace verolux {
namespace {

// iconv's own failure value is (iconv_t)-1.
bool Failed(iconv_t cd) {
    return cd == reinterpret_cast<iconv_t>(-1); // NOLINT(performance-no-int-to-ptr)
}

} // namespace

EncodedText Utf8ToGb18030(std::string_view utf8) {
    const iconv_t cd = iconv_open("GB18030", "UTF-8");
    if (Failed(cd)) return {{}, EncodeFailure::Unsupported};
    // A GB18030 character takes at most four bytes, a UTF-8 one at least one.
    std::string out(utf8.size() * 4, '\0');
    char* in = const_cast<char*>(utf8.data()); // iconv's signature; it does not write the input
    std::size_t inLeft = utf8.size();
    char* next = out.data();
    std::size_t outLeft = out.size();
    const std::size_t done = iconv(cd, &in, &inLeft, &next, &outLeft);
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1) || inLeft != 0) return {{}, EncodeFailure::NoCode};
    out.resize(out.size() - outLeft);
    return {std::move(out), std::nullopt};
}

bool Gb18030Supported() {
    const iconv_t cd = iconv_open("GB18030", "UTF-8");
    if (Failed(cd)) return false;
    iconv_close(cd);
    return true;
}

} // namespace verolux
