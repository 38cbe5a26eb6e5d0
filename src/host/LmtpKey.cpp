#include "host/LmtpKey.h"

#include "suite/mq/DeliveryKey.h"
#include "suite/util/Sha256.h"

#include <algorithm>

namespace locmail::host {
namespace {

std::string Folded(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return text;
}

} // namespace

std::string LmtpDeliveryKey(std::string_view sender, const std::vector<std::string>& recipients, std::string_view text)
{
    std::vector<std::string> folded;
    for (const std::string& rcpt : recipients)
        folded.push_back(Folded(rcpt));
    std::sort(folded.begin(), folded.end());
    util::Sha256 digest;
    digest.Add(sender).Add(std::to_string(folded.size()));
    for (const std::string& rcpt : folded)
        digest.Add(rcpt);
    digest.Add(text);
    return std::string(mq::kLmtpKeyPrefix) + digest.Hex();
}

} // namespace locmail::host
