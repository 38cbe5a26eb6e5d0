#include "suite/mq/DeliveryKey.h"

#include "suite/mq/EntryId.h"

#include <sys/random.h>

#include <algorithm>
#include <cerrno>

namespace locmail::mq {
namespace {

constexpr std::size_t kKeyBytes = 16;

bool AllOf(std::string_view text, bool (*accept)(char))
{
    for (char c : text)
        if (!accept(c))
            return false;
    return !text.empty();
}

bool IsLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }
bool IsDecimal(char c) { return c >= '0' && c <= '9'; }

// "v1-" ENTRYNAME "-" DIGITS "-" DIGITS, as DerivedDeliveryKey writes it.
bool IsVersion1Key(std::string_view text)
{
    if (text.substr(0, 3) != "v1-" || text.size() < 3 + 8 + 1 || !ParseEntryName(text.substr(3, 8)) ||
        text[11] != '-')
        return false;
    std::string_view numbers = text.substr(12);
    std::size_t dash = numbers.find('-');
    return dash != std::string_view::npos && AllOf(numbers.substr(0, dash), IsDecimal) &&
           AllOf(numbers.substr(dash + 1), IsDecimal);
}

// "lmtp-" and 64 lower-case hex digits, as DigestKey writes it.
bool IsLmtpKey(std::string_view text)
{
    return text.size() == kLmtpKeyPrefix.size() + 64 && text.starts_with(kLmtpKeyPrefix) &&
           AllOf(text.substr(kLmtpKeyPrefix.size()), IsLowerHex);
}

bool IsRootKey(std::string_view text)
{
    return (text.size() == 2 * kKeyBytes && AllOf(text, IsLowerHex)) || IsVersion1Key(text) || IsLmtpKey(text);
}

constexpr std::size_t kMaxGroupDigits = 10;

// Zero or more groups of "." and 1 to 10 digits, as outgoing keys append them.
bool AreOutgoingGroups(std::string_view text)
{
    while (!text.empty()) {
        if (text.front() != '.')
            return false;
        text.remove_prefix(1);
        std::string_view group = text.substr(0, text.find('.'));
        if (group.size() > kMaxGroupDigits || !AllOf(group, IsDecimal))
            return false;
        text.remove_prefix(group.size());
    }
    return true;
}

} // namespace

bool NewDeliveryKey(std::string& key)
{
    unsigned char bytes[kKeyBytes];
    std::size_t have = 0;
    while (have < kKeyBytes) {
        ssize_t n = ::getrandom(bytes + have, kKeyBytes - have, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        have += static_cast<std::size_t>(n);
    }
    static constexpr char kHex[] = "0123456789abcdef";
    key.clear();
    for (unsigned char b : bytes) {
        key += kHex[b >> 4];
        key += kHex[b & 0xF];
    }
    return true;
}

bool IsDeliveryKey(std::string_view text)
{
    std::size_t dot = std::min(text.find('.'), text.size());
    return text.size() <= kMaxDeliveryKey && IsRootKey(text.substr(0, dot)) && AreOutgoingGroups(text.substr(dot));
}

std::string DerivedDeliveryKey(uint32_t id, const struct stat& envelopeFile)
{
    long long ctimeNs = static_cast<long long>(envelopeFile.st_ctim.tv_sec) * 1'000'000'000LL +
                        envelopeFile.st_ctim.tv_nsec;
    return "v1-" + EntryName(id) + "-" + std::to_string(static_cast<unsigned long long>(envelopeFile.st_ino)) + "-" +
           std::to_string(ctimeNs);
}

} // namespace locmail::mq
