// The queue's envelope reader over arbitrary files: it never crashes, explains
// every refusal, and what it accepts is written back in a form it reads again
// to the same data (a rewrite after a deferral or a crash count loses nothing).
#include "suite/mq/EnvelopeFormat.h"
#include "FuzzCheck.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    locmail::mq::ParsedEnvelope parsed = locmail::mq::ParseEnvelopeFile(text);
    if (!parsed.ok) {
        FUZZ_CHECK(!parsed.fault.empty());
        return 0;
    }
    const std::string written = locmail::mq::FormatEnvelopeFile(parsed.data);
    locmail::mq::ParsedEnvelope again = locmail::mq::ParseEnvelopeFile(written);
    FUZZ_CHECK(again.ok);
    FUZZ_CHECK(again.data == parsed.data);
    FUZZ_CHECK(locmail::mq::FormatEnvelopeFile(again.data) == written);
    return 0;
}
