// The delivery key of an LMTP transaction: the same for a client's retry of
// the same transaction, so that the queue (sent/) and the store (key and
// recipient) recognise what the first try queued or filed before it died.
//
// Contract: "lmtp-" and the 64 lower-case hex digits of the SHA-256 digest
// (OpenSSL's libcrypto) of the sender, the recipients folded to lower case
// and sorted (a client may give them in another order), and the text, each
// framed by its length so that no two transactions share an input. The key is
// accepted by mq::IsDeliveryKey.
// Failure modes: std::runtime_error when libcrypto fails (it does not for
// SHA-256 short of memory); nothing else throws but std::bad_alloc.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace locmail::host {

std::string LmtpDeliveryKey(std::string_view sender, const std::vector<std::string>& recipients, std::string_view text);

} // namespace locmail::host
