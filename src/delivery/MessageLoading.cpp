// Loading one message: its text, header size, parse and status record.
#include "delivery/CLocalMail.h"

#include "delivery/QueuedHeaderSize.h"
#include "delivery/StatusCodes.h"
#include "suite/cclient/DateParser.h"
#include "suite/cclient/FlagParser.h"
#include "suite/cclient/MessageParser.h"
#include "suite/cclient/Owners.h"
#include "suite/msgstore/StatusDate.h"
#include "suite/vexclass/CFileUtil.h"
#include "suite/vexclass/CFileUtilException.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <limits>

using namespace locmail::delivery;

bool CLocalMail::InitBuffer(const char* path)
{
    char* buffer = nullptr;
    unsigned long length = 0;
    m_readErrno = 0;
    try {
        CFileUtil file("");
        file.Read(path, buffer, length);
    } catch (const CFileUtilException& error) {
        SetLastError(kStatusReadFailed);
        m_readErrno = error.GetLastError() != 0 ? error.GetLastError() : EIO;
        PrintLog(1, error.GetLastErrorMsg());
        return false;
    }
    if (length == 0) {
        delete[] buffer;
        struct stat st;
        if (::stat(path, &st) != 0)
            m_readErrno = errno;
        SetLastError(kStatusQueueFileEmpty);
        PrintLogMessageEx(1, "Message queue file not found or isempty");
        return false;
    }
    if (length > std::numeric_limits<uint32_t>::max()) {
        // The status record and the store count sizes in 32 bits.
        delete[] buffer;
        SetLastError(kStatusReadFailed);
        PrintLogMessageEx(1, "Message queue file too large (%lu bytes): %s", length, path);
        return false;
    }
    m_msgBuffer.reset(buffer);
    m_bufferLen = static_cast<uint32_t>(length);
    return true;
}

void CLocalMail::DeinitBuffer()
{
    m_msgBuffer.reset();
    m_bufferLen = 0;
}

void CLocalMail::InitHdrSize() { m_hdrSize = locmail::delivery::QueuedHeaderSize(m_msgBuffer.get(), m_bufferLen); }

bool CLocalMail::InitEnvBody()
{
    if (m_hdrSize == 0) {
        SetLastError(kStatusHeaderInvalid);
        PrintLogMessageEx(1, "Message header is invalid");
        return false;
    }
    const char* text = m_msgBuffer.get();
    auto parsed = locmail::cclient::ParseMessage(text, m_hdrSize, text + m_hdrSize,
                                                 m_bufferLen - m_hdrSize, locmail::cclient::kMissingHostName, 0, 0);
    if (!parsed.envelope) {
        SetLastError(kStatusEnvelopeInvalid);
        PrintLogMessageEx(1, "Message envelope is invalid");
        return false;
    }
    if (!parsed.body) {
        SetLastError(kStatusBodyInvalid);
        PrintLogMessageEx(1, "Message body is invalid");
        return false;
    }
    m_msgEnv = std::move(parsed.envelope);
    m_msgBody = std::move(parsed.body);
    return true;
}

void CLocalMail::DeinitEnvBody()
{
    m_msgEnv.reset();
    m_msgBody.reset();
}

void CLocalMail::InitMsgStat()
{
    locmail::msgstore::StampReceiptTime(m_msgStat);
    m_msgStat.size = m_bufferLen;
    m_msgStat.headerSize = m_hdrSize;
}

void CLocalMail::InitMsgStat(const char* dateText, const char* flagText)
{
    // A date the parser refuses still gives what it read (all zero for no date).
    locmail::cclient::DateFields date{};
    (void)locmail::cclient::ParseDate(dateText, date);
    locmail::msgstore::SetStatusDate(m_msgStat, date);
    m_msgStat.size = m_bufferLen;

    const locmail::cclient::Flags flags = locmail::cclient::ParseFlags(flagText);
    m_msgStat.systemFlags = flags.system;
    m_msgStat.userFlags = flags.user;
    m_msgStat.headerSize = m_hdrSize;
}
