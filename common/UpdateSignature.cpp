#include "common/UpdateSignature.h"

#include "common/TextFile.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>

namespace verolux {
namespace {

struct PkeyDeleter {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct MdCtxDeleter {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
struct BioDeleter {
    void operator()(BIO* b) const { BIO_free(b); }
};

std::unique_ptr<EVP_PKEY, PkeyDeleter> ReadEd25519Key(std::string_view base64) {
    // OpenSSL's own PEM reader does the Base64 and DER work on the armoured text.
    const std::string pem =
        "-----BEGIN PUBLIC KEY-----\n" + std::string(base64) + "\n-----END PUBLIC KEY-----\n";
    std::unique_ptr<BIO, BioDeleter> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    if (!bio) return nullptr;
    std::unique_ptr<EVP_PKEY, PkeyDeleter> key(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
    if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_ED25519) return nullptr;
    return key;
}

} // namespace

bool VerifySignature(std::string_view message, std::string_view signature, std::string_view publicKey) {
    const auto key = ReadEd25519Key(publicKey);
    if (!key || signature.size() != 64) return false;
    std::unique_ptr<EVP_MD_CTX, MdCtxDeleter> ctx(EVP_MD_CTX_new());
    return ctx && EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
           EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                            signature.size(), reinterpret_cast<const unsigned char*>(message.data()),
                            message.size()) == 1;
}

std::string FileSha256Hex(int fd) {
    std::unique_ptr<EVP_MD_CTX, MdCtxDeleter> ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) return {};
    unsigned char buffer[1 << 16];
    for (std::uint64_t at = 0;;) {
        const long long n = ReadAt(fd, buffer, sizeof buffer, at);
        if (n < 0) return {};
        if (n == 0) break;
        if (EVP_DigestUpdate(ctx.get(), buffer, static_cast<std::size_t>(n)) != 1) return {};
        at += static_cast<std::uint64_t>(n);
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest, &size) != 1) return {};
    static const char* hex = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 15];
    }
    return text;
}

} // namespace verolux
