#include "demo/backend/ReleaseSigner.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <memory>

namespace demo {

bool ReleaseSigner::load(const std::string& pemPath, std::string& error) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(pemPath.c_str(), "rb"), &std::fclose);
    if (!file) {
        error = "cannot read the update key " + pemPath;
        return false;
    }
    EVP_PKEY* key = PEM_read_PrivateKey(file.get(), nullptr, nullptr, nullptr);
    if (!key || EVP_PKEY_get_base_id(key) != EVP_PKEY_ED25519) {
        EVP_PKEY_free(key);
        error = "not an Ed25519 private key: " + pemPath;
        return false;
    }
    m_key.reset(key, &EVP_PKEY_free);
    return true;
}

std::string ReleaseSigner::sign(std::string_view bytes) const {
    if (!m_key) return {};
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    std::string signature(64, '\0');
    std::size_t size = signature.size();
    if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, m_key.get()) != 1 ||
        EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &size,
                       reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) != 1)
        return {};
    signature.resize(size);
    return signature;
}

std::string ReleaseSigner::publicKey() const {
    if (!m_key) return {};
    unsigned char* der = nullptr;
    const int n = i2d_PUBKEY(m_key.get(), &der);
    if (n <= 0) return {};
    std::string text(4 * ((static_cast<std::size_t>(n) + 2) / 3) + 1, '\0');
    text.resize(
        static_cast<std::size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), der, n)));
    OPENSSL_free(der);
    return text;
}

} // namespace demo
