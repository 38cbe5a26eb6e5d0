#include "suite/util/MailboxSyntax.h"

#include <gtest/gtest.h>

namespace {

TEST(MailboxSyntaxTest, AcceptsWhatSmtpCarriesAndNamesWhatIsWrong)
{
    const char* good[] = {
        "bob@example.org", "a.b+tag@sub.example.org", "o'hara!#$%&*/=?^_`{|}~@x", "\"a b\"@example.org",
        "\"a\\\"b@c\"@example.org", "user@[192.0.2.1]", "user@[IPv6:2001:db8::1]", "user@[x-tag:anything]",
        "j\xC3\xB6rg@b\xC3\xBC" "cher.example", "x@localhost", "x@1-2.example",
    };
    for (const char* mailbox : good)
        EXPECT_EQ(locmail::util::MailboxProblem(mailbox), "") << mailbox;

    const std::pair<const char*, const char*> bad[] = {
        {"", "is empty"},
        {"noat", "has no '@'"},
        {"-oi", "starts with '-'"},
        {"-x@example.org", "starts with '-'"},
        {"a b@example.org", "its local part holds ' '; quote it"},
        {"bad addr", "has no '@'"},
        {"@example.org", "has nothing before its '@'"},
        {"bob@", "has nothing after its '@'"},
        {"a..b@x", "its local part has an empty dot-separated part"},
        {"a.@x", "its local part ends with a dot"},
        {"a@b@c", "its local part holds '@'; quote it"},
        {"\"open@x", "its quoted local part is not followed by '@'"},
        {"\"a\x01\"@x", "its quoted local part holds a control character or a bare '\"'"},
        {"a@x..org", "its domain has an empty label"},
        {"a@-x.org", "a label of its domain starts or ends with '-'"},
        {"a@x_y.org", "its domain holds '_'"},
        {"a@x.org\n", "its domain holds '\n'"},
        {"a@[300.1.1.1]", "its address literal is neither an IPv4 address nor tag:text"},
        {"a@[IPv6:zz]", "its IPv6 address literal is not an address"},
        {"a@[1.2.3.4", "its address literal is not closed"},
    };
    for (const auto& [mailbox, problem] : bad)
        EXPECT_EQ(locmail::util::MailboxProblem(mailbox), problem) << mailbox;
}

} // namespace
