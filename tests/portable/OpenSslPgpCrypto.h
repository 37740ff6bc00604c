// The OpenPGP messages' cryptography from OpenSSL's libcrypto, for the native tests and the
// fuzzer (the product plugs in CNG). A libcrypto failure throws std::runtime_error.
#pragma once

#include "exchange/OpenPgp.h"

#include <memory>

namespace testing_support {

class OpenSslPgpCrypto final : public exchange::PgpCrypto {
  public:
    OpenSslPgpCrypto();
    ~OpenSslPgpCrypto() override;
    OpenSslPgpCrypto(const OpenSslPgpCrypto&) = delete;
    OpenSslPgpCrypto& operator=(const OpenSslPgpCrypto&) = delete;

    std::unique_ptr<HashContext> BeginHash(Hash hash) override;
    void SetAesKey(std::string_view key) override;
    void EncryptBlocks(const char* in, char* out, std::size_t blocks) override;
    void Random(char* out, std::size_t size) override;

  private:
    struct Cipher;
    std::unique_ptr<Cipher> m_cipher;
};

} // namespace testing_support
