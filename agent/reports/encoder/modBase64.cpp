#include "agent/reports/encoder/modBase64.h"

#include <memory>

namespace modBase64 {
namespace {

thread_local std::unique_ptr<Encoder> g_encoder;

} // namespace

Encoder& CreateEncoder() {
    g_encoder = std::make_unique<Encoder>();
    return *g_encoder;
}

void ReleaseEncoder() {
    g_encoder.reset();
}

std::string EncodeFile(const std::filesystem::path& path) {
    Encoder& enc = CreateEncoder();
    try {
        enc.b64.Load(path.string(), enc.fileBytes);
        enc.b64.Encode(enc.fileBytes, enc.encodedBytes);
        clsB64::ByteArrayToString(enc.encodedBytes, enc.encodedText);
    } catch (...) {
        ReleaseEncoder();
        throw;
    }
    std::string text = std::move(enc.encodedText);
    ReleaseEncoder();
    return text;
}

} // namespace modBase64
