// Copying a message file line by line into a new file, with an edit that may
// write lines of its own before a line and may drop lines.
//
// Contract: RewriteLines opens MESSAGE for reading, then creates OUTPUT, and
// hands every line (with its line end) to EDIT in order. EDIT writes what goes
// before the line and says whether the line itself is copied or dropped.
// Returns 0 when every line was read and written and the output was closed.
// Failure modes: the codes the caller gives in RewriteCodes: messageNotOpened
// when MESSAGE does not open or cannot be read to its end, outputNotCreated,
// and lineNotWritten when EDIT reports a failed write, a line cannot be
// copied, or the output cannot be flushed when it is closed. A partly written
// output stays where it is.
#pragma once

#include "suite/util/LineFile.h"

#include <functional>
#include <string>

namespace locmail::rewrite {

struct RewriteCodes {
    int messageNotOpened;
    int outputNotCreated;
    int lineNotWritten;
};

enum class LineStep { Copy, Drop, WriteFailed };

using LineEdit = std::function<LineStep(const std::string& line, locmail::LineFile* out)>;

int RewriteLines(const char* messagePath, const char* outputPath, const RewriteCodes& codes, const LineEdit& edit);

} // namespace locmail::rewrite
