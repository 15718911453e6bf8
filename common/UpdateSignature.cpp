#include "common/UpdateSignature.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <sys/mman.h>
#include <sys/stat.h>

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

bool VerifyFileSignature(int fd, std::string_view signature, std::string_view publicKey) {
    const auto key = ReadEd25519Key(publicKey);
    if (!key || signature.size() != 64) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    const auto size = static_cast<std::size_t>(st.st_size);
    // Ed25519 signs the message as a whole; a mapping lets the pages come from the file.
    void* data = nullptr;
    if (size > 0) {
        data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (data == MAP_FAILED) return false;
    }
    std::unique_ptr<EVP_MD_CTX, MdCtxDeleter> ctx(EVP_MD_CTX_new());
    const bool ok =
        ctx && EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
        EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                         signature.size(), static_cast<const unsigned char*>(data ? data : ""), size) == 1;
    if (data) ::munmap(data, size);
    return ok;
}

} // namespace verolux
