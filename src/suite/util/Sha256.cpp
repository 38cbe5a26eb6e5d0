#include "suite/util/Sha256.h"

#include <cstdint>
#include <stdexcept>

namespace locmail::util {

Sha256::Sha256() : context_(EVP_MD_CTX_new())
{
    if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 cannot be started");
}

Sha256& Sha256::Add(std::string_view part)
{
    // The length as 8 bytes, little-endian, then the bytes.
    unsigned char length[8];
    for (int i = 0; i < 8; ++i)
        length[i] = static_cast<unsigned char>(static_cast<std::uint64_t>(part.size()) >> (8 * i));
    if (EVP_DigestUpdate(context_.get(), length, sizeof length) != 1 ||
        EVP_DigestUpdate(context_.get(), part.data(), part.size()) != 1)
        throw std::runtime_error("SHA-256 cannot take the data");
    return *this;
}

std::string Sha256::Hex()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context_.get(), digest, &size) != 1)
        throw std::runtime_error("SHA-256 cannot be finished");
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * size);
    for (unsigned i = 0; i < size; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0xF];
    }
    return hex;
}

} // namespace locmail::util
