#include "delivery/QueuedHeaderSize.h"

namespace locmail::delivery {

uint32_t QueuedHeaderSize(const char* text, uint32_t length)
{
    if (text == nullptr)
        return 0;
    bool lineFeedSeen = false;
    for (uint32_t i = 0; i < length; ++i) {
        switch (text[i]) {
        case '\n':
            if (lineFeedSeen)
                return i + 1;
            lineFeedSeen = true;
            break;
        case '\r':
            break;
        default:
            lineFeedSeen = false;
        }
    }
    return lineFeedSeen ? length : 0;
}

} // namespace locmail::delivery
