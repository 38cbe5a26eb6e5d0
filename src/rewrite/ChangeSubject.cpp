#include "antispam/FilterLog.h"
#include "rewrite/LineRewrite.h"
#include "rewrite/MessageRewrite.h"
#include "suite/log/LogMessage.h"

#include <new>
#include <string>
#include <string_view>

namespace locmail::rewrite {
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

// Replaces the header's Subject fields, continuation lines included, with
// one line, or adds that line at the header's end when there is none.
class SubjectEdit {
public:
    explicit SubjectEdit(std::string replacement) : replacement_(std::move(replacement)) {}

    LineStep operator()(const std::string& line, locmail::LineFile* out)
    {
        if (inHeader_ && IsSubjectField(line)) {
            if (PutLine(out, replacement_) != 1)
                return LineStep::WriteFailed;
            skipping_ = true;
            subjectWritten_ = true;
            return LineStep::Drop;
        }
        if (inHeader_ && line == "\r\n") {
            if (!subjectWritten_ && PutLine(out, replacement_) != 1)
                return LineStep::WriteFailed;
            inHeader_ = false;
        }
        if (inHeader_ && skipping_) {
            if (IsContinuation(line))
                return LineStep::Drop;
            skipping_ = false;
        }
        return LineStep::Copy;
    }

private:
    std::string replacement_;
    bool inHeader_ = true;
    bool skipping_ = false;
    bool subjectWritten_ = false;
};

int CopyWithSubject(const char* messagePath, const char* outputPath, const char* subjectText)
{
    std::string replacement;
    try {
        replacement.append("Subject: ").append(subjectText != nullptr ? subjectText : "").append("\r\n");
    } catch (const std::bad_alloc&) {
        return kNoLineMemory;
    }
    SubjectEdit edit(std::move(replacement));
    return RewriteLines(messagePath, outputPath, {kMessageNotOpened, kOutputNotCreated, kLineNotWritten},
                        std::ref(edit));
}

} // namespace

bool ChangeSubject(const char* messagePath, const char* outputPath, const char* subjectText)
{
    const int code = CopyWithSubject(messagePath, outputPath, subjectText);
    if (code == 0)
        return true;
    LogMessage(1, antispam::kFilterLogModule, "ChangeSubject - Catch error: %d\n", code);
    return false;
}

} // namespace locmail::rewrite
