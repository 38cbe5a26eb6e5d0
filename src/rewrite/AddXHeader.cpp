#include "antispam/FilterLog.h"
#include "rewrite/LineRewrite.h"
#include "rewrite/MessageRewrite.h"
#include "suite/log/LogMessage.h"

#include <string>

namespace locmail::rewrite {
namespace {

constexpr int kMessageNotOpened = -2;
constexpr int kOutputNotCreated = -3;
constexpr int kLineNotWritten = -4;

int CopyWithStatusField(const char* messagePath, const char* outputPath)
{
    bool added = false;
    auto addBeforeBlank = [&added](const std::string& line, locmail::LineFile* out) {
        if (added || line != "\r\n")
            return LineStep::Copy;
        added = true;
        return PutLine(out, "X-Spam-Status: YES\r\n") == 1 ? LineStep::Copy : LineStep::WriteFailed;
    };
    return RewriteLines(messagePath, outputPath, {kMessageNotOpened, kOutputNotCreated, kLineNotWritten},
                        addBeforeBlank);
}

} // namespace

bool AddXHeader(const char* messagePath, const char* outputPath)
{
    const int code = CopyWithStatusField(messagePath, outputPath);
    if (code == 0)
        return true;
    LogMessage(1, antispam::kFilterLogModule, "AddXHeader - Catch error: %d\n", code);
    return false;
}

} // namespace locmail::rewrite
