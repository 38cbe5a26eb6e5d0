// Composing an RFC 5322 / MIME message from plain data with c-client's own
// output: c-client builds the header (addresses, Date, MIME-Version, Content-*),
// chooses the transfer encodings (base64 for files, quoted-printable for 8-bit
// text in a 7-bit message) and writes the parts.
//
// Contract:
//  - Draft holds everything by value; ComposeMessage reads it and returns the
//    whole message text with CRLF line ends. The c-client structures it builds
//    are owned for the call and released on every path.
//  - from and each to item are one address each ("box@host", "Name <box@host>");
//    a bare mailbox gets defaultHost. to must name at least one address.
//  - date empty: the current time, written by rfc822_date. messageId empty: no
//    Message-ID field. boundary empty: c-client makes a unique one.
//  - text is the first (or only) part, text/plain; bare LF or CR become CRLF.
//    The charset is US-ASCII for 7-bit text, UTF-8 for valid UTF-8, else
//    X-UNKNOWN. Without parts the message is a single text/plain body, which
//    c-client ends with one CRLF more than the text has.
//  - With parts the message is multipart/mixed, or multipart/report with
//    reportType as its report-type. A File part is application/octet-stream in
//    base64 with its file name; a Message part is message/rfc822 carrying the
//    bytes unchanged (7bit or 8bit); a DeliveryStatus part is
//    message/delivery-status; a Headers part is text/rfc822-headers (the header
//    of a message returned without its body). A Message holding NUL bytes cannot travel as
//    message/rfc822, so it is attached as a File ("message.eml") instead.
//  - MailboxOf gives "box@host" of one address, for queue envelopes.
// Failure modes: a syntactically bad or empty address, no recipient, or
// c-client failing to write throws ComposeError with a text naming the
// problem. Header texts are written as given (no RFC 2047 encoding). Thread-safe
// (c-client calls are serialised).
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace locmail::cclient {

class ComposeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class PartKind { File, Message, DeliveryStatus, Headers };

struct DraftPart {
    PartKind kind = PartKind::File;
    std::string content;
    std::string fileName; // File parts: the Content-Disposition file name
};

struct Draft {
    std::string from;
    std::vector<std::string> to;
    std::string subject;
    std::string date;
    std::string messageId;
    std::string text;
    std::vector<DraftPart> parts;
    std::string reportType;
    std::string boundary;
    std::string defaultHost = "localhost";
    std::string inReplyTo; // In-Reply-To and References, when set
    std::string references;
    std::vector<std::string> extraFields; // whole header lines without CRLF, after c-client's fields
};

std::string ComposeMessage(const Draft& draft);

std::string MailboxOf(const std::string& address, const std::string& defaultHost);

} // namespace locmail::cclient
