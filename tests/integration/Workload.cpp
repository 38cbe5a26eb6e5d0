#include "integration/Workload.h"

#include "integration/RunSupport.h"
#include "suite/db/SqliteOwners.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <random>

namespace testsupport {
namespace {

const std::string kShared = "team";
const std::string kInbox = "inbox696E626F78"; // "inbox" and its hex, as the store names folders

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

class Random {
public:
    explicit Random(unsigned seed) : engine_(seed) {}
    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine_); }
    bool Percent(int p) { return Between(0, 99) < p; }
    template <typename T>
    void Shuffle(std::vector<T>& items) { std::shuffle(items.begin(), items.end(), engine_); }

private:
    std::mt19937 engine_;
};

int PickSize(Random& random)
{
    int pick = random.Between(0, 99);
    if (pick < 70)
        return random.Between(200, 4 << 10);
    if (pick < 95)
        return random.Between(4 << 10, 32 << 10);
    return random.Between(32 << 10, 200 << 10);
}

// A recipient spelled as a sender might: now and then with capitals.
std::string Spelled(const std::string& address, Random& random)
{
    if (!random.Percent(15))
        return address;
    std::string out = address;
    out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[0])));
    if (auto at = out.find('@'); at != std::string::npos && at + 1 < out.size())
        out[at + 1] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[at + 1])));
    return out;
}

std::string Body(long id, int size, bool multipart, Random& random)
{
    std::string body;
    int parts = multipart ? random.Between(3, 6) : 1;
    for (int part = 0; part < parts; ++part) {
        if (multipart)
            body += "--b" + std::to_string(id) + "\r\nContent-Type: text/plain; name=\"part" + std::to_string(part) +
                    ".txt\"\r\n\r\n";
        for (long line = 0; static_cast<int>(body.size()) < size * (part + 1) / parts; ++line)
            body += "line " + std::to_string(line) + " of " + std::to_string(id) +
                    ": the quick brown fox jumps over the lazy dog\r\n";
    }
    if (multipart)
        body += "--b" + std::to_string(id) + "--\r\n";
    return body;
}

std::string Text(long id, const std::string& sender, const std::vector<std::string>& local, Random& random)
{
    const bool multipart = random.Percent(10);
    std::string to;
    for (const auto& rcpt : local)
        to += (to.empty() ? "" : ", ") + rcpt;
    char date[64];
    std::snprintf(date, sizeof date, "Sun, 6 Dec 2026 %02ld:%02ld:%02ld +0100", id / 3600 % 24, id / 60 % 60, id % 60);
    std::string text = "From: Sender <" + sender + ">\r\nTo: " + (to.empty() ? "undisclosed-recipients:;" : to) +
                       "\r\nSubject: work item " + std::to_string(id) + "\r\nDate: " + date + "\r\nMessage-ID: <" +
                       std::to_string(id) + ".work@example.net>\r\nX-Work-Id: " + std::to_string(id) +
                       "\r\nMIME-Version: 1.0\r\n";
    text += multipart ? "Content-Type: multipart/mixed; boundary=\"b" + std::to_string(id) + "\"\r\n\r\n"
                      : std::string("Content-Type: text/plain; charset=us-ascii\r\n\r\n");
    return text + Body(id, PickSize(random), multipart, random);
}

long WorkId(const std::string& text)
{
    const std::string tag = "\r\nX-Work-Id: ";
    auto at = text.find(tag);
    auto headerEnd = text.find("\r\n\r\n");
    if (at == std::string::npos || at > headerEnd)
        return -1;
    return std::strtol(text.c_str() + at + tag.size(), nullptr, 10);
}

// ---- reading the relations with SQLite itself ----

using Db = locmail::db::SqlitePtr;
using Statement = locmail::db::StmtPtr;

// Each row of SQL on the relation at PATH as integers; false when it cannot be read.
bool Rows(const std::string& path, const char* sql, std::vector<std::vector<long long>>& rows)
{
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    Db db(raw);
    sqlite3_stmt* rawStatement = nullptr;
    if (rc != SQLITE_OK || sqlite3_prepare_v2(db.get(), sql, -1, &rawStatement, nullptr) != SQLITE_OK)
        return false;
    Statement statement(rawStatement);
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
        std::vector<long long> row;
        for (int c = 0; c < sqlite3_column_count(statement.get()); ++c)
            row.push_back(sqlite3_column_int64(statement.get(), c));
        rows.push_back(std::move(row));
    }
    return rc == SQLITE_DONE;
}

void CountInbox(const Workload& work, const std::string& mailbox, InboxCensus& census)
{
    const std::string home = work.homes.at(mailbox);
    auto fault = [&](const std::string& what) { census.faults.push_back(mailbox + ": " + what); };
    std::vector<std::vector<long long>> stat, messages;
    if (!Rows(home + "/mailbox.db",
              "SELECT totalMsgs, recentMsgs, unseenMsgs, uidNext FROM mbxstat WHERE folder = CAST('inbox' AS BLOB)",
              stat) ||
        stat.size() != 1)
        return fault("no readable mbxstat record of the inbox");
    if (!Rows(home + "/" + kInbox + "/msgstat.db", "SELECT uid, size FROM msgstat ORDER BY uid", messages))
        return fault("msgstat cannot be read");
    const long long total = stat[0][0], uidNext = stat[0][3];
    if (total != uidNext - 1 || stat[0][1] != total || stat[0][2] != total)
        fault("counters " + std::to_string(total) + "/" + std::to_string(stat[0][1]) + "/" +
              std::to_string(stat[0][2]) + " with uidNext " + std::to_string(uidNext));
    long long visible = 0;
    for (const auto& row : messages) {
        const long long uid = row[0];
        if (uid >= uidNext)
            continue; // a filing that did not commit: invisible, and overwritten by the next
        ++visible;
        const std::string path = home + "/" + kInbox + "/" + std::to_string(uid);
        if (!std::filesystem::is_regular_file(path)) {
            fault("no message file for uid " + std::to_string(uid));
            continue;
        }
        const std::string file = ReadFile(path);
        if (file.compare(0, 6, std::string("\x11\0\0\0\r\n", 6)) != 0 ||
            static_cast<long long>(file.size()) - 6 != row[1]) {
            fault("message file " + std::to_string(uid) + " does not match its record");
            continue;
        }
        const std::string text = file.substr(6);
        const long id = WorkId(text);
        if (id < 0 || id >= static_cast<long>(work.messages.size())) {
            ++census.foreign;
            continue;
        }
        ++census.copies[{mailbox, id}];
        if (text != work.messages[id].text)
            ++census.differing;
    }
    if (visible != uidNext - 1)
        fault(std::to_string(visible) + " status records below uidNext " + std::to_string(uidNext));
}

