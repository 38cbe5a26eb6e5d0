// How `locmail store export` writes a stored message: Maildir names and the
// mbox form (mboxrd). Pure functions; the command does the files.
//
// Contract: InternalDate gives the unix seconds of a status record's receipt
// date (its fields are the local time of the zone it records). MaildirInfo
// gives the ":2," flag letters of the system flag bits in ASCII order (D
// draft, F flagged, R answered, S seen, T deleted). MaildirFolderName gives the
// Maildir++ folder of a store folder path (".Archive.2019" for
// "Archive\2019"), or nothing when a level holds a '.', which Maildir++ would
// read as a level of its own. MboxMessage gives one mbox message: the line
// "From SENDER DATE" (SENDER without blanks, "MAILER-DAEMON" when empty; DATE
// in UTC, as asctime writes it), the text with CRLF turned into LF and every
// line matching ">*From " quoted with one more '>', a final line end, and a
// blank line. When the message has flags and its header no Status: or
// X-Status: line, "Status: R?O" and "X-Status: A?F?T?D?" lines (only the
// non-empty ones) go just before the end of the header; nothing else changes.
// Failure modes: none.
#pragma once

#include "suite/msgstore/Records.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace locmail::host {

std::int64_t InternalDate(const _msgstat& st);
std::string MaildirInfo(std::uint32_t systemFlags);
std::optional<std::string> MaildirFolderName(std::string_view folder);
std::string MboxMessage(std::string_view text, std::string_view sender, std::int64_t date, std::uint32_t systemFlags);

} // namespace locmail::host
