// The store's header split over arbitrary message texts, checked
// against a second reading of its rule: the first CR LF CR LF counts when it
// starts before the last four bytes and no NUL comes before it; otherwise the
// header ends at the first NUL or where the search ran out, whichever is first.
#include "suite/msgstore/HeaderSplit.h"
#include "FuzzCheck.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto got = locmail::msgstore::SplitFiledHeader(text);

    const std::size_t limit = size > 4 ? size - 4 : 0;
    const std::size_t blank = text.find("\r\n\r\n");
    const std::size_t nul = text.find('\0');
    if (blank < limit && blank < nul) {
        FUZZ_CHECK(got.headerSize == blank + 2);
        FUZZ_CHECK(got.parseLength == blank + 2);
        FUZZ_CHECK(got.bodyOffset == blank + 2);
        FUZZ_CHECK(got.bodyLength == size - blank - 2);
    } else {
        FUZZ_CHECK(got.headerSize == std::min(nul, limit));
        FUZZ_CHECK(got.parseLength == (nul < limit ? nul : size));
        FUZZ_CHECK(got.bodyOffset == size);
        FUZZ_CHECK(got.bodyLength == 0);
    }
    FUZZ_CHECK(got.bodyOffset + got.bodyLength == size);
    return 0;
}
