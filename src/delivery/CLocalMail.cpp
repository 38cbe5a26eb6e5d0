// The agent object: construction with its queue channel, destruction, accessors.
#include "delivery/CLocalMail.h"

#include "suite/cclient/Accessors.h"
#include "suite/cclient/Owners.h"
#include "suite/mq/MQapi.h"
#include "suite/platform/Bounded.h"

#include <cstring>
#include <new>

namespace {

constexpr const char* kLocalChannel = "local";

} // namespace

CLocalMail::CLocalMail(CMsgStore& msgStore, const char* queueName, const char* moduleName)
    : CLogging(moduleName),
      m_msgStat{},
      m_bufferLen(0),
      m_hdrSize(0),
      m_mqId(0),
      m_mqChannel(nullptr),
      m_msgStore(msgStore),
      m_recipient{},
      m_sender{},
      m_bayMsgStat{}
{
    // The Bayesian filter object (m_bayesFilter) is built before the channel opens.
    InitMQChannel(queueName);
    std::memset(&m_msgStat, 0, sizeof m_msgStat);
    std::memset(m_recipient, 0, sizeof m_recipient);
    std::memset(m_sender, 0, sizeof m_sender);
    m_xScanner.reset(new (std::nothrow) CXScanner());
    if (m_xScanner)
        m_xScanner->LoadRblSettings();
}

// The message members release themselves; the channel closes last, once.
CLocalMail::~CLocalMail()
{
    ReleaseHeldMessage();
    m_xScanner.reset();
    CloseMQChannel(m_mqChannel);
}

void CLocalMail::QueueEnvelopeFree::operator()(stEnvelope* envelope) const noexcept { FreeMQEnvelope(envelope); }

void CLocalMail::InitMQChannel(const char* queueName)
{
    PrintLogMessage(5, "Initializing message queue....");
    if (!MQInit(queueName, GetModuleName()))
        throw CLocalMailException(CLocalMailException::kQueueInitFailed, "Could not initialize message queue");
    m_mqChannel = OpenMQChannel(kLocalChannel);
    if (m_mqChannel == nullptr)
        throw CLocalMailException(CLocalMailException::kChannelOpenFailed, "Could not open message queue");
    PrintLogMessage(5, "OK");
}

const char* CLocalMail::GetEnvDateTime() const { return locmail::cclient::EnvelopeDate(m_msgEnv.get()); }

void CLocalMail::SetBuffer(const char* buffer)
{
    (void)m_msgBuffer.release();
    m_msgBuffer.reset(const_cast<char*>(buffer));
}

void CLocalMail::SetBufferLen(unsigned long length) { m_bufferLen = static_cast<uint32_t>(length); }

void CLocalMail::SetMsgId(unsigned long id) { m_mqId = static_cast<uint32_t>(id); }

// For direct delivery: a longer address is cut. The queue walk bounds its
// addresses itself and refuses recipients that do not fit.
void CLocalMail::SetRecipient(const char* recipient) { (void)locmail::CopyBounded(m_recipient, recipient); }

void CLocalMail::SetSender(const char* sender) { (void)locmail::CopyBounded(m_sender, sender); }
