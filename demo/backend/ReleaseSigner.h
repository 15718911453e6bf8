#pragma once

#include <memory>
#include <string>
#include <string_view>

typedef struct evp_pkey_st EVP_PKEY;

namespace demo {

// The demo's release signing: an Ed25519 private key (PEM, as "openssl genpkey -algorithm ed25519"
// writes it) that signs release manifests when they are asked for, as a release step would once.
class ReleaseSigner {
  public:
    // Reads the key; false with the reason in error.
    bool load(const std::string& pemPath, std::string& error);
    bool loaded() const { return m_key != nullptr; }

    // The 64 bytes of the Ed25519 signature of bytes; empty when it cannot sign.
    std::string sign(std::string_view bytes) const;

    // The public key as the agent's [AppInfo] UpdateKey wants it: the Base64 DER line of
    // "openssl pkey -pubout".
    std::string publicKey() const;

  private:
    std::shared_ptr<EVP_PKEY> m_key;
};

} // namespace demo
