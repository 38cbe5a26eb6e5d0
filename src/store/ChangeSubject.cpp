#include "store/FilterLog.h"
#include "store/MessageRewrite.h"
#include "suite/log/LogMessage.h"
#include "suite/util/LineFile.h"

#include <new>
#include <string>
#include <string_view>

namespace locmail::store {
namespace {

constexpr int kNoLineMemory = -1;
constexpr int kMessageNotOpened = -3;
constexpr int kOutputNotCreated = -4;
constexpr int kLineNotWritten = -5;

bool IsSubjectField(std::string_view line)
{
    constexpr std::string_view kName = "subject:";
    if (line.size() < kName.size())
        return false;
    for (std::size_t i = 0; i < kName.size(); ++i) {
        const char c = line[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != kName[i])
            return false;
    }
    return true;
}

bool IsContinuation(std::string_view line) { return !line.empty() && (line[0] == ' ' || line[0] == '\t'); }

int CopyWithSubject(const char* messagePath, const char* outputPath, const char* subjectText)
{
    std::string replacement;
    try {
        replacement.append("Subject: ").append(subjectText != nullptr ? subjectText : "").append("\r\n");
    } catch (const std::bad_alloc&) {
        return kNoLineMemory;
    }
    locmail::UniqueLineFile in(FileOpen(messagePath, GENERIC_READ, 1));
    if (!in)
        return kMessageNotOpened;
    locmail::UniqueLineFile out(FileCreate(outputPath, GENERIC_WRITE, 1));
    if (!out)
        return kOutputNotCreated;

    bool inHeader = true;
    bool skipping = false;
    bool subjectWritten = false;
    std::string line;
    int got;
    while ((got = GetLine(in.get(), line)) == 1) {
        if (inHeader && IsSubjectField(line)) {
            if (PutLine(out.get(), replacement) != 1)
                return kLineNotWritten;
            skipping = true;
            subjectWritten = true;
            continue;
        }
        if (inHeader && line == "\r\n") {
            if (!subjectWritten && PutLine(out.get(), replacement) != 1)
                return kLineNotWritten;
            inHeader = false;
        }
        if (inHeader && skipping) {
            if (IsContinuation(line))
                continue;
            skipping = false;
        }
        if (PutLine(out.get(), line) != 1)
            return kLineNotWritten;
    }
    if (got < 0)
        return kMessageNotOpened;
    return out.Close() ? 0 : kLineNotWritten;
}

} // namespace

bool ChangeSubject(const char* messagePath, const char* outputPath, const char* subjectText)
{
    const int code = CopyWithSubject(messagePath, outputPath, subjectText);
    if (code == 0)
        return true;
    LogMessage(1, kFilterLogModule, "ChangeSubject - Catch error: %d\n", code);
    return false;
}

} // namespace locmail::store
