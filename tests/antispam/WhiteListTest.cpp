#include "antispam/WhiteList.h"

#include <gtest/gtest.h>

namespace {

using locmail::antispam::AddressListMatches;
using locmail::antispam::IPListContains;

TEST(WhiteListTest, ParseIPv4)
{
    struct Case {
        const char* text;
        uint32_t want;
    } cases[] = {
        {"1.2.3.4", 0x01020304}, {"255.255.255.255", 0xFFFFFFFF}, {"10.0.0.0/8", 0x0A000000},
        {"1.2.3.4x", 0x01020304}, {" 1. 2.\t3. 4", 0x01020304}, {"+1.2.3.4", 0x01020304},
        {"-0.0.0.1", 1}, {"300.1.1.1", 0}, {"1.2.3.256", 0}, {"1.2.3.-1", 0}, {"1.2.3", 0},
        {"1 .2.3.4", 0}, {"4294967297.1.1.1", 0}, {"", 0}, {nullptr, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseIPv4(c.text), c.want) << '"' << (c.text ? c.text : "null") << '"';
}

// A pattern list and an address list against one address.
struct ListCase {
    const char* list;
    const char* address;
    bool want;
};

TEST(WhiteListTest, AddressPatterns)
{
    const ListCase cases[] = {
        {"*@example.com", "ann@example.com", true}, {"*@example.com", "ann@EXAMPLE.com", false},
        {"ann@example.com", "xann@example.com", false}, {"a@x,", "a@x", true}, {"a@x,", "b@x", false},
        {",*", "ann@x", false}, {"a@x,,*", "b@x", false}, {"a@x, b@x", "b@x", false},
        {"a@x, b@x", " b@x", true}, {"", "", false}, {"*", "", true}, {nullptr, "a@x", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AddressListMatches(c.list, c.address), c.want)
            << '"' << (c.list ? c.list : "null") << "\" / \"" << c.address << '"';
}

TEST(WhiteListTest, AddressItems)
{
    const ListCase cases[] = {
        {"10.0.0.1-10.0.0.255", "10.0.0.1", true}, {"10.0.0.1-10.0.0.255", "10.0.0.255", true},
        {"10.0.0.1-10.0.0.255", "10.0.1.0", false}, {"192.168.1.7", "192.168.1.7", true},
        {"10.0.0.0/8", "10.0.0.0", true}, {"10.0.0.0/8", "10.1.2.3", false}, {"junk", "300.1.1.1", true},
        {"junk", "1.2.3.4", false}, {"0.0.0.0-1.0.0.0", "not an address", true}, {"-", "", true},
        {"10.0.0.9-10.0.0.1", "10.0.0.5", false}, {"5.5.5.5, 1.2.3.4", "1.2.3.4", true},
        {"5.5.5.5 - 5.5.5.9", "5.5.5.6", true}, {",1.2.3.4", "1.2.3.4", false},
        {"1.2.3.4,,5.6.7.8", "5.6.7.8", false}, {nullptr, "0.0.0.0", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IPListContains(c.list, c.address), c.want)
            << '"' << (c.list ? c.list : "null") << "\" / \"" << c.address << '"';
}

} // namespace
