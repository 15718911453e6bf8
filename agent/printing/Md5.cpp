#include "agent/printing/Md5.h"

#include "common/TextFile.h"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace mMD5 {

std::optional<Digest> FileMD5(const std::filesystem::path& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(verolux::OpenFile(path, "rb"), &std::fclose);
    if (!file) return std::nullopt;
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1) return std::nullopt;
    std::vector<unsigned char> chunk(kChunkSize);
    for (;;) {
        std::size_t n = std::fread(chunk.data(), 1, chunk.size(), file.get());
        if (n > 0 && EVP_DigestUpdate(ctx.get(), chunk.data(), n) != 1) return std::nullopt;
        if (n < chunk.size()) {
            if (std::ferror(file.get())) return std::nullopt; // e.g. a folder, or an I/O error
            break;
        }
    }
    Digest digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest.data(), &length) != 1 || length != digest.size())
        return std::nullopt;
    return digest;
}

std::string MD5Hex(const Digest& digest) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(32);
    for (unsigned char b : digest) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

} // namespace mMD5
