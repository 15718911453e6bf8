#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads whole files and encodes their bytes as standard Base64 (RFC 4648 alphabet with "+" and "/",
// padded, no line breaks) for the upload bodies.
class clsB64 {
  public:
    // The whole file, byte for byte. Throws std::runtime_error when the file is missing, cannot be
    // read, or is empty (an empty upload is never meant).
    void Load(const std::string& strPathName, std::vector<std::uint8_t>& pbArrayOutput) const;

    // Base64 of all input bytes; one output byte per character, 4 per started group of 3.
    void Encode(const std::vector<std::uint8_t>& pbArrayInput,
                std::vector<std::uint8_t>& pbArrayOutput) const;

    // The encoded bytes as text (they are ASCII).
    static void ByteArrayToString(const std::vector<std::uint8_t>& pbArrayInput, std::string& strOut);
};
