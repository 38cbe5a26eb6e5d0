// The agent's header-size routine over arbitrary message texts, checked against
// a second, backward-looking reading of the same rule: the header ends after
// the first line feed whose line holds nothing but carriage returns; a text whose
// last line feed is followed only by carriage returns is all header; else 0.
#include "delivery/QueuedHeaderSize.h"
#include "FuzzCheck.h"

#include <cstdint>
#include <string_view>

namespace {

uint32_t ExpectedHeaderSize(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n')
            continue;
        std::size_t j = i;
        while (j > 0 && text[j - 1] == '\r')
            --j;
        if (j > 0 && text[j - 1] == '\n')
            return static_cast<uint32_t>(i + 1);
    }
    std::size_t last = text.rfind('\n');
    if (last != std::string_view::npos && text.find_first_not_of('\r', last + 1) == std::string_view::npos)
        return static_cast<uint32_t>(text.size());
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    uint32_t got = locmail::delivery::QueuedHeaderSize(text.data(), static_cast<uint32_t>(size));
    FUZZ_CHECK(got <= size);
    FUZZ_CHECK(got == ExpectedHeaderSize(text));
    return 0;
}
