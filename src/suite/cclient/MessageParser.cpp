#include "suite/cclient/MessageParser.h"

#include <string>

#include "suite/cclient/CClientApi.h"

namespace locmail::cclient {

ParsedMessage ParseMessage(const char* header, std::size_t headerLength, const char* body,
                           std::size_t bodyLength, const char* defaultHost, unsigned long depth,
                           unsigned long flags)
{
    // The parser reads one byte past the given header length: the copy supplies
    // that terminator as well as the writable text.
    std::string headerCopy(header ? header : "", header ? headerLength : 0);
    std::string host(defaultHost ? defaultHost : kMissingHostName);
    static char empty[] = "";

    STRING bodyString;
    // mail_string only reads its data; the cast is for the C signature.
    void* bodyData = body ? const_cast<char*>(body) : empty;
    INIT(&bodyString, mail_string, bodyData, body ? bodyLength : 0);

    ENVELOPE* envelope = nullptr;
    BODY* parsedBody = nullptr;
    ParsedMessage result;
    {
        auto lock = detail::LockLibrary();
        rfc822_parse_msg_full(&envelope, &parsedBody, headerCopy.data(), headerCopy.size(), &bodyString,
                              host.data(), depth, flags);
    }
    result.envelope.reset(envelope);
    result.body.reset(parsedBody);
    return result;
}

} // namespace locmail::cclient
