// Which messages get no automatic reply (checkJunkMail), over the header
// fields and envelope senders that RFC 3834 names.
#include "suite/mailsort/Mailsort.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Row {
    const char* header;
    const char* sender; // null: none given
    bool junk;
};

const Row kRows[] = {
    {"From: a@x.org\r\n", "a@x.org", false},
    {"List-Id: <team.x.org>\r\n", "a@x.org", true},
    {nullptr, nullptr, false}, // no message: nothing of the last one is left
    {"list-unsubscribe: <mailto:leave@x.org>\r\n", "a@x.org", true},
    {"Precedence: bulk\r\n", "a@x.org", true},
    {"Precedence: LIST\r\n", "a@x.org", true},
    {"Precedence: junk (spam)\r\n", "a@x.org", true},
    {"Precedence: first-class\r\n", "a@x.org", false},
    {"Auto-Submitted: auto-replied\r\n", "a@x.org", true},
    {"Auto-Submitted: auto-generated; owner-email=\"a@x.org\"\r\n", "a@x.org", true},
    {"Auto-Submitted: No\r\n", "a@x.org", false},
    {"Auto-Submitted: no (a person wrote this)\r\n", "a@x.org", false},
    {"From: a@x.org\r\n", "", true},
    {"From: a@x.org\r\n", "<>", true},
    {"From: a@x.org\r\n", "MAILER-DAEMON@x.org", true},
    {"From: a@x.org\r\n", "<Owner-team@lists.x.org>", true},
    {"From: a@x.org\r\n", "team-REQUEST@lists.x.org", true},
    {"From: a@x.org\r\n", "requester@x.org", false},
    {"From: a@x.org\r\n", "daemon@x.org", false},
    {"From: a@x.org\r\n", nullptr, false},
    {"Return-Path: <>\r\nFrom: a@x.org\r\n", nullptr, true},
    {"Return-Path: <owner-x@x.org>\r\nFrom: a@x.org\r\n", nullptr, true},
    {"Return-Path: <owner-x@x.org>\r\n", "a@x.org", false}, // the given sender wins
};

TEST(JunkMail, Table)
{
    for (const Row& row : kRows) {
        std::string message = std::string(row.header ? row.header : "") + "Subject: s\r\n\r\nList-Id: not a header\r\n";
        mailsort.getXHeaderInfo(row.header ? message.data() : nullptr);
        if (row.sender)
            mailsort.setSender(row.sender);
        EXPECT_EQ(mailsort.checkJunkMail(), row.junk)
            << (row.header ? row.header : "(no message)") << " / " << (row.sender ? row.sender : "(none)");
    }
}

} // namespace
