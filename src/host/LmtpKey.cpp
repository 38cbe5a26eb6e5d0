#include "host/LmtpKey.h"

#include "suite/mq/DeliveryKey.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>

namespace locmail::host {
namespace {

struct DigestFree {
    void operator()(EVP_MD_CTX* context) const noexcept { EVP_MD_CTX_free(context); }
};

std::string Folded(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return text;
}

class Sha256 {
public:
    Sha256() : context_(EVP_MD_CTX_new())
    {
        if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1)
            throw std::runtime_error("SHA-256 cannot be started");
    }
    // The length (8 bytes, little-endian), then the bytes.
    void AddFramed(std::string_view part)
    {
        unsigned char length[8];
        for (int i = 0; i < 8; ++i)
            length[i] = static_cast<unsigned char>(static_cast<std::uint64_t>(part.size()) >> (8 * i));
        if (EVP_DigestUpdate(context_.get(), length, sizeof length) != 1 ||
            EVP_DigestUpdate(context_.get(), part.data(), part.size()) != 1)
            throw std::runtime_error("SHA-256 cannot take the data");
    }
    std::string Hex()
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        if (EVP_DigestFinal_ex(context_.get(), digest, &size) != 1)
            throw std::runtime_error("SHA-256 cannot be finished");
        static constexpr char kHex[] = "0123456789abcdef";
        std::string out;
        for (unsigned i = 0; i < size; ++i) {
            out += kHex[digest[i] >> 4];
            out += kHex[digest[i] & 0xF];
        }
        return out;
    }

private:
    std::unique_ptr<EVP_MD_CTX, DigestFree> context_;
};

} // namespace

std::string LmtpDeliveryKey(std::string_view sender, const std::vector<std::string>& recipients, std::string_view text)
{
    std::vector<std::string> folded;
    for (const std::string& rcpt : recipients)
        folded.push_back(Folded(rcpt));
    std::sort(folded.begin(), folded.end());
    Sha256 digest;
    digest.AddFramed(sender);
    digest.AddFramed(std::to_string(folded.size()));
    for (const std::string& rcpt : folded)
        digest.AddFramed(rcpt);
    digest.AddFramed(text);
    return std::string(mq::kLmtpKeyPrefix) + digest.Hex();
}

} // namespace locmail::host
