// Loading a message: where the header ends, and the receipt time's zone.
#include "delivery/HeaderSize.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <string>

namespace {

TEST(HeaderSizeTest, EndsAfterTheFirstEmptyLine)
{
    struct Case {
        std::string text;
        uint32_t want;
    } cases[] = {
        {"0123456789\r\n\r\nbody", 14}, {"0123456789\n\nbody", 12},  {"ab\n\r\r\nbody\n\n", 6},
        {"ab\r\ncd\r\nno empty line", 0}, {"ab\r\n\r", 5}, {"ab\r\ncd\r\n", 8}, {"ab\r\n \r\n\r\n", 9},
        {"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(locmail::delivery::HeaderSize(c.text.data(), uint32_t(c.text.size())), c.want) << c.text;
}

} // namespace
