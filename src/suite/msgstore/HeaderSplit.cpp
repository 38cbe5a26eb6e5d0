#include "suite/msgstore/HeaderSplit.h"

namespace locmail::msgstore {

HeaderSplit SplitFiledHeader(std::string_view text)
{
    constexpr std::string_view kBlankLine = "\r\n\r\n";
    const std::size_t limit = text.size() > kBlankLine.size() ? text.size() - kBlankLine.size() : 0;
    std::size_t at = 0;
    for (; at < limit && text[at] != '\0'; ++at) {
        if (text.compare(at, kBlankLine.size(), kBlankLine) == 0) {
            HeaderSplit split;
            split.headerSize = at + 2;
            split.parseLength = at + 2;
            split.bodyOffset = at + 2;
            split.bodyLength = text.size() - split.bodyOffset;
            return split;
        }
    }
    HeaderSplit split;
    split.headerSize = at;
    split.parseLength = at < limit ? at : text.size(); // stopped by a NUL, or ran out of offsets
    split.bodyOffset = text.size();
    return split;
}

} // namespace locmail::msgstore
