// Decoding base64 text (RFC 2045) with c-client's decoder, for the
// directory's LDIF reader ("attr:: value" lines).
//
// Contract: DecodeBase64 returns the decoded bytes of TEXT; blanks and line
// ends inside TEXT are skipped as c-client skips them.
// Failure modes: std::nullopt when c-client refuses the text (it names the
// fault through its log callback, which writes a warning line).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace locmail::cclient {

std::optional<std::string> DecodeBase64(std::string_view text);

} // namespace locmail::cclient
