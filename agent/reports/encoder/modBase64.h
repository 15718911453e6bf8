#pragma once

#include "agent/reports/encoder/clsB64.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The upload encoder the callers share: one clsB64 and its three buffers. Each caller runs
// CreateEncoder() first, which gives it a fresh encoder and empty buffers, then Load, Encode,
// ByteArrayToString on them. The slot is per thread, so no two threads ever share buffers.
namespace modBase64 {

struct Encoder {
    clsB64 b64;
    std::vector<std::uint8_t> fileBytes;
    std::vector<std::uint8_t> encodedBytes;
    std::string encodedText;
};

// Replaces the shared encoder by a new one (releasing the old buffers) and returns it.
Encoder& CreateEncoder();

// Frees the shared buffers once a caller is done with them (a PDF may be several MB).
void ReleaseEncoder();

// The whole sequence: CreateEncoder, Load, Encode, ByteArrayToString, then the text is moved out
// and the buffers released. Throws like clsB64::Load.
std::string EncodeFile(const std::filesystem::path& path);

} // namespace modBase64
