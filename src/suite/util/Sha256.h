// SHA-256 over a sequence of parts, as 64 lower-case hex digits (OpenSSL's
// libcrypto): a name for a message or a transaction that stays the same
// wherever and however often it is seen. Each part goes in framed by its
// length, so ("ab", "c") and ("a", "bc") differ.
// Failure modes: std::runtime_error when libcrypto cannot start, take or
// finish the digest (it cannot allocate); Hex() ends the digest.
#pragma once

#include <openssl/evp.h>

#include <memory>
#include <string>
#include <string_view>

namespace locmail::util {

class Sha256 {
public:
    Sha256();
    Sha256& Add(std::string_view part);
    std::string Hex();

private:
    struct Free {
        void operator()(EVP_MD_CTX* context) const noexcept { EVP_MD_CTX_free(context); }
    };
    std::unique_ptr<EVP_MD_CTX, Free> context_;
};

} // namespace locmail::util
