// The rules step: asks the rules library for the recipient's outcome and has
// CLocalMailsort execute it.
#include "delivery/CLocalMail.h"

#include "rules/CLocalMailsort.h"
#include "suite/mailsort/Mailsort.h"

#include <memory>

namespace {

struct ErrorRow {
    int level;
    const char* text;
    bool result;
};

// What a failed evaluation means for the delivery, by the library's error code.
ErrorRow RulesError(int code)
{
    switch (code) {
    case kMailsortFilterCorrupted: return {1, "Filter file corrupted", false};
    case kMailsortFilterOpen: return {1, "Error in opening filter file", false};
    case kMailsortFilterRead: return {1, "Error in reading filter file", false};
    case kMailsortFilterSyntax: return {1, "Syntax error in filter file", false};
    case kMailsortMessageCorrupted: return {1, "Message is corrupted", false};
    case kMailsortDistributionList: return {6, "Message is from a distribution list, cannot send auto reply", true};
    case kMailsortUserNotFound: return {1, "User not found in message store database", false};
    case kMailsortSharedNotFound: return {1, "Shared mailbox not found", false};
    case kMailsortLowMemory: return {1, "System low on memory", false};
    default: return {2, "Messages may not all be delivered using Mailsort filtering", false};
    }
}

} // namespace

bool CLocalMail::MailSortDelivery()
{
    mailsort.SetMsgStore(m_msgStore);
    mailsort.getXHeaderInfo(m_msgBuffer.get());
    mailsort.setSender(m_sender);
    mail_envelope* envelope = m_msgEnv.get();
    msgdest* list = nullptr;
    if (mailsort.mailDest(&envelope, m_recipient, &list) != 0) {
        const ErrorRow row = RulesError(mailsort.getErrorCode());
        PrintLog(row.level, row.text);
        return row.result;
    }
    // Given back to the library on every way out, an escaping store exception included.
    struct ListRelease {
        void operator()(msgdest* entries) const noexcept { mailsort.freeMailPath(entries); }
    };
    std::unique_ptr<msgdest, ListRelease> owned(list);
    CLocalMailsort executor(*this, list, GetModuleName());
    const bool delivered = executor.Deliver();
    owned.reset();
    if (!delivered)
        PrintLogMessage(2, "Some messages may not be delivered using Mailsort setting");
    return delivered;
}
