#include "demo/backend/UploadBody.h"

#include <simdjson.h>

#include <array>

namespace demo {

namespace {

constexpr std::array<int, 256> makeDecodeTable() {
    std::array<int, 256> table{};
    for (auto& v : table)
        v = -1;
    constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < alphabet.size(); ++i)
        table[static_cast<unsigned char>(alphabet[i])] = int(i);
    return table;
}

constexpr auto kDecode = makeDecodeTable();

// Reads member `key` of `object` as a string; a missing member gives `fallback` when one is allowed.
std::optional<std::string> stringMember(simdjson::dom::object object, std::string_view key,
                                        std::string& error, bool required) {
    simdjson::dom::element value;
    if (object.at_key(key).get(value) != simdjson::SUCCESS) {
        if (required) error = "missing key " + std::string(key);
        return required ? std::nullopt : std::optional<std::string>(std::string());
    }
    std::string_view text;
    if (value.get_string().get(text) != simdjson::SUCCESS) {
        error = "key " + std::string(key) + " is not a string";
        return std::nullopt;
    }
    return std::string(text);
}

} // namespace

std::optional<std::string> decodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int v[4];
        int padding = 0;
        for (int j = 0; j < 4; ++j) {
            const char c = text[i + j];
            if (c == '=' && last && j >= 2) {
                v[j] = 0;
                ++padding;
                continue;
            }
            // A data character after padding, or padding anywhere but the end.
            if (padding > 0) return std::nullopt;
            v[j] = kDecode[static_cast<unsigned char>(c)];
            if (v[j] < 0) return std::nullopt;
        }
        const unsigned triple =
            (unsigned(v[0]) << 18) | (unsigned(v[1]) << 12) | (unsigned(v[2]) << 6) | unsigned(v[3]);
        out += char((triple >> 16) & 0xff);
        if (padding < 2) out += char((triple >> 8) & 0xff);
        if (padding < 1) out += char(triple & 0xff);
    }
    return out;
}

UploadParse parseUploadBody(std::string_view json) {
    UploadParse result;
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    if (parser.parse(json.data(), json.size(), true).get(root) != simdjson::SUCCESS) {
        result.error = "body is not JSON";
        return result;
    }
    simdjson::dom::object object;
    if (root.get_object().get(object) != simdjson::SUCCESS) {
        result.error = "body is not a JSON object";
        return result;
    }
    auto st1 = stringMember(object, "st1", result.error, true);
    if (!st1) return result;
    auto st0 = stringMember(object, "st0", result.error, true);
    if (!st0) return result;
    auto st2 = stringMember(object, "st2", result.error, false);
    if (!st2) return result;
    auto content = decodeBase64(*st1);
    if (!content) {
        result.error = "st1 is not padded standard Base64";
        return result;
    }
    if (content->empty()) {
        result.error = "st1 holds an empty file";
        return result;
    }
    result.body = UploadBody{std::move(*content), std::move(*st0), std::move(*st2)};
    return result;
}

} // namespace demo
