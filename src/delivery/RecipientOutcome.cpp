// The agent's outcome lines (OutcomeLine.h), with what it knows of the message in hand.
#include "delivery/CLocalMail.h"

#include "suite/cclient/Accessors.h"
#include "suite/msgstore/DeliveryScope.h"

using locmail::delivery::CopyPlace;
using locmail::delivery::Outcome;
using locmail::delivery::OutcomeFacts;

void CLocalMail::LogRecipientOutcome(Outcome status, std::string_view reason, std::vector<CopyPlace> copies)
{
    if (m_outcomeLogged)
        return;
    m_outcomeLogged = true;
    OutcomeFacts facts;
    facts.queueId = m_mqId;
    facts.status = status;
    facts.from = m_sender;
    facts.to = m_recipient;
    facts.messageId = locmail::cclient::EnvelopeMessageId(m_msgEnv.get());
    facts.copies = std::move(copies);
    facts.reason = reason;
    facts.storeCode = m_storeCode;
    facts.agentStatus = status == Outcome::Returned ? GetLastError() : 0;
    locmail::delivery::LogOutcome(facts);
}

void CLocalMail::LogMessageOutcome(uint32_t id, Outcome status, std::string_view reason)
{
    OutcomeFacts facts;
    facts.queueId = id;
    facts.status = status;
    facts.reason = reason;
    locmail::delivery::LogOutcome(facts);
}

void CLocalMail::LogFilingOutcome(const locmail::msgstore::DeliveryScope& scope)
{
    std::vector<CopyPlace> copies;
    for (const auto& copy : scope.filed())
        copies.push_back(CopyPlace{copy.folder, copy.uid});
    if (copies.empty())
        LogRecipientOutcome(Outcome::Discarded, "the recipient's rules or spam settings kept no copy");
    else
        LogRecipientOutcome(Outcome::Filed, {}, std::move(copies));
}
