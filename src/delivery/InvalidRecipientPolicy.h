// What happens to a message that the store refused for a local recipient:
// [Options] MailForInvalidLocalUser of qxmta.ini.
//
// Contract: read afresh on every call (the profile functions notice a changed
// file), into 256 characters, default "Bounce". "Postmaster" and "Delete",
// in any mix of cases, choose those policies; any other value, and a missing
// key or file, returns the message to its sender.
// Failure modes: none; an unreadable file is a missing one.
#pragma once

namespace locmail::delivery {

enum class InvalidRecipientPolicy { Bounce, Postmaster, Delete };

InvalidRecipientPolicy ReadInvalidRecipientPolicy();

} // namespace locmail::delivery
