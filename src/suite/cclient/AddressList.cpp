#include "suite/cclient/AddressList.h"

#include <cstring>
#include <memory>

#include "suite/cclient/CClientApi.h"

namespace locmail::cclient {

namespace {

// A host no real address has: addresses that carry it had none.
constexpr const char* kNoHost = ".NO-HOST.";

struct AddressListFree {
    void operator()(ADDRESS* list) const noexcept
    {
        if (list)
            mail_free_address(&list);
    }
};

bool IsGroupMarker(const ADDRESS* address) { return address->host == nullptr; }

bool IsSyntaxError(const ADDRESS* address) { return std::strcmp(address->host, ERRHOST) == 0; }

} // namespace

std::vector<MailAddress> ParseAddressList(std::string_view text)
{
    std::vector<MailAddress> out;
    std::string copy(text);
    std::string host(kNoHost);
    ADDRESS* list = nullptr;
    {
        auto lock = detail::LockLibrary();
        rfc822_parse_adrlist(&list, copy.data(), host.data());
    }
    std::unique_ptr<ADDRESS, AddressListFree> owned(list);
    for (const ADDRESS* address = list; address; address = address->next) {
        if (IsGroupMarker(address) || IsSyntaxError(address) || address->mailbox == nullptr)
            continue;
        MailAddress entry;
        entry.localPart = address->mailbox;
        if (std::strcmp(address->host, kNoHost) != 0)
            entry.domain = address->host;
        out.push_back(std::move(entry));
    }
    return out;
}

std::string DecodeEncodedWords(std::string_view text)
{
    if (text.find("=?") == std::string_view::npos)
        return std::string(text);
    std::string copy(text);
    SIZEDTEXT source{reinterpret_cast<unsigned char*>(copy.data()), copy.size()};
    SIZEDTEXT decoded{nullptr, 0};
    auto lock = detail::LockLibrary();
    if (!utf8_mime2text(&source, &decoded, 0) || decoded.data == nullptr)
        return copy;
    std::string out(reinterpret_cast<const char*>(decoded.data), decoded.size);
    if (decoded.data != source.data)
        fs_give(reinterpret_cast<void**>(&decoded.data));
    return out;
}

} // namespace locmail::cclient
