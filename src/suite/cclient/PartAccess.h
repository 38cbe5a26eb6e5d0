// Reading back what a parsed MIME body holds beyond its type: the raw bytes of
// a part and the parameters of its Content-Type. For code that must not see
// c-client's headers (tests of composed mail, tools that show a message).
//
// Contract: PartContents gives the bytes of PART as they stand in BODYTEXT,
// the text that was handed to ParseMessage as the body; they are still in
// their transfer encoding (base64 stays base64). The view points into
// BODYTEXT. BodyParameter gives the value of the Content-Type parameter NAME,
// matched without regard to case.
// Failure modes: a null part, or offsets that fall outside BODYTEXT, give an
// empty view; a missing parameter gives an empty string. Nothing throws but
// std::bad_alloc.
#pragma once

#include <string>
#include <string_view>

struct mail_bodystruct;

namespace locmail::cclient {

std::string_view PartContents(const mail_bodystruct* part, std::string_view bodyText);

std::string BodyParameter(const mail_bodystruct* body, std::string_view name);

} // namespace locmail::cclient
