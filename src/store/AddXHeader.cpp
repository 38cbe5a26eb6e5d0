#include "store/FilterLog.h"
#include "store/MessageRewrite.h"
#include "suite/log/LogMessage.h"
#include "suite/util/LineFile.h"

#include <string>

namespace locmail::store {
namespace {

constexpr int kMessageNotOpened = -2;
constexpr int kOutputNotCreated = -3;
constexpr int kLineNotWritten = -4;

int CopyWithStatusField(const char* messagePath, const char* outputPath)
{
    locmail::UniqueLineFile in(FileOpen(messagePath, GENERIC_READ, 1));
    if (!in)
        return kMessageNotOpened;
    locmail::UniqueLineFile out(FileCreate(outputPath, GENERIC_WRITE, 1));
    if (!out)
        return kOutputNotCreated;

    bool added = false;
    std::string line;
    int got;
    while ((got = GetLine(in.get(), line)) == 1) {
        if (!added && line == "\r\n") {
            if (PutLine(out.get(), "X-Spam-Status: YES\r\n") != 1)
                return kLineNotWritten;
            added = true;
        }
        if (PutLine(out.get(), line) != 1)
            return kLineNotWritten;
    }
    if (got < 0)
        return kMessageNotOpened;
    return out.Close() ? 0 : kLineNotWritten;
}

} // namespace

bool AddXHeader(const char* messagePath, const char* outputPath)
{
    const int code = CopyWithStatusField(messagePath, outputPath);
    if (code == 0)
        return true;
    LogMessage(1, kFilterLogModule, "AddXHeader - Catch error: %d\n", code);
    return false;
}

} // namespace locmail::store