// The local mailbox a recipient reaches ("" for an unknown one).
std::string MailboxOf(const Workload& work, const std::string& recipient)
{
    const std::string address = Lower(recipient);
    if (address == kShared + "@example.org")
        return kShared;
    auto found = std::find(work.mailboxes.begin(), work.mailboxes.end(), address);
    return found == work.mailboxes.end() ? "" : *found;
}

} // namespace

Workload MakeWorkload(unsigned seed, int users, int messages)
{
    Random random(seed);
    Workload work;
    for (int u = 0; u < users; ++u)
        work.mailboxes.push_back("u" + std::to_string(u) + "@example.org");
    work.mailboxes.push_back(kShared);
    std::vector<std::string> addresses = work.mailboxes;
    addresses.back() = kShared + "@example.org";
    for (long id = 0; id < messages; ++id) {
        int count = random.Percent(60) ? 1 : random.Between(2, 5);
        random.Shuffle(addresses);
        std::vector<std::string> local;
        for (int i = 0; i < count; ++i)
            local.push_back(Spelled(addresses[i], random));
        WorkMessage message;
        message.sender = "sender" + std::to_string(id % 7) + "@example.net";
        message.recipients = local;
        if (random.Percent(4)) {
            work.unknown.push_back("nobody" + std::to_string(id) + "@example.org");
            message.recipients.insert(message.recipients.begin() + random.Between(0, count), work.unknown.back());
        }
        message.text = Text(id, message.sender, local, random);
        work.messages.push_back(std::move(message));
    }
    return work;
}

void Install(const Installation& inst, Workload& work)
{
    for (const auto& mailbox : work.mailboxes) {
        auto add = inst.Run({mailbox == kShared ? "shared" : "user", "add", mailbox});
        ASSERT_EQ(add.exitCode, 0) << add.output;
        work.homes[mailbox] = ReportedHome(add.output);
    }
    // A few at a time: each waits mostly for its own start-up and fsyncs.
    constexpr std::size_t kTogether = 4;
    for (std::size_t first = 0; first < work.messages.size(); first += kTogether) {
        std::vector<locmail::Process> injects;
        for (std::size_t i = first; i < std::min(first + kTogether, work.messages.size()); ++i) {
            const WorkMessage& message = work.messages[i];
            std::vector<std::string> args{"inject", "-f", message.sender};
            args.insert(args.end(), message.recipients.begin(), message.recipients.end());
            injects.push_back(inst.Start(args));
            injects.back().WriteInput(message.text);
            injects.back().CloseInput();
        }
        for (auto& inject : injects) {
            std::string output;
            inject.ReadOutput(output);
            ASSERT_EQ(inject.Wait(), 0) << output;
        }
    }
}

InboxCensus TakeInboxCensus(const Workload& work)
{
    InboxCensus census;
    for (const auto& mailbox : work.mailboxes)
        CountInbox(work, mailbox, census);
    return census;
}

DeliveryTally Tally(const Workload& work, const InboxCensus& census)
{
    DeliveryTally tally;
    std::map<std::pair<std::string, long>, int> wanted;
    for (long id = 0; id < static_cast<long>(work.messages.size()); ++id) {
        for (const auto& rcpt : work.messages[id].recipients) {
            if (auto mailbox = MailboxOf(work, rcpt); !mailbox.empty())
                ++wanted[{mailbox, id}];
        }
    }
    for (const auto& [key, want] : wanted) {
        auto found = census.copies.find(key);
        const int got = found == census.copies.end() ? 0 : found->second;
        tally.expected += want;
        tally.delivered += got;
        tally.missing += std::max(0, want - got);
        tally.duplicates += std::max(0, got - want);
    }
    for (const auto& [key, got] : census.copies) {
        if (wanted.count(key) == 0)
            tally.duplicates += got; // a copy for a mailbox that was never a recipient
    }
    return tally;
}

std::map<std::string, int> ReturnedMailFor(const Installation& inst, const Workload& work)
{
    std::map<std::string, int> returned;
    for (const auto& unknown : work.unknown)
        returned[unknown] = 0;
    for (const auto& entry : OnChannel(inst, "localout")) {
        const std::string text = EntryText(inst, entry.id);
        std::map<std::string, bool> named; // one returned mail names its recipient several times
        for (const auto& unknown : work.unknown) {
            if (text.find(unknown) != std::string::npos)
                named[unknown] = true;
        }
        for (const auto& [unknown, yes] : named)
            ++returned[unknown];
    }
    return returned;
}

} // namespace testsupport
