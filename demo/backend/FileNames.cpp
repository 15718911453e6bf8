#include "demo/backend/FileNames.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace demo {

namespace {

bool isUnsafeChar(unsigned char c) {
    return c < 0x20 || c == 0x7f || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
           c == '<' || c == '>' || c == '|';
}

constexpr std::size_t kMaxNameBytes = 200;
constexpr std::string_view kTempPrefix = ".tmp-";

} // namespace

bool isPlainFileName(std::string_view name) {
    if (name.empty() || name.size() > kMaxNameBytes || name == "." || name == "..") return false;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '/' || c == '\\' || c == ':') return false;
    }
    return true;
}

std::string sanitiseFileName(std::string_view name) {
    std::string out;
    for (char c : name)
        out += isUnsafeChar(static_cast<unsigned char>(c)) ? '_' : c;
    if (out.size() > kMaxNameBytes) out.resize(kMaxNameBytes);
    // A name of dots only would still point at the folder or its parent.
    if (out.find_first_not_of('.') == std::string::npos) return {};
    return out;
}

std::string contentTypeFor(std::string_view name) {
    const auto dot = name.rfind('.');
    const std::string_view ext = dot == std::string_view::npos ? std::string_view{} : name.substr(dot);
    if (ext == ".html" || ext == ".htm") return "text/html; charset=utf-8";
    if (ext == ".js") return "text/javascript; charset=utf-8";
    if (ext == ".css") return "text/css; charset=utf-8";
    if (ext == ".json") return "application/json; charset=utf-8";
    if (ext == ".pdf") return "application/pdf";
    if (ext == ".png") return "image/png";
    if (ext == ".svg") return "image/svg+xml";
    if (ext == ".txt") return "text/plain; charset=utf-8";
    return "application/octet-stream";
}

std::optional<std::string> readWholeFile(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes;
    const auto size = fs::file_size(path, ec);
    if (!ec) bytes.reserve(size);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes) {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    const fs::path target(path);
    const std::string temp = (target.parent_path() / (std::string(kTempPrefix) + target.filename().string() +
                                                      std::to_string(rng() % 1000000)))
                                 .string();
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ec;
            fs::remove(temp, ec);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) fs::remove(temp, ec);
    return !ec;
}

std::vector<FileEntry> listFiles(const std::string& dir, std::string_view suffix) {
    std::vector<FileEntry> files;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!it->is_regular_file(ec)) continue;
        if (name.size() < suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        // Files still being written by an upload are not shown.
        if (name.starts_with(kTempPrefix)) continue;
        FileEntry entry;
        entry.name = name;
        entry.size = it->file_size(ec);
        const auto mtime = it->last_write_time(ec);
        // GCC 12 has no clock_cast; the two clocks differ by a fixed offset.
        const auto sys = std::chrono::system_clock::now() +
                         std::chrono::duration_cast<std::chrono::system_clock::duration>(
                             mtime - fs::file_time_type::clock::now());
        entry.mtimeMs = std::chrono::duration_cast<std::chrono::milliseconds>(sys.time_since_epoch()).count();
        files.push_back(std::move(entry));
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return files;
}

std::string md5Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        out += kHex[digest[i] >> 4];
        out += kHex[digest[i] & 0x0f];
    }
    return out;
}

std::string urlEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0f];
        }
    }
    return out;
}

} // namespace demo
