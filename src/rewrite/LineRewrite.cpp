#include "rewrite/LineRewrite.h"

namespace locmail::rewrite {

int RewriteLines(const char* messagePath, const char* outputPath, const RewriteCodes& codes, const LineEdit& edit)
{
    locmail::UniqueLineFile in(FileOpen(messagePath, GENERIC_READ, 1));
    if (!in)
        return codes.messageNotOpened;
    locmail::UniqueLineFile out(FileCreate(outputPath, GENERIC_WRITE, 1));
    if (!out)
        return codes.outputNotCreated;

    std::string line;
    int got;
    while ((got = GetLine(in.get(), line)) == 1) {
        const LineStep step = edit(line, out.get());
        if (step == LineStep::WriteFailed)
            return codes.lineNotWritten;
        if (step == LineStep::Copy && PutLine(out.get(), line) != 1)
            return codes.lineNotWritten;
    }
    if (got < 0)
        return codes.messageNotOpened;
    return out.Close() ? 0 : codes.lineNotWritten;
}

} // namespace locmail::rewrite
