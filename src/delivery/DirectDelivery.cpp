// Direct delivery for mailbox migration: one message filed into a user's
// mailbox found through the directory, without the queue or the pipeline.
#include "delivery/CLocalMail.h"

#include "delivery/StatusCodes.h"
#include "suite/msgstore/CMsgStore.h"
#include "suite/msgstore/CMsgStoreException.h"
#include "suite/msgstore/StoreCodes.h"
#include "suite/vexclass/CLDAPException.h"

#include <limits>
#include <string>

namespace {

constexpr int kStatusDirectoryFailure = 1;

// Lets go of the caller's text on every way out: it is never ours to free.
class BorrowedText {
public:
    explicit BorrowedText(std::unique_ptr<char[]>& buffer, uint32_t& length) : buffer_(buffer), length_(length) {}
    ~BorrowedText()
    {
        (void)buffer_.release();
        length_ = 0;
    }
    BorrowedText(const BorrowedText&) = delete;
    BorrowedText& operator=(const BorrowedText&) = delete;

private:
    std::unique_ptr<char[]>& buffer_;
    uint32_t& length_;
};

} // namespace

bool CLocalMail::FindLocalName(const char* user, const char* connector, char* localName)
{
    PrintLogMessage(5, "Migrating mailbox of <%s>", user);
    const std::string filter =
        std::string("(othermailbox=") + (connector ? connector : "") + "$" + (user ? user : "") + ")";
    try {
        if (m_msgStore.GetLDAP().GetOtherMbxAttr(filter.c_str(), "local", localName))
            return true;
    }
    catch (const CLDAPException& error) {
        SetLastError(kStatusDirectoryFailure);
        SetLastErrorMsg(error.GetLastErrorMsg());
        error.PrintLog(GetModuleName(), 1);
        return false;
    }
    SetLastError(locmail::delivery::kStatusNoMailbox);
    PrintLogMessageEx(1, "No local connector for this user");
    return false;
}

// Files the loaded message; a store failure is recorded and released here.
bool CLocalMail::FileDirectly(const char* localName, const char* folder, bool fromMemory)
{
    PrintLogMessage(5, "Local name is <%s>", localName);
    try {
        m_msgStore.AddUserMsg(localName, m_msgBody.get(), m_msgEnv.get(), &m_msgStat, m_msgBuffer.get(), m_bufferLen,
                              folder, fromMemory, true);
    }
    catch (const CMsgStoreException& error) {
        SetLastError(error.GetCode() == locmail::msgstore::kCodeStoreUnavailable
                         ? kStatusDirectoryFailure
                         : locmail::delivery::kStatusMailboxError);
        SetLastErrorMsg(error.GetMessage());
        error.PrintLog(GetModuleName(), 1);
        DeinitEnvBody();
        return false;
    }
    DeinitEnvBody();
    return true;
}

bool CLocalMail::DeliverMessage(const char* user, const char* folder, const char* path, const char* connector)
{
    char localName[CVEXLDAP::kLocalNameSize] = {};
    if (!FindLocalName(user, connector, localName) || !InitBuffer(path))
        return false;
    InitHdrSize();
    const bool parsed = InitEnvBody();
    if (parsed)
        InitMsgStat(GetEnvDateTime(), "");
    const bool filed = parsed && FileDirectly(localName, folder, false);
    DeinitBuffer();
    return filed;
}

bool CLocalMail::DeliverMessage(const char* user, const char* folder, const char* text, unsigned long length,
                                const char* connector, const char* dateText, const char* flagText)
{
    char localName[CVEXLDAP::kLocalNameSize] = {};
    if (!FindLocalName(user, connector, localName))
        return false;
    if (length > std::numeric_limits<uint32_t>::max()) {
        // The status record and the store count sizes in 32 bits.
        SetLastError(locmail::delivery::kStatusReadFailed);
        PrintLogMessageEx(1, "Message too large (%lu bytes)", length);
        return false;
    }
    SetBuffer(text);
    SetBufferLen(length);
    BorrowedText borrowed(m_msgBuffer, m_bufferLen);
    InitHdrSize();
    if (!InitEnvBody())
        return false;
    InitMsgStat(dateText != nullptr && dateText[0] != '\0' ? dateText : GetEnvDateTime(), flagText);
    return FileDirectly(localName, folder, true);
}
