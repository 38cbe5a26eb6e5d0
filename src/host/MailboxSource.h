// The messages of a mailbox that another mail system wrote, one at a time, for
// `locmail migrate`: a Maildir (cur/ and new/, in name order, which is arrival
// order for names made the usual way) or an mbox (mboxrd: a line ">From ",
// ">>From ", ... loses one '>').
//
// Contract: Next() fills the next message and returns true, false at the end.
// TEXT has CR LF line ends (the store's form); a message without a final line
// end keeps none. DATE is its arrival date in c-client's internal form
// ("06-Dec-2026 12:00:00 +0000"), empty when the source does not tell (the
// message's own Date: field counts then). FLAGS names IMAP system flags as
// c-client writes them ("\Seen \Flagged"). IDENTITY tells the message from
// the others of its source across runs: a Maildir's unique name (before ':'),
// or for an mbox the message's SHA-256 and its number among equal messages.
// Maildir: flags from the ":2," info (S seen, R answered, F flagged, T deleted,
// D draft; none in new/), date from the file's modification time. mbox:
// flags from Status: (R seen) and X-Status: (A answered, F flagged, T draft,
// D deleted), which stay in the text; date from the "From " line (asctime
// form, read as UTC); the blank line that parts two messages is not theirs.
// Failure modes: Open* return null and set ERROR when the source cannot be
// read or is not of its kind; a message that cannot be read later comes with
// ERROR set and no text (the caller skips it) and the walk goes on.
// Nothing throws but std::bad_alloc.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace locmail::host {

struct SourceMessage {
    std::string text;
    std::string date;
    std::string flags;
    std::string identity;
    std::string error;
};

class MailboxSource {
public:
    static std::unique_ptr<MailboxSource> OpenMaildir(const std::string& dir, std::string& error);
    static std::unique_ptr<MailboxSource> OpenMbox(const std::string& path, std::string& error);

    virtual ~MailboxSource() = default;
    virtual bool Next(SourceMessage& message) = 0;
    // How far the walk has come, in units of Total(): messages, or bytes of an mbox.
    virtual std::uint64_t Done() const = 0;
    virtual std::uint64_t Total() const = 0;
};

} // namespace locmail::host
