#pragma once

// An Ed25519 key of a test's own, as an administrator would make one with openssl, and the manifest
// text a release is signed with.

#include <openssl/evp.h>
#include <openssl/sha.h>
#include <openssl/x509.h>

#include <string>

namespace testsupport {

class SigningKey {
  public:
    SigningKey() : m_key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519")) {}
    ~SigningKey() { EVP_PKEY_free(m_key); }
    SigningKey(const SigningKey&) = delete;
    SigningKey& operator=(const SigningKey&) = delete;

    // Base64 of the DER public key: the middle line of "openssl pkey -pubout".
    std::string publicKey() const {
        unsigned char* der = nullptr;
        const int n = i2d_PUBKEY(m_key, &der);
        std::string text(4 * ((n + 2) / 3) + 1, '\0');
        text.resize(
            static_cast<std::size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), der, n)));
        OPENSSL_free(der);
        return text;
    }
    std::string sign(const std::string& data) const {
        std::string signature(64, '\0');
        std::size_t size = signature.size();
        EVP_MD_CTX* ctx = EVP_MD_CTX_new();
        EVP_DigestSignInit(ctx, nullptr, nullptr, nullptr, m_key);
        EVP_DigestSign(ctx, reinterpret_cast<unsigned char*>(signature.data()), &size,
                       reinterpret_cast<const unsigned char*>(data.data()), data.size());
        EVP_MD_CTX_free(ctx);
        return signature;
    }

  private:
    EVP_PKEY* m_key;
};

// "sha256sum" of bytes.
inline std::string Sha256Hex(const std::string& bytes) {
    unsigned char d[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), d);
    static const char* hex = "0123456789abcdef";
    std::string text;
    for (unsigned char c : d) {
        text += hex[c >> 4];
        text += hex[c & 15];
    }
    return text;
}

inline std::string ManifestText(const std::string& file, const std::string& ver, const std::string& sha256) {
    return "file=" + file + "\nver=" + ver + "\nsha256=" + sha256 + "\n";
}

} // namespace testsupport
