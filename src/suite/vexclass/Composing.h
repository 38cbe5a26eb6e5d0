// The pieces CMimeMsg and the returned-mail code share on top of the composer
// (suite/cclient/Composer.h): composer failures as CMimeMsgException, the
// postmaster's mail system address, and files read as attachments.
//
// Contract:
//  - Compose and Mailbox are ComposeMessage and MailboxOf of the composer.
//  - MailerDaemon: "Mail Delivery System <MAILER-DAEMON@HOST>", HOST being the
//    host part of the postmaster address (CVEXIniSetting::GetPostmaster), or
//    LOCALHOST when that address has none.
//  - ReadAttachment: the file at PATH as an attachment, read now; a file
//    whose name ends in ".msg" (a queued message) becomes message/rfc822,
//    anything else application/octet-stream under its file name.
// Failure modes: all throw CMimeMsgException: kBadMessage for what the
// composer refuses (bad address, no recipient), kBadMessage for a null or
// empty PATH, the errno value for a file that cannot be read.
#pragma once

#include "suite/cclient/Composer.h"

#include <string>

namespace locmail::mime {

std::string Compose(const cclient::Draft& draft);

std::string Mailbox(const std::string& address, const std::string& defaultHost);

std::string MailerDaemon(const std::string& localHost);

cclient::DraftPart ReadAttachment(const char* path);

} // namespace locmail::mime
