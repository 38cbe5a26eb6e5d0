// Direct delivery for mailbox migration: the directory lookup, the two
// overloads' status records, and every failure's last-error code.
#include "AgentFixture.h"

#include "suite/cclient/FlagParser.h"
#include "suite/vexclass/CLDAPException.h"

namespace {

// Answers every filter with ENTRY (none: no entry; "throw": the directory is down), noting the filters.
class ScriptedLookup : public DirectoryLookup {
public:
    ScriptedLookup(Lines& filters, std::string entry) : filters_(filters), entry_(std::move(entry)) {}
    std::optional<Attributes> FindEntry(const char* filter) override
    {
        filters_.push_back(filter);
        if (entry_ == "throw")
            throw CLDAPException(-1, "Unable to connect to LDAP server");
        if (entry_.empty())
            return std::nullopt;
        return Attributes{{"uid", "other"}, {"othermailbox", entry_}};
    }

private:
    Lines& filters_;
    std::string entry_;
};

// Notes each filing's status record as "day/month seen-flag".
class StatStore : public doubles::ScriptedStore {
public:
    void AddUserMsg(const char* user, mail_bodystruct* body, mail_envelope* envelope, _msgstat* stat, const char* text,
                    unsigned long length, const char* folder, bool a, bool b) override
    {
        stats.push_back(std::to_string(stat->day) + "/" + std::to_string(stat->month) +
                        ((stat->systemFlags & locmail::cclient::kSeen) ? " seen" : ""));
        ScriptedStore::AddUserMsg(user, body, envelope, stat, text, length, folder, a, b);
    }
    Lines stats;
};

TEST_F(AgentTest, DirectDeliveryFindsTheLocalUserAndRecordsEveryFailure)
{
    const std::string text = "Date: Sat, 5 Dec 2026 10:00:00 +0000\r\nSubject: old\r\n\r\nbody\r\n";
    testsupport::WriteFile(dir / "old.msg", text);
    StatStore stats;
    CLocalMail direct(stats, "queue", "LocalMail");
    Lines filters;
    const struct {
        std::string entry;
        int storeCode;
        const char* date;
        bool fromFile, filed;
        int lastError;
        std::string stat;
    } cases[] = {
        {"local$alice@x", 0, nullptr, true, true, 0, "5/12"},
        {"local$alice@x", 0, "", false, true, 0, "5/12 seen"},
        {"local$alice@x", 0, "Mon, 7 Dec 2026 09:00:00 +0100", false, true, 0, "7/12 seen"},
        {"", 0, nullptr, true, false, 11, ""},
        {"throw", 0, nullptr, false, false, 1, ""},
        {"local$alice@x", 4, nullptr, false, false, 1, "5/12 seen"},
        {"local$alice@x", 14, nullptr, true, false, 3, "5/12"},
    };
    for (const auto& c : cases) {
        stats.stats.clear();
        stats.fileCodes[""] = {c.storeCode};
        stats.GetLDAP().SetLookup(std::make_unique<ScriptedLookup>(filters, c.entry));
        direct.SetLastError(0);
        std::string caller = text; // stays the caller's: freeing it would break the string
        const bool filed = c.fromFile ? direct.DeliverMessage("alice", "Imported", (dir / "old.msg").c_str(), "MAILX")
                                      : direct.DeliverMessage("alice", "Imported", caller.data(), caller.size(),
                                                              "MAILX", c.date, "(\\Seen)");
        EXPECT_EQ(filed, c.filed) << c.entry << c.storeCode;
        EXPECT_EQ(direct.GetLastError(), c.lastError) << c.entry << c.storeCode;
        EXPECT_EQ(stats.stats, c.stat.empty() ? Lines{} : Lines{c.stat}) << c.entry << c.storeCode;
        EXPECT_EQ(direct.GetMsgBuffer(), nullptr);
        EXPECT_EQ(direct.GetMsgEnv(), nullptr);
        EXPECT_EQ(filters.back(), "(othermailbox=MAILX$alice)");
    }
    EXPECT_EQ(stats.calls.front(), "AddUserMsg alice@x Imported");
    const Lines lines = log.LinesOf("LocalMail");
    for (const char* line : {"5 LocalMail: Migrating mailbox of <alice>", "5 LocalMail: Local name is <alice@x>",
                             "1 LocalMail: No local connector for this user",
                             "1 LocalMail: Unable to connect to LDAP server", "1 LocalMail: store code 4 for "})
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    stats.GetLDAP().SetLookup(std::make_unique<ScriptedLookup>(filters, "local$alice@x"));
    EXPECT_FALSE(direct.DeliverMessage("alice", "Imported", (dir / "none.msg").c_str(), "MAILX"));
    EXPECT_EQ(direct.GetLastError(), 10);
}

} // namespace
