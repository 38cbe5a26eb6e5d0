#include "suite/cclient/Base64.h"

#include "suite/cclient/CClientApi.h"

namespace locmail::cclient {

std::optional<std::string> DecodeBase64(std::string_view text)
{
    if (text.empty())
        return std::string();
    std::string copy(text); // the decoder takes a mutable text
    unsigned long length = 0;
    auto lock = detail::LockLibrary();
    void* decoded = rfc822_base64(reinterpret_cast<unsigned char*>(copy.data()), copy.size(), &length);
    if (decoded == nullptr)
        return std::nullopt;
    std::string out(static_cast<const char*>(decoded), length);
    fs_give(&decoded);
    return out;
}

} // namespace locmail::cclient
