// The header-end rule as `locmail inject` applies it: the CR LF conversion of
// the text never changes whether a header ends, so inject refuses exactly the
// texts the agent would have to hold for their shape, and the conversion is
// done once for all (converting again changes nothing).
#include "delivery/QueuedHeaderSize.h"
#include "host/MessageInput.h"
#include "FuzzCheck.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view raw(reinterpret_cast<const char*>(data), size);
    const std::string text = locmail::host::ToCrlfLines(raw);
    FUZZ_CHECK(locmail::host::ToCrlfLines(text) == text);
    const bool rawEnds = locmail::delivery::QueuedHeaderSize(raw.data(), static_cast<uint32_t>(raw.size())) != 0;
    const bool queuedEnds = locmail::delivery::QueuedHeaderSize(text.data(), static_cast<uint32_t>(text.size())) != 0;
    FUZZ_CHECK(rawEnds == queuedEnds);
    FUZZ_CHECK(locmail::host::MessageShapeProblem(text).empty() == queuedEnds);
    return 0;
}
