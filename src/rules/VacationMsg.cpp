// The vacation action: answer the sender with the user's vacation text at most
// once per the rules library's vacation database, and keep the message in the
// current folder.
#include "rules/CLocalMailsort.h"

#include "delivery/CLocalMail.h"
#include "suite/cclient/Accessors.h"
#include "suite/mailsort/CMailsort.h"
#include "suite/mailsort/CMailsortException.h"
#include "suite/mailsort/Mailsort.h"
#include "suite/msgstore/CMsgStoreException.h"
#include "suite/vexclass/CFileUtil.h"
#include "suite/vexclass/CMimeMsg.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>

namespace {

constexpr size_t kSubjectSize = 1024;

using TextPtr = std::unique_ptr<char[]>;

} // namespace

bool CLocalMailsort::RulesEngineVacationMsg(const char* user)
{
    if (mailsort.checkJunkMail()) {
        PrintLogMessage(5, "Incoming message from distribution list, vacation message not sent");
        return false;
    }
    CMailsort rules(m_localMail->GetMsgStore(), "Mailsort");
    if (!rules.IsVacationDbExist(user, false)) {
        try {
            rules.CreateVacationDb(user, false);
        } catch (const CMsgStoreException& error) {
            PrintLog(1, error.GetMessage());
            return false;
        }
    }
    const char* sender = m_localMail->GetSender();
    const long now = static_cast<long>(std::time(nullptr));
    try {
        if (!rules.IsVacationReply(user, sender, now, false)) {
            DefaultDelivery(user);
            return true;
        }
        char path[CMailsort::kVacationPathSize] = {};
        rules.GetVacationFile(user, path, false);
        CFileUtil files("");
        char* read = nullptr;
        unsigned long length = 0;
        files.Read(path, read, length);
        TextPtr text(read);
        if (!text) {
            PrintLogMessage(5, "No vacation message defined.  Vacation message will not be sent");
            return false;
        }
        const char* lineEnd = std::strchr(text.get(), '\n');
        if (lineEnd == nullptr) {
            PrintLogMessage(5, "No defined subject, vacation message will not be sent");
            return false;
        }
        // A first line that does not fit the subject is cut: the reply still goes.
        char subject[kSubjectSize] = {};
        std::strncpy(subject, text.get(), std::min<size_t>(lineEnd - text.get(), sizeof subject - 1));
        const char* body = lineEnd;
        while (*body == '\n')
            ++body;
        try {
            CMimeMsg reply(m_localMail->GetModuleName(), ',');
            reply.MarkAutoReply(locmail::cclient::EnvelopeMessageId(m_localMail->GetMsgEnv()),
                                locmail::cclient::EnvelopeReferences(m_localMail->GetMsgEnv()));
            reply.Send(user, sender, subject, body, nullptr);
        } catch (const CMimeMsgException& error) {
            PrintLog(1, error.GetLastErrorMsg());
            return false;
        }
        rules.UpdateVacationRecip(user, sender, now, false);
    } catch (const CMailsortException& error) {
        PrintLog(1, error.GetLastErrorMsg());
        return false;
    }
    DefaultDelivery(user);
    return true;
}
