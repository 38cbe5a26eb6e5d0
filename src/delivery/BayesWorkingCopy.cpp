// The Bayesian working copy: a changed message (subject or header marked)
// loaded exactly as a queued message is, then exchanged with the message
// members so the rules and the inbox file it; exchanged back after the
// recipient's delivery so the next recipient gets the queued message.
#include "delivery/CLocalMail.h"

#include <utility>

bool CLocalMail::InitBayMsg(const char* path)
{
    // The loading steps fill the message members: run them with the working
    // copy swapped in, so the copy is loaded by the very same rules.
    SwapBay();
    bool loaded = InitBuffer(path);
    if (loaded) {
        InitHdrSize();
        loaded = InitEnvBody();
        if (loaded)
            InitMsgStat();
        else
            DeinitBuffer();
    }
    UnSwapBay();
    return loaded;
}

void CLocalMail::DeinitBayMsg()
{
    m_bayMsgEnv.reset();
    m_bayMsgBody.reset();
    m_bayMsgBuffer.reset();
    m_bayBufferLen = 0;
}

void CLocalMail::SwapBay()
{
    std::swap(m_msgBuffer, m_bayMsgBuffer);
    std::swap(m_bufferLen, m_bayBufferLen);
    std::swap(m_hdrSize, m_bayHdrSize);
    std::swap(m_msgEnv, m_bayMsgEnv);
    std::swap(m_msgBody, m_bayMsgBody);
    std::swap(m_msgStat, m_bayMsgStat);
    m_baySwapped = true;
}

void CLocalMail::UnSwapBay()
{
    SwapBay();
    m_baySwapped = false;
}
