// The platform's cryptography (CNG) for OpenPGP messages: the product's only provider of
// exchange::PgpCrypto. Windows only.
#pragma once

#include "OpenPgp.h"

namespace exchange {

class CngPgpCrypto final : public PgpCrypto {
  public:
    CngPgpCrypto();
    ~CngPgpCrypto() override;

    std::unique_ptr<HashContext> BeginHash(Hash hash) override;
    void SetAesKey(std::string_view key) override;
    void EncryptBlocks(const char* in, char* out, std::size_t blocks) override;
    void Random(char* out, std::size_t size) override;

  private:
    struct Aes;
    std::unique_ptr<Aes> m_aes;
};

} // namespace exchange
